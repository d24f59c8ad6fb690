// The forced quit's watcher on the host's fake clock (hostemu/clock.h): its
// looks at the file, its one warning and its deadline, in one process and in
// two that watch the same file. What the library did is written on a board
// in memory both processes map (side 0: the test's process, 1: its peer).
#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "hostemu/msgbox.h"
#include "hostemu/clock.h"
#include "tests/files_support.h"
#include "tests/peer_support.h"
#include "tests/threads_support.h"

namespace kavro_test {
namespace {

struct QuitBoard {
    ClockFace clock;
    volatile LONG peerReady;   // the peer's FF_QUIT has started its watcher
    volatile LONG polls;
    volatile LONG pollAt[64];  // when the file was looked at, by either side
    volatile LONG foundAt;     // the look that found it; 0: none yet
    volatile LONG quits[2];    // WM_QUIT posted to that side's script thread
    volatile LONG quitAt[2];
    volatile LONG otherPosts[2];
    volatile LONG sends[2];    // messages sent to a window
    volatile LONG closes[2];   // of them WM_CLOSE to the window in front
    volatile LONG warnings[2]; // the peer's, written as it ends
    volatile LONG done;        // the test has seen enough: the peer unloads and ends
};

// The doubles of one process's library beside the clock, writing the board.
struct Watched {
    static inline QuitBoard* b;
    static inline int side;
    static inline HWND front;
    static inline std::atomic<DWORD> watcherThread;
    static inline HANDLE share;              // while not set, a look at the file hangs, as on an unreachable share
    static inline std::atomic<int> looking;  // watchers inside a look

    static void use(QuitBoard* board, int s, HWND window) {
        b = board;
        side = s;
        front = window;
        watcherThread = 0;
        share = nullptr;
        FakeClock::use(&board->clock, s);
    }
    static DWORD WINAPI attributes(LPCSTR name) {
        watcherThread = GetCurrentThreadId();
        const LONG k = InterlockedIncrement(&b->polls) - 1;
        if (k < 64) b->pollAt[k] = b->clock.now;
        ++looking;
        if (share) WaitForSingleObject(share, 15000);
        const DWORD a = GetFileAttributesA(name);
        --looking;
        if (a != INVALID_FILE_ATTRIBUTES) InterlockedCompareExchange(&b->foundAt, b->pollAt[k < 64 ? k : 63], 0);
        return a;
    }
    static BOOL WINAPI post(DWORD thread, UINT msg, WPARAM, LPARAM) {
        if (thread == FakeClock::scriptThread() && msg == WM_QUIT) {
            b->quitAt[side] = b->clock.now;
            InterlockedIncrement(&b->quits[side]);
        } else {
            InterlockedIncrement(&b->otherPosts[side]);
        }
        return TRUE;
    }
    static HWND WINAPI foregroundWindow() { return front; }
    static LRESULT WINAPI send(HWND w, UINT msg, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR) {
        InterlockedIncrement(&b->sends[side]);
        if (w == front && msg == WM_CLOSE) InterlockedIncrement(&b->closes[side]);
        return 1;
    }
    // The clock and the doubles into the library's imports, for as long as `patches` holds them.
    static bool patch(HMODULE m, std::vector<std::shared_ptr<void>>& p) {
        return FakeClock::patch(m, p) &&
               keepPatch<decltype(&::GetFileAttributesA)>(p, m, "kernel32.dll", "GetFileAttributesA", &attributes) &&
               keepPatch<decltype(&::PostThreadMessageA)>(p, m, "user32.dll", "PostThreadMessageA", &post) &&
               keepPatch<decltype(&::GetForegroundWindow)>(p, m, "user32.dll", "GetForegroundWindow",
                                                           &foregroundWindow) &&
               keepPatch<decltype(&::SendMessageTimeoutA)>(p, m, "user32.dll", "SendMessageTimeoutA", &send);
    }
};

}  // namespace

// The peer of Quit.TwoProcessesOneWarningOneDeadline: loads the library,
// starts a watcher on the same file with the doubles in its imports, and
// keeps the library loaded until the test is done. Exit code 0 when its
// script thread was told to quit once and nothing else was posted.
int runQuitPeer(const char* library, const char* boardName, const char* signalFile) {
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, boardName);
    if (!mapping) return 10;
    auto* board = static_cast<QuitBoard*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(QuitBoard)));
    if (!board) return 11;
    const HWND front =
        CreateWindowExA(0, "STATIC", "kavro quit peer", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Watched::use(board, 1, front);
    int code = 0;
    {
        Host::Options o;
        o.library = library;
        Host host(o);
        std::vector<std::shared_ptr<void>> patches;  // out before the unload: the watcher has ended by then
        if (!Watched::patch(host.module(), patches)) return 12;
        Result r = host.call("FF_QUIT", {Str(signalFile), Str("Closing"), Str("Please save your work")});
        if (!r.ok() || r.value.asNumber() == 0) return 13;
        InterlockedExchange(&board->peerReady, 1);
        for (int k = 0; k < 60000 && !board->done; ++k) Sleep(5);
        if (!board->done) code = 14;
        else if (board->quits[1] != 1 || board->otherPosts[1] != 0) code = 15;
        board->warnings[1] = static_cast<LONG>(messageBoxes().size());
    }
    DestroyWindow(front);
    UnmapViewOfFile(board);
    CloseHandle(mapping);
    return code;
}

namespace {

class Quit : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        name_ = "KavroQuitBoard" + std::to_string(GetCurrentProcessId());
        mapping_ =
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(QuitBoard), name_.c_str());
        ASSERT_TRUE(mapping_);
        board_ = static_cast<QuitBoard*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(QuitBoard)));
        ASSERT_TRUE(board_);
        std::memset(static_cast<void*>(board_), 0, sizeof(QuitBoard));
        board_->clock.now = 1000000;
        board_->clock.parties = 1;
        window_ = CreateWindowExA(0, "STATIC", "kavro quit test", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(window_);
        Watched::use(board_, 0, window_);
        const HMODULE m = host().module();
        // Our own reference keeps the image mapped until the patches are taken out, after the unload.
        ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(m), &library_));
        ASSERT_TRUE(Watched::patch(m, patches_));
        threads_ = std::make_unique<ThreadLedger>(m);
        ASSERT_TRUE(threads_->active());
        signal_ = path("quit.sig");
    }
    void TearDown() override {
        stop();  // the unload ends the watcher while the clock is still ours
        if (Watched::share) SetEvent(Watched::share);
        for (int k = 0; k < 3000 && Watched::looking; ++k) Sleep(5);
        // The watcher and the warning box gave back their handles and module references.
        EXPECT_TRUE(threads_->settle());
        EXPECT_EQ(threads_->openHandles(), 0);
        threads_.reset();
        patches_.clear();
        if (library_) FreeLibrary(library_);
        // No thread of the library's is left to keep it mapped.
        for (int k = 0; k < 500 && GetModuleHandleA("Kavro.FLL"); ++k) Sleep(10);
        EXPECT_EQ(GetModuleHandleA("Kavro.FLL"), nullptr);
        DestroyWindow(window_);
        if (Watched::share) CloseHandle(Watched::share);
        Watched::share = nullptr;
        if (board_) UnmapViewOfFile(board_);
        if (mapping_) CloseHandle(mapping_);
        FileTest::TearDown();
    }
    // Moves the clock on until `done` holds; false when it does not within a minute.
    template <class Done>
    bool runUntil(Done done) {
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
            if (done()) return true;
            if (!FakeClock::step()) Sleep(1);
        }
        return done();
    }
    bool awaitPoll(LONG n) {
        return runUntil([&] { return board_->polls >= n; });
    }
    bool awaitQuits(LONG n) {
        return runUntil([&] { return board_->quits[0] >= n; });
    }
    // What the board holds, read once.
    static LONG v(const volatile LONG& x) { return x; }

    std::string name_, signal_;
    HANDLE mapping_ = nullptr;
    QuitBoard* board_ = nullptr;
    HWND window_ = nullptr;
    HMODULE library_ = nullptr;
    std::vector<std::shared_ptr<void>> patches_;
    std::unique_ptr<ThreadLedger> threads_;
};

TEST_F(Quit, OneWarningThenQuitAtTheDeadline) {
    const Value watcher = ok("FF_QUIT", {Str(signal_), Str("Closing"), Str("Please save your work")});
    EXPECT_NE(watcher.asNumber(), 0);
    EXPECT_EQ(watcher.width, 15);
    ASSERT_TRUE(awaitPoll(2));
    ASSERT_TRUE(writeFile(signal_, ""));
    ASSERT_TRUE(awaitQuits(1));
    DeleteFileA(signal_.c_str());  // too late to cancel anything
    EXPECT_EQ(threads_->started(), 2);  // the watcher and the warning box

    const QuitBoard& b = *board_;
    // Looked at every 24 seconds: 20 between looks, rounded up to the 4-second pauses.
    const LONG polls = b.polls;
    ASSERT_LE(polls, 64);
    for (LONG k = 1; k < polls; ++k) EXPECT_EQ(v(b.pollAt[k]) - v(b.pollAt[k - 1]), 24000) << k;
    const LONG found = b.foundAt;
    EXPECT_EQ(v(b.pollAt[polls - 1]), found);
    EXPECT_EQ(v(b.quitAt[0]), found + 60000);
    EXPECT_EQ(v(b.quits[0]), 1);
    EXPECT_EQ(v(b.otherPosts[0]), 0);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].owner, nullptr);
    EXPECT_EQ(messageBoxes()[0].text, "Please save your work");
    EXPECT_EQ(messageBoxes()[0].caption, "Closing");
    EXPECT_EQ(messageBoxes()[0].style, 0x51010u);
    // The window in front just after the warning is closed, and nothing else is sent.
    EXPECT_EQ(v(b.sends[0]), 1);
    EXPECT_EQ(v(b.closes[0]), 1);
}

TEST_F(Quit, AWatcherStartedAfterTheDeadlineQuitsAtOnce) {
    ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
    ASSERT_TRUE(writeFile(signal_, ""));
    ASSERT_TRUE(awaitQuits(1));
    const LONG polls = board_->polls;
    FakeClock::moveBy(100000);
    ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
    ASSERT_TRUE(awaitQuits(2));
    EXPECT_EQ(v(board_->polls), polls);      // no more looks at the file
    EXPECT_EQ(messageBoxes().size(), 1u);    // and no second warning
    EXPECT_EQ(v(board_->sends[0]), 1);
    EXPECT_EQ(v(board_->otherPosts[0]), 0);
}

TEST_F(Quit, StoppingEndsTheWatcherAtOnce) {
    ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
    ASSERT_TRUE(awaitPoll(1));
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, Watched::watcherThread);
    ASSERT_TRUE(thread);
    // An empty path only stops.
    EXPECT_EQ(ok("FF_QUIT", {Str(""), Str("t"), Str("x")}).asNumber(), 0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);

    // A new watcher replaces the old one; the unload ends the last.
    ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
    Watched::watcherThread = 0;
    FakeClock::moveBy(30000);
    ASSERT_TRUE(awaitPoll(board_->polls + 1));
    const HANDLE second = OpenThread(SYNCHRONIZE, FALSE, Watched::watcherThread);
    ASSERT_TRUE(second);
    host().unload();
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    CloseHandle(second);
    EXPECT_EQ(v(board_->quits[0]) + v(board_->otherPosts[0]), 0);
}

// A look at the file that hangs (an unreachable share) holds its watcher up;
// neither a new FF_QUIT nor the unload waits for it beyond a bounded time. The
// watcher ends on its own when the look returns, telling nothing of it.
TEST_F(Quit, AWatcherHeldUpByAHangingLookIsNotWaitedFor) {
    Watched::share = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(Watched::share);
    ASSERT_TRUE(writeFile(signal_, ""));  // there, but the look does not come back
    for (const bool unload : {false, true}) {
        ResetEvent(Watched::share);
        ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
        ASSERT_TRUE(runUntil([] { return Watched::looking > 0; }));
        if (unload) {
            host().threadsOutliveUnload();  // the watcher ends when its look comes back
            host().unload();
        } else {
            EXPECT_EQ(ok("FF_QUIT", {Str(""), Str("t"), Str("x")}).asNumber(), 0);
        }
        EXPECT_TRUE(Watched::looking) << "the stop waited for the look";
        SetEvent(Watched::share);
        for (int k = 0; k < 3000 && Watched::looking; ++k) Sleep(5);
    }
    // The looks that came back after their watchers were stopped found the file and told no one.
    EXPECT_EQ(v(board_->quits[0]) + v(board_->otherPosts[0]), 0);
    EXPECT_TRUE(messageBoxes().empty());
}

// Two processes watch the same file: the clock moves only while both watchers
// wait, and the file appears after two looks.
TEST_F(Quit, TwoProcessesOneWarningOneDeadline) {
    board_->clock.parties = 2;
    ASSERT_NE(ok("FF_QUIT", {Str(signal_), Str("Closing"), Str("Please save your work")}).asNumber(), 0);
    Peer peer("--kavro-quit \"" + modulePath(host().module()) + "\" " + name_ + " \"" + signal_ + "\"");
    ASSERT_TRUE(peer.started());
    const QuitBoard& b = *board_;
    bool made = false;
    const bool quitBoth = runUntil([&] {
        if (!made && b.peerReady && b.polls >= 2) made = writeFile(signal_, "");
        return (b.quits[0] && b.quits[1]) || !peer.running();
    }) && b.quits[0] && b.quits[1];
    InterlockedExchange(&board_->done, 1);
    const DWORD peerCode = peer.finish(120000);
    const std::string seen = "peer exit code " + std::to_string(peerCode) + ", clock " +
                             std::to_string(v(b.clock.now)) + ", looks " + std::to_string(v(b.polls)) +
                             ", file made " + std::to_string(made) +
                             ", quits " + std::to_string(v(b.quits[0])) + "/" + std::to_string(v(b.quits[1]));
    ASSERT_TRUE(quitBoth) << seen;
    EXPECT_EQ(peerCode, 0u) << "the other process was not told to quit once: " << seen;

    // One warning between the two processes, and that process alone closes the window in front.
    const LONG warnings[2] = {static_cast<LONG>(messageBoxes().size()), b.warnings[1]};
    EXPECT_EQ(warnings[0] + warnings[1], 1);
    EXPECT_EQ(v(b.closes[0]), warnings[0]);
    EXPECT_EQ(v(b.closes[1]), warnings[1]);
    // Both quit at the same deadline, 60 seconds after the file was found.
    const LONG found = b.foundAt;
    ASSERT_NE(found, 0);
    EXPECT_EQ(v(b.quitAt[0]), found + 60000);
    EXPECT_EQ(v(b.quitAt[1]), found + 60000);
    EXPECT_EQ(v(b.quits[0]), 1);
    EXPECT_EQ(v(b.otherPosts[0]), 0);
    // The two together looked at the file once every 24 seconds (20, rounded up to the 4-second pauses).
    const LONG polls = b.polls;
    ASSERT_GE(polls, 3);
    ASSERT_LE(polls, 64);
    for (LONG k = 1; k < polls; ++k) EXPECT_EQ(v(b.pollAt[k]) - v(b.pollAt[k - 1]), 24000) << k;
    EXPECT_EQ(v(b.pollAt[polls - 1]), found);
}

}  // namespace
}  // namespace kavro_test

namespace kavro_test {
namespace {

// The message entry run by the platform's own command-line DLL runner.
class RunDll : public HostTest {
protected:
    struct Seen {
        bool found = false;
        std::string text;
        DWORD exitCode = STILL_ACTIVE;
    };
    Seen run(const std::string& commandLine, const char* title) {
        std::string command = "rundll32.exe \"" + modulePath(host().module()) + "\",DispMsg_RunDll " + commandLine;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        Seen seen;
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            ADD_FAILURE() << "rundll32 did not start: " << GetLastError();
            return seen;
        }
        // The box is looked for while the process runs; it ends by itself.
        while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
            if (seen.found) continue;
            if (HWND box = FindWindowA(nullptr, title)) {
                char text[200] = {};
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                seen.found = text[0] != 0;
                seen.text = text;
            }
        }
        GetExitCodeProcess(pi.hProcess, &seen.exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return seen;
    }
};

// "text|more text/title/seconds"; an empty title too takes the default, and
// no time the default six seconds.
TEST_F(RunDll, ShowsItsMessageForItsTime) {
    const struct {
        const char* commandLine;
        const char* title;
        const char* text;
        DWORD atLeast;  // ms
    } cases[] = {
        {"Disk full|Call support/Backup/2", "Backup", "Disk full\nCall support", 0},
        {"Only text//", "\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE5\xED\xE8\xE5", "Only text", 5500},
    };
    for (const auto& c : cases) {
        const DWORD start = GetTickCount();
        const Seen seen = run(c.commandLine, c.title);
        EXPECT_TRUE(seen.found) << c.commandLine;
        EXPECT_EQ(seen.text, c.text);
        EXPECT_EQ(seen.exitCode, 0u);
        EXPECT_GE(GetTickCount() - start, c.atLeast) << c.commandLine;
    }
}

}  // namespace
}  // namespace kavro_test

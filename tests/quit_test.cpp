#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <type_traits>
#include <mutex>

#include "hostemu/iat.h"
#include "hostemu/msgbox.h"
#include "tests/files_support.h"
#include "tests/peer_support.h"
#include "tests/threads_support.h"

namespace kavro_test {
namespace {

// The watcher's clock: each wait moves it on by the time waited, so minutes pass in moments.
struct Clock {
    static inline std::atomic<DWORD> now;
    static inline std::mutex lock;
    static inline std::vector<DWORD> polls;  // when the file was looked at
    static inline std::vector<std::pair<DWORD, UINT>> posted;  // thread, message
    static inline std::vector<DWORD> postedAt;
    static inline std::vector<std::pair<HWND, UINT>> sent;
    static inline HWND foreground;
    static inline std::atomic<DWORD> watcherThread;
    static inline HANDLE share;             // while not set, a look at the file hangs, as on an unreachable share
    static inline std::atomic<int> looking;  // watchers inside a look

    static DWORD WINAPI tickCount() { return now; }
    static DWORD WINAPI wait(HANDLE h, DWORD ms) {
        if (ms == INFINITE) return WaitForSingleObject(h, INFINITE);
        // Long waits (the deadline, a warning asked to go) give other threads real time too.
        const DWORD r = WaitForSingleObject(h, ms < 20 ? ms : ms >= 5000 ? 500 : 20);
        if (r != WAIT_TIMEOUT) return r;
        now += ms;
        return WAIT_TIMEOUT;
    }
    static DWORD WINAPI attributes(LPCSTR name) {
        watcherThread = GetCurrentThreadId();
        {
            std::lock_guard<std::mutex> g(lock);
            polls.push_back(now);
        }
        ++looking;
        if (share) WaitForSingleObject(share, 15000);
        const DWORD a = GetFileAttributesA(name);
        --looking;
        return a;
    }
    static BOOL WINAPI post(DWORD thread, UINT msg, WPARAM, LPARAM) {
        std::lock_guard<std::mutex> g(lock);
        posted.emplace_back(thread, msg);
        postedAt.push_back(now);
        return TRUE;
    }
    static HWND WINAPI foregroundWindow() { return foreground; }
    static LRESULT WINAPI send(HWND w, UINT msg, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR) {
        std::lock_guard<std::mutex> g(lock);
        sent.emplace_back(w, msg);
        return 1;
    }
};

class Quit : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        Clock::now = 1000000;
        Clock::polls.clear();
        Clock::posted.clear();
        Clock::postedAt.clear();
        Clock::sent.clear();
        Clock::watcherThread = 0;
        Clock::share = nullptr;
        window_ = CreateWindowExA(0, "STATIC", "kavro quit test", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(window_);
        Clock::foreground = window_;
        const HMODULE m = host().module();
        // Our own reference keeps the image mapped until the patches are taken out, after the unload.
        ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(m), &library_));
        ticks_ = importPatch<decltype(&::GetTickCount)>(m, "kernel32.dll", "GetTickCount", &Clock::tickCount);
        wait_ = importPatch<decltype(&::WaitForSingleObject)>(m, "kernel32.dll", "WaitForSingleObject", &Clock::wait);
        attributes_ = importPatch<decltype(&::GetFileAttributesA)>(m, "kernel32.dll", "GetFileAttributesA",
                                                                   &Clock::attributes);
        post_ = importPatch<decltype(&::PostThreadMessageA)>(m, "user32.dll", "PostThreadMessageA", &Clock::post);
        foreground_ = importPatch<decltype(&::GetForegroundWindow)>(m, "user32.dll", "GetForegroundWindow",
                                                                     &Clock::foregroundWindow);
        send_ = importPatch<decltype(&::SendMessageTimeoutA)>(m, "user32.dll", "SendMessageTimeoutA", &Clock::send);
        ASSERT_TRUE(ticks_->active() && wait_->active() && attributes_->active() && post_->active() &&
                    foreground_->active() && send_->active());
        threads_ = std::make_unique<ThreadLedger>(m);
        ASSERT_TRUE(threads_->active());
        signal_ = path("quit.sig");
    }
    void TearDown() override {
        stop();  // the unload ends the watcher while the clock is still ours
        if (Clock::share) SetEvent(Clock::share);
        for (int k = 0; k < 3000 && Clock::looking; ++k) Sleep(5);
        // The watcher and the warning box gave back their handles and module references.
        EXPECT_TRUE(threads_->settle());
        EXPECT_EQ(threads_->openHandles(), 0);
        threads_.reset();
        ticks_.reset();
        wait_.reset();
        attributes_.reset();
        post_.reset();
        foreground_.reset();
        send_.reset();
        if (library_) FreeLibrary(library_);
        // No thread of the library's is left to keep it mapped.
        for (int k = 0; k < 500 && GetModuleHandleA("Kavro.FLL"); ++k) Sleep(10);
        EXPECT_EQ(GetModuleHandleA("Kavro.FLL"), nullptr);
        DestroyWindow(window_);
        if (Clock::share) CloseHandle(Clock::share);
        Clock::share = nullptr;
        FileTest::TearDown();
    }
    bool awaitPosts(size_t n) {
        for (int k = 0; k < 3000; ++k) {
            {
                std::lock_guard<std::mutex> g(Clock::lock);
                if (Clock::posted.size() >= n) return true;
            }
            Sleep(5);
        }
        return false;
    }
    size_t pollCount() {
        std::lock_guard<std::mutex> g(Clock::lock);
        return Clock::polls.size();
    }
    bool awaitPoll(size_t n) {
        for (int k = 0; k < 3000 && pollCount() < n; ++k) Sleep(5);
        return pollCount() >= n;
    }

    HWND window_ = nullptr;
    HMODULE library_ = nullptr;
    std::string signal_;
    std::unique_ptr<ImportPatch<decltype(&::GetTickCount)>> ticks_;
    std::unique_ptr<ImportPatch<decltype(&::WaitForSingleObject)>> wait_;
    std::unique_ptr<ImportPatch<decltype(&::GetFileAttributesA)>> attributes_;
    std::unique_ptr<ImportPatch<decltype(&::PostThreadMessageA)>> post_;
    std::unique_ptr<ImportPatch<decltype(&::GetForegroundWindow)>> foreground_;
    std::unique_ptr<ImportPatch<decltype(&::SendMessageTimeoutA)>> send_;
    std::unique_ptr<ThreadLedger> threads_;
};

TEST_F(Quit, OneWarningThenQuitAtTheDeadline) {
    const Value watcher = ok("FF_QUIT", {Str(signal_), Str("Closing"), Str("Please save your work")});
    EXPECT_NE(watcher.asNumber(), 0);
    EXPECT_EQ(watcher.width, 15);
    ASSERT_TRUE(awaitPoll(2));
    ASSERT_TRUE(writeFile(signal_, ""));
    ASSERT_TRUE(awaitPosts(1));
    DeleteFileA(signal_.c_str());  // too late to cancel anything
    EXPECT_EQ(threads_->started(), 2);  // the watcher and the warning box

    std::lock_guard<std::mutex> g(Clock::lock);
    // Looked at every 24 seconds: 20 between looks, rounded up to the 4-second pauses.
    for (size_t k = 1; k < Clock::polls.size(); ++k) EXPECT_EQ(Clock::polls[k] - Clock::polls[k - 1], 24000u);
    const DWORD found = Clock::polls.back();
    EXPECT_EQ(Clock::postedAt[0], found + 60000);
    EXPECT_EQ(Clock::posted[0], std::make_pair(GetCurrentThreadId(), static_cast<UINT>(WM_QUIT)));
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].owner, nullptr);
    EXPECT_EQ(messageBoxes()[0].text, "Please save your work");
    EXPECT_EQ(messageBoxes()[0].caption, "Closing");
    EXPECT_EQ(messageBoxes()[0].style, 0x51010u);
    // The window in front just after the warning is closed.
    ASSERT_EQ(Clock::sent.size(), 1u);
    EXPECT_EQ(Clock::sent[0], std::make_pair(window_, static_cast<UINT>(WM_CLOSE)));
}

TEST_F(Quit, AWatcherStartedAfterTheDeadlineQuitsAtOnce) {
    ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
    ASSERT_TRUE(writeFile(signal_, ""));
    ASSERT_TRUE(awaitPosts(1));
    const size_t polls = pollCount();
    Clock::now += 100000;
    ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
    ASSERT_TRUE(awaitPosts(2));
    EXPECT_EQ(pollCount(), polls);             // no more looks at the file
    EXPECT_EQ(messageBoxes().size(), 1u);      // and no second warning
    std::lock_guard<std::mutex> g(Clock::lock);
    EXPECT_EQ(Clock::sent.size(), 1u);
}

TEST_F(Quit, StoppingEndsTheWatcherAtOnce) {
    ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
    ASSERT_TRUE(awaitPoll(1));
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, Clock::watcherThread);
    ASSERT_TRUE(thread);
    // An empty path only stops.
    EXPECT_EQ(ok("FF_QUIT", {Str(""), Str("t"), Str("x")}).asNumber(), 0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);

    // A new watcher replaces the old one; the unload ends the last.
    ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
    Clock::watcherThread = 0;
    Clock::now += 30000;
    ASSERT_TRUE(awaitPoll(pollCount() + 1));
    const HANDLE second = OpenThread(SYNCHRONIZE, FALSE, Clock::watcherThread);
    ASSERT_TRUE(second);
    host().unload();
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    CloseHandle(second);
    std::lock_guard<std::mutex> g(Clock::lock);
    EXPECT_TRUE(Clock::posted.empty());
}

// A look at the file that hangs (an unreachable share) holds its watcher up;
// neither a new FF_QUIT nor the unload waits for it beyond a bounded time. The
// watcher ends on its own when the look returns, telling nothing of it.
TEST_F(Quit, AWatcherHeldUpByAHangingLookIsNotWaitedFor) {
    Clock::share = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(Clock::share);
    ASSERT_TRUE(writeFile(signal_, ""));  // there, but the look does not come back
    for (const bool unload : {false, true}) {
        ResetEvent(Clock::share);
        ok("FF_QUIT", {Str(signal_), Str("t"), Str("x")});
        for (int k = 0; k < 3000 && !Clock::looking; ++k) Sleep(5);
        ASSERT_TRUE(Clock::looking);
        if (unload) {
            host().threadsOutliveUnload();  // the watcher ends when its look comes back
            host().unload();
        } else {
            EXPECT_EQ(ok("FF_QUIT", {Str(""), Str("t"), Str("x")}).asNumber(), 0);
        }
        EXPECT_TRUE(Clock::looking) << "the stop waited for the look";
        SetEvent(Clock::share);
        for (int k = 0; k < 3000 && Clock::looking; ++k) Sleep(5);
    }
    // The looks that came back after their watchers were stopped found the file and told no one.
    std::lock_guard<std::mutex> g(Clock::lock);
    EXPECT_TRUE(Clock::posted.empty());
}

TEST_F(Quit, TextsThatDoNotFit) {
    EXPECT_EQ(ok("FF_QUIT", {Str(std::string(262, 'p')), Str("t"), Str("x")}).asNumber(), 0);
    EXPECT_EQ(error("FF_QUIT", {Str(signal_), Str(std::string(128, 't')), Str("x")}), 901);
    EXPECT_EQ(error("FF_QUIT", {Str(signal_), Str("t"), Str(std::string(300, 'x'))}), 901);
    EXPECT_NE(ok("FF_QUIT", {Str(signal_), Str(std::string(127, 't')), Str(std::string(299, 'x'))}).asNumber(), 0);
    EXPECT_NE(ok("FF_QUIT", {Str(std::string(261, 'p')), Str(""), Str("")}).asNumber(), 0);
}

}  // namespace
}  // namespace kavro_test

namespace kavro_test {
namespace {

// ---- two processes watching the same file ----

// What the two processes share through a named mapping: the clock, which
// only the test moves, and what each process's library did, by side
// (0: the test's process, 1: its peer).
struct QuitBoard {
    volatile LONG now;
    volatile LONG waiting[2];  // 1 while that side's watcher waits on the clock
    volatile LONG until[2];    // and until when
    volatile LONG ready[2];    // FF_QUIT has started that side's watcher
    volatile LONG polls;
    volatile LONG pollAt[64];  // when the file was looked at, by either side
    volatile LONG foundAt;     // the look that found it; 0: none yet
    volatile LONG quits[2];    // WM_QUIT posted to that side's script thread
    volatile LONG quitAt[2];
    volatile LONG otherPosts[2];
    volatile LONG warnings[2];
    volatile LONG closes[2];   // WM_CLOSE sent to the window in front
    volatile LONG done;        // the test has seen enough: the peer unloads and ends
};

// The doubles of one process's library, reading and writing the board. Only
// the watcher's waits run on the shared clock: each says until when it waits
// and returns once the test has moved the clock there, so that the test
// moves it only while both watchers wait, to the nearer of their times, and
// every step happens at its exact time in both processes.
struct Board {
    static inline QuitBoard* b;
    static inline int side;
    static inline DWORD scriptThread;
    static inline HWND front;

    static bool onWatcher() { return GetCurrentThreadId() != scriptThread; }
    static DWORD WINAPI tickCount() { return static_cast<DWORD>(b->now); }
    static DWORD WINAPI wait(HANDLE h, DWORD ms) {
        if (ms == 0 || ms == INFINITE || !onWatcher()) return WaitForSingleObject(h, ms);
        const DWORD until = static_cast<DWORD>(b->now) + ms;
        InterlockedExchange(&b->until[side], static_cast<LONG>(until));
        InterlockedExchange(&b->waiting[side], 1);
        DWORD r;
        while ((r = WaitForSingleObject(h, 1)) == WAIT_TIMEOUT &&
               static_cast<LONG>(static_cast<DWORD>(b->now) - until) < 0) {
        }
        InterlockedExchange(&b->waiting[side], 0);
        return r;
    }
    static DWORD WINAPI attributes(LPCSTR name) {
        const DWORD a = GetFileAttributesA(name);
        if (onWatcher()) {
            const LONG k = InterlockedIncrement(&b->polls) - 1;
            if (k < 64) b->pollAt[k] = b->now;
            if (a != INVALID_FILE_ATTRIBUTES) InterlockedCompareExchange(&b->foundAt, b->now, 0);
        }
        return a;
    }
    static BOOL WINAPI post(DWORD thread, UINT msg, WPARAM, LPARAM) {
        if (thread == scriptThread && msg == WM_QUIT) {
            b->quitAt[side] = b->now;
            InterlockedIncrement(&b->quits[side]);
        } else {
            InterlockedIncrement(&b->otherPosts[side]);
        }
        return TRUE;
    }
    static int WINAPI messageBox(HWND, LPCSTR, LPCSTR, UINT) {
        InterlockedIncrement(&b->warnings[side]);
        return IDOK;
    }
    static HWND WINAPI foregroundWindow() { return front; }
    static LRESULT WINAPI send(HWND w, UINT msg, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR) {
        if (w == front && msg == WM_CLOSE) InterlockedIncrement(&b->closes[side]);
        return 1;
    }

    // Puts the doubles into `library`'s imports through `p.put<Fn>(...)`,
    // each typed as the function it stands in for; false when one is not imported.
    template <class Patcher>
    static bool patch(HMODULE m, Patcher& p) {
        return p.template put<decltype(&::GetTickCount)>(m, "kernel32.dll", "GetTickCount", &tickCount) &&
               p.template put<decltype(&::WaitForSingleObject)>(m, "kernel32.dll", "WaitForSingleObject", &wait) &&
               p.template put<decltype(&::GetFileAttributesA)>(m, "kernel32.dll", "GetFileAttributesA", &attributes) &&
               p.template put<decltype(&::PostThreadMessageA)>(m, "user32.dll", "PostThreadMessageA", &post) &&
               p.template put<decltype(&::MessageBoxA)>(m, "user32.dll", "MessageBoxA", &messageBox) &&
               p.template put<decltype(&::GetForegroundWindow)>(m, "user32.dll", "GetForegroundWindow",
                                                                 &foregroundWindow) &&
               p.template put<decltype(&::SendMessageTimeoutA)>(m, "user32.dll", "SendMessageTimeoutA", &send);
    }
};

struct OneWayPatches {
    template <class Fn>
    bool put(HMODULE m, const char* dll, const char* fn, std::type_identity_t<Fn> to) {
        return patchImport<Fn>(m, dll, fn, to) != nullptr;
    }
};

// Taken out when `kept` is cleared.
struct ScopedPatches {
    std::vector<std::shared_ptr<void>>& kept;
    template <class Fn>
    bool put(HMODULE m, const char* dll, const char* fn, std::type_identity_t<Fn> to) {
        auto p = std::make_shared<ImportPatch<Fn>>(m, dll, fn, to);
        kept.push_back(p);
        return p->active();
    }
};

}  // namespace

// The peer of TwoProcessesOneWarningOneDeadline: loads the library, starts a
// watcher on the same file with the board's doubles in its imports, and keeps
// the library loaded until the test is done. Exit code 0 when its script
// thread was told to quit once and nothing else was posted.
int runQuitPeer(const char* library, const char* boardName, const char* signalFile) {
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, boardName);
    if (!mapping) return 10;
    Board::b = static_cast<QuitBoard*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(QuitBoard)));
    if (!Board::b) return 11;
    Board::side = 1;
    Board::scriptThread = GetCurrentThreadId();
    Board::front = CreateWindowExA(0, "STATIC", "kavro quit peer", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    int code = 0;
    {
        Host::Options o;
        o.library = library;
        Host host(o);
        OneWayPatches oneWay;  // the process ends with the library
        if (!Board::patch(host.module(), oneWay)) return 12;
        Result r = host.call("FF_QUIT", {Str(signalFile), Str("Closing"), Str("Please save your work")});
        if (!r.ok() || r.value.asNumber() == 0) return 13;
        InterlockedExchange(&Board::b->ready[1], 1);
        for (int k = 0; k < 60000 && !Board::b->done; ++k) Sleep(5);
        if (!Board::b->done) code = 14;
        else if (Board::b->quits[1] != 1 || Board::b->otherPosts[1] != 0) code = 15;
    }
    DestroyWindow(Board::front);
    UnmapViewOfFile(Board::b);
    CloseHandle(mapping);
    return code;
}

namespace {

class QuitPeers : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        name_ = "KavroQuitBoard" + std::to_string(GetCurrentProcessId());
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(QuitBoard), name_.c_str());
        ASSERT_TRUE(mapping_);
        board_ = static_cast<QuitBoard*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(QuitBoard)));
        ASSERT_TRUE(board_);
        std::memset(static_cast<void*>(board_), 0, sizeof(QuitBoard));
        board_->now = 1000000;
        Board::b = board_;
        Board::side = 0;
        Board::scriptThread = GetCurrentThreadId();
        window_ = CreateWindowExA(0, "STATIC", "kavro quit test", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(window_);
        Board::front = window_;
        const HMODULE m = host().module();
        // Our own reference keeps the image mapped until the patches are taken out, after the unload.
        ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(m), &library_));
        ScopedPatches scoped{patches_};
        ASSERT_TRUE(Board::patch(m, scoped));
        signal_ = path("quit.sig");
    }
    void TearDown() override {
        stop();  // the unload ends the watcher while the clock is still ours
        patches_.clear();
        if (library_) FreeLibrary(library_);
        for (int k = 0; k < 500 && GetModuleHandleA("Kavro.FLL"); ++k) Sleep(10);
        EXPECT_EQ(GetModuleHandleA("Kavro.FLL"), nullptr);
        DestroyWindow(window_);
        if (board_) UnmapViewOfFile(board_);
        if (mapping_) CloseHandle(mapping_);
        FileTest::TearDown();
    }
    // Moves the clock to the nearer of the times the two watchers wait for,
    // once both wait and neither has yet to see its time come.
    bool advance() {
        QuitBoard& b = *board_;
        if (!b.waiting[0] || !b.waiting[1]) return false;
        const DWORD now = static_cast<DWORD>(b.now);
        const LONG a = static_cast<LONG>(static_cast<DWORD>(b.until[0]) - now);
        const LONG c = static_cast<LONG>(static_cast<DWORD>(b.until[1]) - now);
        if (a <= 0 || c <= 0) return false;
        InterlockedExchange(&b.now, static_cast<LONG>(now + static_cast<DWORD>(std::min(a, c))));
        return true;
    }

    std::string name_, signal_;
    HANDLE mapping_ = nullptr;
    QuitBoard* board_ = nullptr;
    HWND window_ = nullptr;
    HMODULE library_ = nullptr;
    std::vector<std::shared_ptr<void>> patches_;
};

TEST_F(QuitPeers, TwoProcessesOneWarningOneDeadline) {
    ASSERT_NE(ok("FF_QUIT", {Str(signal_), Str("Closing"), Str("Please save your work")}).asNumber(), 0);
    InterlockedExchange(&board_->ready[0], 1);
    Peer peer("--kavro-quit \"" + modulePath(host().module()) + "\" " + name_ + " \"" + signal_ + "\"");
    ASSERT_TRUE(peer.started());

    // The clock moves only while both watchers wait; the file appears after two looks.
    bool made = false, quitBoth = false;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 300000) {
        if (board_->quits[0] && board_->quits[1]) {
            quitBoth = true;
            break;
        }
        if (!peer.running()) break;
        if (!made && board_->ready[1] && board_->polls >= 2) made = writeFile(signal_, "");
        if (!advance()) Sleep(1);
    }
    InterlockedExchange(&board_->done, 1);
    const DWORD peerCode = peer.finish(120000);
    const std::string seen = "peer exit code " + std::to_string(peerCode) + ", clock " + std::to_string(board_->now) +
                             ", looks " + std::to_string(board_->polls) + ", file made " + std::to_string(made) +
                             ", quits " + std::to_string(board_->quits[0]) + "/" + std::to_string(board_->quits[1]);
    ASSERT_TRUE(quitBoth) << seen;
    EXPECT_EQ(peerCode, 0u) << "the other process was not told to quit once: " << seen;

    const QuitBoard& b = *board_;
    const auto v = [](const volatile LONG& x) -> LONG { return x; };
    // One warning between the two processes, and that process alone closes the window in front.
    EXPECT_EQ(v(b.warnings[0]) + v(b.warnings[1]), 1);
    EXPECT_EQ(v(b.closes[0]), v(b.warnings[0]));
    EXPECT_EQ(v(b.closes[1]), v(b.warnings[1]));
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

TEST_F(RunDll, MessageWithTitleAndTime) {
    const Seen seen = run("Disk full|Call support/Backup/2", "Backup");
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.text, "Disk full\nCall support");
    EXPECT_EQ(seen.exitCode, 0u);
}

TEST_F(RunDll, DefaultTitleAndTime) {
    const char kDefault[] = "\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE5\xED\xE8\xE5";
    const DWORD start = GetTickCount();
    const Seen seen = run("Only text//", kDefault);  // an empty title too takes the default
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.text, "Only text");
    EXPECT_EQ(seen.exitCode, 0u);
    EXPECT_GE(GetTickCount() - start, 5500u);  // the default six seconds
}

}  // namespace
}  // namespace kavro_test

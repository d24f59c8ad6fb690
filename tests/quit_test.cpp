#include <windows.h>

#include <atomic>
#include <mutex>

#include "hostemu/iat.h"
#include "hostemu/msgbox.h"
#include "tests/files_support.h"

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
        return GetFileAttributesA(name);
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
        signal_ = path("quit.sig");
    }
    void TearDown() override {
        stop();  // the unload ends the watcher while the clock is still ours
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
};

TEST_F(Quit, OneWarningThenQuitAtTheDeadline) {
    const Value watcher = ok("FF_QUIT", {Str(signal_), Str("Closing"), Str("Please save your work")});
    EXPECT_NE(watcher.asNumber(), 0);
    EXPECT_EQ(watcher.width, 15);
    ASSERT_TRUE(awaitPoll(2));
    ASSERT_TRUE(writeFile(signal_, ""));
    ASSERT_TRUE(awaitPosts(1));
    DeleteFileA(signal_.c_str());  // too late to cancel anything

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

// The message entry run by the platform's own command-line DLL runner.
class RunDll : public HostTest {
protected:
    struct Seen {
        bool found = false;
        std::string text;
        DWORD exitCode = STILL_ACTIVE;
    };
    Seen run(const std::string& commandLine, const char* title) {
        char library[MAX_PATH];
        GetModuleFileNameA(host().module(), library, MAX_PATH);
        std::string command = "rundll32.exe \"" + std::string(library) + "\",DispMsg_RunDll " + commandLine;
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

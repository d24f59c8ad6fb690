// Driving modal user interface from a second thread: while the library's call
// sits in a real menu loop or dialog on the test's thread, a driver thread
// finds the window, looks at it and works it the way a user would.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace kavro_test {

// Polls `find` until it gives a window or `ms` have passed.
inline HWND waitForWindow(const std::function<HWND()>& find, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (HWND w = find()) return w;
        Sleep(10);
    }
    return nullptr;
}

// The visible popup-menu window of this process, if one is open.
inline HWND openMenuWindow() {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// The visible dialog that `thread` runs, if one is open.
inline HWND openDialogOf(DWORD thread) {
    struct Search {
        DWORD thread;
        HWND found;
        static BOOL CALLBACK visit(HWND w, LPARAM self) {
            auto* s = reinterpret_cast<Search*>(self);
            char cls[32] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (std::string(cls) == "#32770" && IsWindowVisible(w)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        }
    } search{thread, nullptr};
    EnumThreadWindows(thread, &Search::visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// True while the window runs its class's own procedure: nothing subclasses it.
inline bool runsClassProcedure(HWND w) {
    return static_cast<uintptr_t>(GetWindowLongPtrA(w, GWLP_WNDPROC)) ==
           static_cast<uintptr_t>(GetClassLongPtrA(w, GCLP_WNDPROC));
}

inline std::string windowText(HWND w) {
    char text[512] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

// Runs `work` on its own thread for the scope; joined on the way out.
class Driver {
public:
    explicit Driver(std::function<void()> work) : thread_(std::move(work)) {}
    ~Driver() { thread_.join(); }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

private:
    std::thread thread_;
};

// Processes the test thread's pending messages for about `ms`.
inline void pumpMessages(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(5);
    } while (std::chrono::steady_clock::now() < end);
}

}  // namespace kavro_test

// HostSystemWindow (113) and HostWindowHwnd (112).
#include "hostemu/window.h"

#include "hostemu/host.h"

namespace hostemu {

namespace {

HWND gMain = nullptr;
constexpr const char* kClassName = "KavroHostMain";

ATOM registerClass() {
    static const ATOM atom = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc);
    }();
    return atom;
}

std::map<int32_t, HWND> gWindows;  // ids of the other windows

// (0, 1): the main window. A title with selector 0 names one of the host's
// windows by its title; the main window is the only one known here.
ApiRegistration systemWindow(api::SystemWindow, [](Host& h, HostCallRecord& r) {
    const auto selector = static_cast<int32_t>(r.arg2);
    int32_t id = 0;
    if (r.arg1 == 0 && selector == 1) {
        mainWindow(h);
        id = kMainWindowId;
    } else if (r.arg1 != 0 && selector == 0 && gMain) {
        char title[256] = {};
        GetWindowTextA(gMain, title, sizeof title);
        if (h.cstring(r.arg1) == title) id = kMainWindowId;
    }
    r.arg1 = static_cast<word_t>(id);
});

ApiRegistration windowHwnd(api::WindowHwnd, [](Host&, HostCallRecord& r) {
    r.arg1 = reinterpret_cast<word_t>(windowOf(static_cast<int32_t>(r.arg1)));
});

}  // namespace

int32_t windowId(HWND window) {
    if (!window) return 0;
    if (window == gMain) return kMainWindowId;
    for (auto& [id, w] : gWindows)
        if (w == window) return id;
    const int32_t id = gWindows.empty() ? kMainWindowId + 1 : gWindows.rbegin()->first + 1;
    gWindows[id] = window;
    return id;
}

HWND windowOf(int32_t id) {
    if (id == kMainWindowId) return gMain;
    auto it = gWindows.find(id);
    return it == gWindows.end() ? nullptr : it->second;
}

void forgetWindow(HWND window) {
    std::erase_if(gWindows, [&](const auto& entry) { return entry.second == window; });
}

HWND mainWindow(Host& host) {
    if (gMain) return gMain;
    registerClass();
    gMain = CreateWindowExA(0, kClassName, "Kavro host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                            480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    host.cleanups.push_back([] {
        if (gMain) DestroyWindow(gMain);
        gMain = nullptr;
        gWindows.clear();
    });
    return gMain;
}

}  // namespace hostemu

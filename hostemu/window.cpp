// The host's windows: HostWindowCheck (42), HostTopWindow (45),
// HostWindowText (47), HostWindowHwnd (112) and HostSystemWindow (113).
#include "hostemu/window.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
#include <utility>

#include "hostemu/host.h"

namespace hostemu {

namespace {

constexpr const char* kClassName = "KavroHostMain";
constexpr const char* kMainTitle = "Kavro host";

struct Window {
    HWND hwnd = nullptr;
    std::string title;
    bool owned = true;  // opened by the host, destroyed with it
};

struct Windows {
    Host* owner = nullptr;
    std::map<int32_t, Window> byId;
    std::vector<int32_t> order;  // top first; the main window stays last
    int32_t nextId = kMainWindowId + 1;
};

Windows gWindows;

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

HWND createHidden(const std::string& title) {
    registerClass();
    return CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

Windows& windows(Host& h) {
    if (gWindows.owner != &h) {
        gWindows = Windows{};
        gWindows.owner = &h;
        h.cleanups.push_back([] {
            for (auto& [id, w] : gWindows.byId)
                if (w.hwnd && w.owned) DestroyWindow(w.hwnd);
            gWindows = Windows{};
        });
    }
    return gWindows;
}

const Window* find(int32_t id) {
    auto it = gWindows.byId.find(id);
    return it == gWindows.byId.end() ? nullptr : &it->second;
}

int32_t byTitle(const std::string& title) {
    for (int32_t id : gWindows.order)
        if (upper(find(id)->title) == upper(title)) return id;
    return 0;
}

int32_t top(Host& h, int32_t which) {
    mainWindow(h);
    const auto& order = windows(h).order;
    const size_t k = which == 0 ? 0 : 1;
    return k < order.size() ? order[k] : 0;
}

// (title or 0, selector) -> window id
ApiRegistration systemWindow(api::SystemWindow, [](Host& h, HostCallRecord& r) {
    const auto selector = static_cast<int32_t>(r.arg2);
    int32_t id = 0;
    windows(h);
    if (r.arg1 == 0 && selector == 1) {
        mainWindow(h);
        id = kMainWindowId;
    } else if (r.arg1 != 0 && selector == 0) {
        id = byTitle(h.cstring(r.arg1));
    }
    r.arg1 = static_cast<word_t>(id);
});

// (0 or 1) -> window id
ApiRegistration topWindow(api::TopWindow, [](Host& h, HostCallRecord& r) {
    r.arg1 = static_cast<word_t>(top(h, static_cast<int32_t>(r.arg1)));
});

// (id, 5, 1) -> non-zero for a live window
ApiRegistration windowCheck(api::WindowCheck, [](Host& h, HostCallRecord& r) {
    windows(h);
    r.arg1 = find(static_cast<int32_t>(r.arg1)) ? 1 : 0;
});

// (id, buffer, 3): the title, at most 127 bytes and a terminator
ApiRegistration windowText(api::WindowText, [](Host& h, HostCallRecord& r) {
    windows(h);
    auto* out = reinterpret_cast<char*>(r.arg2);
    const Window* w = find(static_cast<int32_t>(r.arg1));
    const std::string title = w ? w->title : std::string();
    const size_t n = std::min(title.size(), kMaxTitleText);
    std::memcpy(out, title.data(), n);
    out[n] = 0;
});

ApiRegistration windowHwnd(api::WindowHwnd, [](Host& h, HostCallRecord& r) {
    windows(h);
    r.arg1 = reinterpret_cast<word_t>(windowHandle(static_cast<int32_t>(r.arg1)));
});

}  // namespace

HWND mainWindow(Host& host) {
    Windows& ws = windows(host);
    if (const Window* w = find(kMainWindowId)) return w->hwnd;
    ws.byId[kMainWindowId] = Window{createHidden(kMainTitle), kMainTitle};
    ws.order.push_back(kMainWindowId);
    return ws.byId[kMainWindowId].hwnd;
}

int32_t openWindow(Host& host, const std::string& title) {
    mainWindow(host);
    Windows& ws = windows(host);
    const int32_t id = ws.nextId++;
    ws.byId[id] = Window{createHidden(title), title};
    ws.order.insert(ws.order.begin(), id);
    return id;
}

void closeWindow(int32_t id) {
    auto it = gWindows.byId.find(id);
    if (id == kMainWindowId || it == gWindows.byId.end()) return;
    if (it->second.hwnd) DestroyWindow(it->second.hwnd);
    gWindows.byId.erase(it);
    gWindows.order.erase(std::remove(gWindows.order.begin(), gWindows.order.end(), id), gWindows.order.end());
}

bool windowExists(int32_t id) { return find(id) != nullptr; }

std::string windowTitle(int32_t id) {
    const Window* w = find(id);
    return w ? w->title : std::string();
}

void setWindowTitle(int32_t id, const std::string& title) {
    auto it = gWindows.byId.find(id);
    if (it == gWindows.byId.end()) return;
    it->second.title = title;
    SetWindowTextA(it->second.hwnd, title.c_str());
}

HWND windowHandle(int32_t id) {
    const Window* w = find(id);
    return w ? w->hwnd : nullptr;
}

void raiseWindow(int32_t id) {
    if (id == kMainWindowId || !find(id)) return;
    auto& order = gWindows.order;
    order.erase(std::remove(order.begin(), order.end(), id), order.end());
    order.insert(order.begin(), id);
}

std::vector<int32_t> windowOrder() { return gWindows.order; }

int32_t windowId(HWND window) {
    if (!window) return 0;
    for (auto& [id, w] : gWindows.byId)
        if (w.hwnd == window) return id;
    const int32_t id = gWindows.nextId++;
    gWindows.byId[id] = Window{window, "", false};
    return id;
}

HWND windowOf(int32_t id) { return windowHandle(id); }

void forgetWindow(HWND window) {
    std::erase_if(gWindows.byId, [&](const auto& entry) { return !entry.second.owned && entry.second.hwnd == window; });
}

// ---- another party's subclass ----

namespace {
// Each subclass has a procedure of its own (a slot), so that several may
// stand on one window; a slot stays taken while a chain may run through it.
struct Foreign {
    HWND window = nullptr;
    WNDPROC previous = nullptr;
    int messages = 0;
    bool owned = false;  // a ForeignSubclass object stands for it
};
constexpr int kForeignSlots = 8;
Foreign gForeign[kForeignSlots];

template <int N>
LRESULT CALLBACK foreignProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    Foreign& f = gForeign[N];
    ++f.messages;
    const WNDPROC previous = f.previous;
    if (msg == WM_NCDESTROY && !f.owned) f = Foreign{};  // the window goes: the slot is free
    return previous ? CallWindowProcA(previous, w, msg, wp, lp) : DefWindowProcA(w, msg, wp, lp);
}
template <int... N>
constexpr WNDPROC foreignProcAt(int k, std::integer_sequence<int, N...>) {
    constexpr WNDPROC procs[] = {&foreignProc<N>...};
    return procs[k];
}
WNDPROC foreignProcOf(int k) { return foreignProcAt(k, std::make_integer_sequence<int, kForeignSlots>{}); }
// A window procedure as the word SetWindowLongPtrA keeps.
LONG_PTR procWord(WNDPROC p) { return reinterpret_cast<LONG_PTR>(p); }
}  // namespace

ForeignSubclass::ForeignSubclass(HWND window) : window_(window) {
    for (int k = 0; k < kForeignSlots; ++k) {
        if (gForeign[k].window) continue;
        slot_ = k;
        gForeign[k] = Foreign{window, nullptr, 0, true};
        gForeign[k].previous =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, procWord(foreignProcOf(k))));
        return;
    }
    throw std::runtime_error("too many foreign subclasses at once");
}

ForeignSubclass::~ForeignSubclass() {
    Foreign& f = gForeign[slot_];
    f.owned = false;
    if (!IsWindow(window_)) {
        f = Foreign{};
    } else if (inFront()) {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, procWord(f.previous));
        f = Foreign{};
    }  // else it stays in the chain, passing messages on, until the window goes
}

int ForeignSubclass::messages() const { return gForeign[slot_].messages; }

bool ForeignSubclass::inFront() const {
    return GetWindowLongPtrA(window_, GWLP_WNDPROC) == procWord(foreignProcOf(slot_));
}

}  // namespace hostemu

// The host's windows: the main window, a real hidden Win32 window created the
// first time the library asks for it, and further host windows (editor
// windows and plain ones), each a real hidden Win32 window with a title, known
// to the library by the host's window ids.
//
// The windows keep an order from top to bottom: a new window opens on top,
// `raiseWindow` brings one to the top, and the main window is always the
// lowest. HostTopWindow (45) answers the top window for 0 and the one below
// it for 1 (0 when there is none). HostSystemWindow (113) finds a window by
// its title (case-insensitive; the topmost of equal titles) with selector 0,
// and gives the main window for (0, 1). HostWindowCheck (42) is non-zero for
// a live window id; HostWindowText (47) writes its title, cut to 127 bytes and
// a terminator. HostWindowHwnd (112) gives the Win32 handle.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hostemu {

class Host;

constexpr int32_t kMainWindowId = 1;
// The longest title HostWindowText writes (a terminator follows).
constexpr size_t kMaxTitleText = 127;

// The main window of `host`, created when needed; destroyed with the host.
HWND mainWindow(Host& host);

// A new host window with this title, on top of the others; its id (2, 3...).
int32_t openWindow(Host& host, const std::string& title);
// Closes a window other than the main one.
void closeWindow(int32_t id);
bool windowExists(int32_t id);
std::string windowTitle(int32_t id);
void setWindowTitle(int32_t id, const std::string& title);
HWND windowHandle(int32_t id);
// Brings a window to the top.
void raiseWindow(int32_t id);
// The host's windows from top to bottom (the main window last, once it exists).
std::vector<int32_t> windowOrder();

// Windows the host knows by an id without having opened them (the windows of
// host objects): the id of `window`, given on first use; null for an unknown
// id; forgetting one leaves the window itself alone.
int32_t windowId(HWND window);
HWND windowOf(int32_t id);
void forgetWindow(HWND window);

// Another party's subclass of a window, put on top of whatever procedure the
// window has now, as the host's own event binding does: it counts the
// messages it sees and passes each to the procedure it replaced. When it
// goes it takes itself out only where it is still in front; otherwise it
// stays in the chain, passing messages on, as a careful subclasser does.
class ForeignSubclass {
public:
    explicit ForeignSubclass(HWND window);
    ~ForeignSubclass();
    ForeignSubclass(const ForeignSubclass&) = delete;
    ForeignSubclass& operator=(const ForeignSubclass&) = delete;
    int messages() const;
    bool inFront() const;
    HWND window() const { return window_; }

private:
    HWND window_;
    int slot_ = 0;
};

}  // namespace hostemu

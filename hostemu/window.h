// The host's windows: a main window, a real hidden Win32 window created the
// first time the library asks for it, and the ids the host knows its windows by.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>

namespace hostemu {

class Host;

constexpr int32_t kMainWindowId = 1;

// The main window of `host`, created when needed; destroyed with the host.
HWND mainWindow(Host& host);

// Other windows the host knows by an id (the windows of host objects): the
// id of `window`, given on first use; the window of an id, null if none.
int32_t windowId(HWND window);
HWND windowOf(int32_t id);
void forgetWindow(HWND window);

}  // namespace hostemu

// The host's windows: a main window, a real hidden Win32 window created the
// first time the library asks for it, and the ids the host knows its windows by.
#pragma once

#include <windows.h>

#include <cstdint>

namespace hostemu {

class Host;

constexpr int32_t kMainWindowId = 1;

// The main window of `host`, created when needed; destroyed with the host.
HWND mainWindow(Host& host);

}  // namespace hostemu

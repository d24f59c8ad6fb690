// Message boxes the library shows: the host answers them at once, so that no
// call waits on a person, and records what was shown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace hostemu {

struct MessageBoxShown {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

// Every message box the library has shown since the current host loaded it;
// each was answered with IDOK.
const std::vector<MessageBoxShown>& messageBoxes();

}  // namespace hostemu

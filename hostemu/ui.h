// The host's pointer position (HostMousePos, 63) and its own message dialog
// (HostDialog, 82): the position is the real cursor's unless a test sets one;
// every dialog is recorded and answered at once with the choice a test set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hostemu {

struct DialogShown {
    int32_t kind = 0;
    std::optional<std::string> text;      // null when the library passed none
    std::optional<std::string> texts[3];  // the three further texts, null for absent ones
    int32_t defaultButton = 0;
    int32_t escapeButton = 0;
};

// Dialogs shown since the current host loaded the library, in order.
const std::vector<DialogShown>& dialogs();
// The choice every following dialog answers with (0 until set).
void answerDialogs(int32_t choice);

// The position HostMousePos reports from now on; clearMousePosition goes back
// to the real cursor's.
void setMousePosition(int32_t x, int32_t y);
void clearMousePosition();

}  // namespace hostemu

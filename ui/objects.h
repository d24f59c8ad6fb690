// Host objects' windows and properties (O_), the command timer (ONTIME) and
// the system-wide hot key (TP_HOOK).
#pragma once

#include "frame/records.h"

void O_SETPROP(ParamBlock*);
void O_HWND(ParamBlock*);
void O_CHWND(ParamBlock*);
void ONTIME(ParamBlock*);
void TP_HOOK(ParamBlock*);

namespace kv::ui {
inline constexpr FoxEntry kObjectRows[] = {
    {"O_SETPROP", O_SETPROP, 4, "O,C,?,.L"}, {"O_HWND", O_HWND, 1, "O"}, {"O_CHWND", O_CHWND, 1, "O"},
    {"ONTIME", ONTIME, 2, ".I,.C"},          {"TP_HOOK", TP_HOOK, 1, ".L"},
};
}  // namespace kv::ui

// At unload: the timer stops; the keyboard hook goes and its polling routine
// is no longer called.
void StopCommandTimer();
void RemoveKeyboardHook();

// The current state of the Alt, Ctrl and Shift keys, either side or one side.
#pragma once

#include "frame/records.h"

void S_ISALT(ParamBlock*);
void S_ISLALT(ParamBlock*);
void S_ISRALT(ParamBlock*);
void S_ISCTRL(ParamBlock*);
void S_ISLCTRL(ParamBlock*);
void S_ISRCTRL(ParamBlock*);
void S_ISSHIFT(ParamBlock*);
void S_ISLSHIFT(ParamBlock*);
void S_ISRSHIFT(ParamBlock*);

namespace kv::ui {
inline constexpr FoxEntry kKeyRows[] = {
    {"S_ISALT", S_ISALT, 0, ""},     {"S_ISLALT", S_ISLALT, 0, ""},     {"S_ISRALT", S_ISRALT, 0, ""},
    {"S_ISCTRL", S_ISCTRL, 0, ""},   {"S_ISLCTRL", S_ISLCTRL, 0, ""},   {"S_ISRCTRL", S_ISRCTRL, 0, ""},
    {"S_ISSHIFT", S_ISSHIFT, 0, ""}, {"S_ISLSHIFT", S_ISLSHIFT, 0, ""}, {"S_ISRSHIFT", S_ISRSHIFT, 0, ""},
};
}  // namespace kv::ui

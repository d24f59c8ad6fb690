// Shortcut files (shell links), described by the properties of a host object.
#pragma once

#include "frame/records.h"

void SC_READ(ParamBlock*);
void SC_WRITE(ParamBlock*);

namespace kv::shortcut {
inline constexpr FoxEntry kShortcutRows[] = {
    {"SC_READ", SC_READ, 1, "O"},
    {"SC_WRITE", SC_WRITE, 1, "O"},
};
}  // namespace kv::shortcut

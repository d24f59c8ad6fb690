// The host's load and unload of the library.
#pragma once

#include "frame/phase.h"
#include "frame/records.h"

void OnLoad(ParamBlock* pb);
void OnUnload(ParamBlock* pb);

namespace kv::lifecycle {
inline constexpr FoxEntry kLifecycleRows[] = {
    {"", OnLoad, -2, ""},
    {"", OnUnload, -3, ""},
};
}  // namespace kv::lifecycle

// The host's load and unload of the library.
#pragma once

#include "frame/records.h"

void OnLoad(ParamBlock* pb);
void OnUnload(ParamBlock* pb);

namespace kv::lifecycle {
inline constexpr FoxEntry kRows[] = {
    {"", OnLoad, -2, ""},
    {"", OnUnload, -3, ""},
};

enum class Phase { Loaded, Unloading, Unloaded };
Phase phase();

// Functions that hand Windows or the host a callback of the library's refuse
// (901) once the unload has begun: nothing may be left pointing into it.
void refuseWhileUnloading();

// Whether the host has refused a call during this unload: it is asked
// nothing more until the next load.
bool hostRefused();

// Something outside the library (another window procedure's chain, a host
// routine that could not be taken back) still points into it: the library
// stays mapped for the rest of the process, so that what points there keeps
// reaching code that does nothing but pass on.
void keepMapped();
}  // namespace kv::lifecycle

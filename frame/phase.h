// Where the library stands between its load and its unload. The unload order
// itself lives in the composition root (library/lifecycle.cpp); the families
// only ask where it stands, and refuse what must not start during it.
#pragma once

namespace kv::lifecycle {

enum class Phase { Loaded, Unloading, Unloaded };
Phase phase();
// Set by the load and the unload only.
void setPhase(Phase p);

// Functions that hand Windows or the host a callback of the library's refuse
// (901) once the unload has begun: nothing may be left pointing into it.
void refuseWhileUnloading();

// Whether the host has refused a call during this unload: it is asked
// nothing more until the next load.
bool hostRefused();
// Set by the unload when the host refuses one of its calls, cleared by the load.
void setHostRefused(bool refused);

// Something outside the library (another window procedure's chain, a host
// routine that could not be taken back) still points into it: the library
// stays mapped for the rest of the process, so that what points there keeps
// reaching code that does nothing but pass on.
void keepMapped();

}  // namespace kv::lifecycle

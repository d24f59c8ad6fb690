// Load and unload: each family that keeps state sets it up and tears it down
// from here, in a fixed order.
#include "frame/lifecycle.h"

void OnLoad(ParamBlock*) {}

void OnUnload(ParamBlock*) {}

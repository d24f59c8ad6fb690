#include "frame/phase.h"

#include <windows.h>

#include "frame/kavro.h"
#include "frame/trace.h"

namespace {

kv::lifecycle::Phase gPhase = kv::lifecycle::Phase::Loaded;
bool gHostRefused = false;
bool gPinned = false;
const char kInsideLibrary = 0;  // an address inside the library's image

}  // namespace

namespace kv::lifecycle {

Phase phase() { return gPhase; }

void setPhase(Phase p) { gPhase = p; }

void refuseWhileUnloading() {
    if (gPhase != Phase::Loaded) fail(err::BadArgument);
}

bool hostRefused() { return gHostRefused; }

void setHostRefused(bool refused) { gHostRefused = refused; }

void keepMapped() {
    if (gPinned) return;
    HMODULE self = nullptr;
    gPinned = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                 &kInsideLibrary, &self) != 0;
    DebugTrace("the library stays mapped: something outside still points into it");
}

}  // namespace kv::lifecycle

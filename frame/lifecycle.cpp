// Load and unload: each family that keeps state sets it up and tears it down
// from here, in a fixed order. A step runs only for a family the library has.
#include "frame/lifecycle.h"

#include "bits/bitmap.h"
#include "calendar/calendar.h"
#include "frame/shared.h"
#include "frame/state.h"
#include "text/translate.h"

void OnLoad(ParamBlock*) {
    shared::increment(shared::LoadCount);
    shared::countLoad();
    TakeMainWindow();
    BuildCaseTables();
    ResetTranslation();  // translation tables back to the identity
    LoadDefaultFirstDayOfWeek();
}

void OnUnload(ParamBlock*) {
    shared::decrement(shared::LoadCount);
    shared::countUnload();
    // (worker thread: stop)
    FreeAllBitMaps();  // every bit map's memory goes back to the host
    // (command timer: stop)
    // (bulk file runs: wait for them)
    // (hooked windows and tray icon: give back)
    // (keyboard hook: remove)
    // (forced-quit watcher: stop)
}

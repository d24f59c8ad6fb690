// Load and unload: each family that keeps state sets it up and tears it down
// from here, in a fixed order. A step runs only for a family the library has.
#include "frame/lifecycle.h"

#include "bits/bitmap.h"
#include "calendar/calendar.h"
#include "frame/shared.h"
#include "frame/state.h"
#include "system/disks.h"
#include "system/quit.h"
#include "text/translate.h"

void OnLoad(ParamBlock*) {
    shared::increment(shared::LoadCount);
    TakeMainWindow();
    BuildCaseTables();
    ResetTranslation();  // translation tables back to the identity
    LoadDefaultFirstDayOfWeek();
}

void OnUnload(ParamBlock*) {
    shared::decrement(shared::LoadCount);
    // (worker thread: stop)
    FreeAllBitMaps();  // every bit map's memory goes back to the host
    // (command timer: stop)
    WaitForFileWorkers();  // bulk file runs finish first
    // (hooked windows and tray icon: give back)
    // (keyboard hook: remove)
    StopQuitWatcher();  // the forced-quit watcher ends before the library goes
}

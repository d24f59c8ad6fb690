// Load and unload: each family that keeps state sets it up and tears it down
// from here, in a fixed order. A step runs only for a family the library has.
#include "frame/lifecycle.h"

#include "bits/bitmap.h"
#include "calendar/calendar.h"
#include "frame/shared.h"
#include "frame/state.h"
#include "frame/worker.h"
#include "system/disks.h"
#include "system/quit.h"
#include "text/translate.h"
#include "ui/hooks.h"
#include "ui/objects.h"

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
    StopWorker();      // the worker thread ends, or is left to end on its own
    FreeAllBitMaps();  // every bit map's memory goes back to the host
    StopCommandTimer();  // no command runs any more
    WaitForFileWorkers();  // bulk file runs finish first
    ReleaseHookedWindows();  // hooked windows and the tray window run their class procedures again
    ReleaseTray();           // and the tray icon goes
    RemoveKeyboardHook();  // with its polling routine
    StopQuitWatcher();  // the forced-quit watcher ends before the library goes
}

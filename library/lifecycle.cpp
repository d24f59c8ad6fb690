// Load and unload: each family that keeps state sets it up and tears it down
// from here, in a fixed order. A step runs only for a family the library has.
#include "library/lifecycle.h"

#include <windows.h>

#include <cstdio>

#include "bits/bitmap.h"
#include "calendar/calendar.h"
#include "frame/kavro.h"
#include "frame/phase.h"
#include "frame/shared.h"
#include "frame/state.h"
#include "frame/trace.h"
#include "frame/unwind.h"
#include "system/disks.h"
#include "system/quit.h"
#include "text/translate.h"
#include "ui/hooks.h"
#include "ui/objects.h"
#include "worker/worker.h"

namespace {

// One unload step. A step that fails (the host refused one of its calls, or
// raised an error into it) is traced, and the next step runs all the same.
void step(const char* name, void (*run)()) {
    try {
        run();
        return;
    } catch (const kv::Unwind&) {
        kv::lifecycle::setHostRefused(true);
    } catch (...) {
    }
    char line[96];
    std::snprintf(line, sizeof line, "unload step failed: %s", name);
    DebugTrace(line);
}

// The host's wait paces the loop; a host that has refused a call already is
// not asked again, and a run still going holds the library mapped itself.
void waitForFileRuns() {
    if (!kv::lifecycle::hostRefused()) WaitForFileWorkers();
}

// What the steps above may have left behind, or what a call made during the
// unload's wait managed to install, goes last.
void removeWhatIsLeft() {
    if (!kv::lifecycle::hostRefused()) FreeAllBitMaps();  // a map made while the host ran events in the wait
    StopCommandTimer();
    ReleaseHookedWindows();
    ReleaseTray();
    RemoveKeyboardHook();
}

}  // namespace

void OnLoad(ParamBlock*) {
    kv::lifecycle::setPhase(kv::lifecycle::Phase::Loaded);
    kv::lifecycle::setHostRefused(false);
    shared::increment(shared::LoadCount);
    shared::countLoad();
    TakeMainWindow();
    BuildCaseTables();
    ResetTranslation();  // translation tables back to the identity
    LoadDefaultFirstDayOfWeek();
}

void OnUnload(ParamBlock*) {
    kv::lifecycle::setPhase(kv::lifecycle::Phase::Unloading);  // nothing new is installed from here on
    shared::decrement(shared::LoadCount);
    shared::countUnload();
    step("worker", StopWorker);                    // the worker thread ends, or is left to end on its own
    step("bit maps", FreeAllBitMaps);              // every bit map's memory goes back to the host
    step("timer", StopCommandTimer);               // no command runs any more
    step("file runs", waitForFileRuns);            // bulk file runs finish first
    step("hooked windows", ReleaseHookedWindows);  // hooked windows and the tray window: their class procedures
    step("tray", ReleaseTray);                     // and the tray icon goes
    step("keyboard hook", RemoveKeyboardHook);     // with its polling routine
    step("quit watcher", StopQuitWatcher);         // the forced-quit watcher ends before the library goes
    step("what is left", removeWhatIsLeft);
    kv::lifecycle::setPhase(kv::lifecycle::Phase::Unloaded);
}

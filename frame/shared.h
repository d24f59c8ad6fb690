// SharedData: seven 32-bit slots that every process with the library loaded
// sees alike (a shared, writable section of the library's image). All zero
// when the first process maps the library.
#pragma once

#include <cstdint>

extern volatile int32_t SharedData[7];

namespace shared {
enum Slot : int {
    QuitFirst = 0,  // slots 0 to 2: the forced-quit watcher's values
    LoadCount = 3,  // loads not yet matched by an unload, across all processes
    HookHandle = 4,  // the keyboard hook
    HotKeyFlag = 5,  // the keyboard hook's hot-key flag
};

// Interlocked changes and reads of one slot: other processes change it too.
int32_t increment(Slot slot);
int32_t decrement(Slot slot);
int32_t read(Slot slot);
int32_t exchange(Slot slot, int32_t value);  // the value before
bool replace(Slot slot, int32_t from, int32_t to);  // to, where the slot held from

// Loads by process, in the same shared section: a process that ends without
// unloading (it crashed, or was killed) leaves its loads behind there, and
// only the loads of processes still running are counted.
void countLoad();
void countUnload();
int32_t liveLoads();

// The process that installed the keyboard hook, in the same section: only
// it removes the hook. One that ended without removing it left a handle
// Windows has already taken back; the first process to notice clears the
// hook's slots.
void claimHook();
bool hookInstalledHere();
void releaseHook();        // the hook's slots and its installer cleared
void clearAbandonedHook();  // the same, when the installer has ended
}  // namespace shared

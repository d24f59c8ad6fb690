#include "frame/shared.h"

#include <windows.h>

#include "frame/own.h"

static_assert(sizeof(LONG) == sizeof(int32_t));

// Fully initialised, as a shared section must be: zeros in the image.
volatile int32_t SharedData[7] __attribute__((section(".kvshare"), shared)) = {0, 0, 0, 0, 0, 0, 0};

namespace {

// One row a process with the library loaded: its id, a stamp of its start
// (an id can be reused once its process has ended), and its loads not yet
// matched by an unload. A row is claimed by writing the id into a free one
// (0), and given back by the process itself at its last unload or by anyone
// who finds its process gone (the id is -1 while it is being cleared).
constexpr int kProcessRows = 64;
struct ProcessRow {
    int32_t process;
    int32_t stamp;
    int32_t loads;
};
struct LoadTable {
    ProcessRow rows[kProcessRows];
    int32_t unrowed;  // loads of processes that found every row taken: counted as they are
};
volatile LoadTable SharedLoads __attribute__((section(".kvshare"), shared)) = {};

// The keyboard hook's installer: its process id and start stamp, 0 for none.
struct Installer {
    int32_t process;
    int32_t stamp;
};
volatile Installer SharedHookInstaller __attribute__((section(".kvshare"), shared)) = {};

constexpr int32_t kClearing = -1;

volatile LONG* word(volatile int32_t& v) { return reinterpret_cast<volatile LONG*>(&v); }
int32_t readWord(volatile int32_t& v) { return InterlockedCompareExchange(word(v), 0, 0); }
void writeWord(volatile int32_t& v, int32_t x) { InterlockedExchange(word(v), x); }
bool swapWord(volatile int32_t& v, int32_t from, int32_t to) {
    return InterlockedCompareExchange(word(v), to, from) == from;
}

// A process's start time, never 0 (0 is a row not yet stamped).
int32_t startStamp(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 1;
    return static_cast<int32_t>(created.dwLowDateTime | 1);
}

int32_t thisProcess() { return static_cast<int32_t>(GetCurrentProcessId()); }

volatile ProcessRow* ownRow() {
    const int32_t me = thisProcess();
    for (volatile ProcessRow& r : SharedLoads.rows)
        if (readWord(r.process) == me) return &r;
    return nullptr;
}

// Whether the process of a row still runs. One that cannot be opened for
// lack of rights runs; one whose start differs from the stamp is another
// process that was given the same id.
bool running(int32_t process, int32_t stamp) {
    const kv::OwnHandle h(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, static_cast<DWORD>(process)));
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
    if (WaitForSingleObject(h.get(), 0) != WAIT_TIMEOUT) return false;
    return stamp == 0 || startStamp(h.get()) == stamp;
}

void clearRow(volatile ProcessRow& r, int32_t process) {
    if (!swapWord(r.process, process, kClearing)) return;  // someone else cleared it first
    writeWord(r.loads, 0);
    writeWord(r.stamp, 0);
    writeWord(r.process, 0);
}

}  // namespace

namespace shared {

int32_t increment(Slot slot) { return InterlockedIncrement(word(SharedData[slot])); }
int32_t decrement(Slot slot) { return InterlockedDecrement(word(SharedData[slot])); }
int32_t read(Slot slot) { return readWord(SharedData[slot]); }
int32_t exchange(Slot slot, int32_t value) { return InterlockedExchange(word(SharedData[slot]), value); }
bool replace(Slot slot, int32_t from, int32_t to) { return swapWord(SharedData[slot], from, to); }

void countLoad() {
    volatile ProcessRow* row = ownRow();
    if (!row) {
        for (volatile ProcessRow& r : SharedLoads.rows) {
            if (!swapWord(r.process, 0, thisProcess())) continue;
            writeWord(r.loads, 0);
            writeWord(r.stamp, startStamp(GetCurrentProcess()));
            row = &r;
            break;
        }
    }
    if (row) InterlockedIncrement(word(row->loads));
    else InterlockedIncrement(word(SharedLoads.unrowed));
}

void countUnload() {
    volatile ProcessRow* row = ownRow();
    if (!row) {
        if (readWord(SharedLoads.unrowed) > 0) InterlockedDecrement(word(SharedLoads.unrowed));
        return;
    }
    if (InterlockedDecrement(word(row->loads)) <= 0) clearRow(*row, thisProcess());
}

int32_t liveLoads() {
    const int32_t me = thisProcess();
    int32_t total = readWord(SharedLoads.unrowed);
    for (volatile ProcessRow& r : SharedLoads.rows) {
        const int32_t process = readWord(r.process);
        if (process == 0 || process == kClearing) continue;
        if (process != me && !running(process, readWord(r.stamp))) {
            clearRow(r, process);
            continue;
        }
        total += readWord(r.loads);
    }
    return total;
}

void claimHook() {
    writeWord(SharedHookInstaller.stamp, startStamp(GetCurrentProcess()));
    writeWord(SharedHookInstaller.process, thisProcess());
}

bool hookInstalledHere() { return readWord(SharedHookInstaller.process) == thisProcess(); }

void releaseHook() {
    writeWord(SharedData[HookHandle], 0);
    writeWord(SharedData[HotKeyFlag], 0);
    writeWord(SharedHookInstaller.stamp, 0);
    writeWord(SharedHookInstaller.process, 0);
}

void clearAbandonedHook() {
    const int32_t installer = readWord(SharedHookInstaller.process);
    if (installer == 0 || installer == kClearing || installer == thisProcess()) return;
    if (running(installer, readWord(SharedHookInstaller.stamp))) return;
    if (swapWord(SharedHookInstaller.process, installer, kClearing)) releaseHook();
}
}  // namespace shared

// The resource ledger: what the loaded library holds of the system's objects.
//
// Wine answers 0 for GetProcessHandleCount and GetGuiResources, so the host
// keeps the account itself. Right after loading the library it points the
// library's imports that make and end such objects at typed pass-throughs
// that call the real function and write down what it made or ended:
// threads, kernel handles (events, files, mappings, processes...), find
// handles, windows, menus, hooks, timers, window procedures the library puts
// in front of a window's, references on modules, local and global memory,
// COM apartments and COM objects. The statically linked runtime goes through
// the same imports, so its threads and handles are counted too.
//
// Once the library is unloaded, everything it made must have ended: a
// thread still running, a handle not closed, a window procedure of the
// unmapped library still in a window's chain, memory not freed... is a
// violation, except the few long-lived objects the library documents
// (longLived() lists them with their reasons).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hostemu {

class Host;

struct Holding {
    std::string kind;   // "thread", "event", "file", "find handle", "window", "menu", "hook", "timer",
                        // "window procedure", "module reference", "local memory", "global memory",
                        // "COM apartment", "COM object", or "handle" for other kernel objects
    uintptr_t id = 0;   // the handle, address or thread id it goes by
    std::string by;     // the import that made it
    int count = 1;      // references, for modules, apartments and COM objects
};

// What the library holds now; objects that ended without the library's
// help (a window destroyed with its parent, a timer with its window or
// thread, a thread's apartment with the thread) are left out.
std::vector<Holding> ledger();
// One line per holding, for messages.
std::string describe(const Holding& h);

// The long-lived objects a library may keep after its unload: the kind, how
// each is recognised, and why it lives so long.
struct LongLived {
    const char* kind;
    const char* what;
    const char* why;
};
const std::vector<LongLived>& longLived();

// Takes a holding off the ledger: what the library handed a script (a block
// of M_ALLOC) and the test then freed itself.
void ledgerForget(uintptr_t id);
// Frees a global block the library handed out and takes it off the ledger.
void freeLibraryBlock(HGLOBAL block);

// For the host: the library's imports are patched on load (`library`), the
// host's own release of a handle block is booked (`hostFreed`), and after the
// unload every holding left is checked (`checkLedger`), then forgotten.
void patchLedger(Host& host, HMODULE library);
void hostFreed(HGLOBAL block);
// A global block the library's GlobalAlloc (before 0) or GlobalReAlloc made.
void bookGlobal(HGLOBAL now, HGLOBAL before, SIZE_T size, const char* by);
void checkLedger(Host& host);
// Forgets every holding unchecked: for an unload that a test means some of
// the library's threads to outlive (each holds the library mapped and ends
// on its own; the test watches for that itself).
void forgetLedger();

}  // namespace hostemu

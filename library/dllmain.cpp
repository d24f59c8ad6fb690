// The DLL entry: runs under the loader lock, so it only looks at its own
// file name, records its module and writes a trace line.
#include <windows.h>

#include <cstdio>

#include "frame/diagnostics.h"
#include "frame/state.h"
#include "frame/trace.h"

namespace {
const char* reasonText(DWORD reason) {
    switch (reason) {
        case DLL_PROCESS_DETACH: return "PD";
        case DLL_PROCESS_ATTACH: return "PA";
        case DLL_THREAD_ATTACH: return "TA";
        case DLL_THREAD_DETACH: return "TD";
        default: return "?";
    }
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    char path[300];
    const DWORD n = GetModuleFileNameA(module, path, sizeof path);
    if (n < sizeof path && kv::isCompanionFileName(path, n)) CompanionMode = 1;
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(module);
        ModuleHandle = module;
    }
    const BOOL result = TRUE;
    char line[128];
    std::snprintf(line, sizeof line, "DllMain(H=%llu R=%s P=%llu)=%u",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(module)), reasonText(reason),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(reserved)),
                  static_cast<unsigned>(result));
    DebugTrace(line);
    return result;
}

#include "library/info.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "frame/kavro.h"
#include "frame/shared.h"
#include "frame/state.h"

namespace {

// The file version of the library's own version resource, "a.b.c.d"; false
// when the resource cannot be read.
bool ownFileVersion(char* out, size_t size) {
    auto* module = static_cast<HMODULE>(ModuleHandle);
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));  // RT_VERSION
    if (!res) return false;
    HGLOBAL loaded = LoadResource(module, res);
    const auto* data = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD length = SizeofResource(module, res);
    if (!data) return false;
    // The fixed part starts with its signature on a 32-bit boundary.
    for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= length; at += 4) {
        VS_FIXEDFILEINFO info;
        std::memcpy(&info, data + at, sizeof info);
        if (info.dwSignature != 0xFEEF04BD) continue;
        std::snprintf(out, size, "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(info.dwFileVersionMS)),
                      static_cast<unsigned>(LOWORD(info.dwFileVersionMS)),
                      static_cast<unsigned>(HIWORD(info.dwFileVersionLS)),
                      static_cast<unsigned>(LOWORD(info.dwFileVersionLS)));
        return true;
    }
    return false;
}

}  // namespace

void KAVRO_MODE(ParamBlock*) { HostRetLogical(CompanionMode); }

// Loads across all processes, leaving out those of processes that ended
// without unloading.
void KAVRO_COUNT(ParamBlock*) { HostRetInt(shared::liveLoads(), 10); }

void KAVRO_VER(ParamBlock*) {
    MessageBoxA(nullptr, "See Version tab in file Properties dialog", "Kavro", MB_ICONINFORMATION | MB_OK);
    char version[64];
    char text[160];
    if (ownFileVersion(version, sizeof version))
        std::snprintf(text, sizeof text, "Kavro VFP API library %s, copyright (c) 2026 the Kavro developers",
                      version);
    else
        std::snprintf(text, sizeof text, "Kavro VFP API library, copyright (c) 2026 the Kavro developers");
    HostRetString(text);
}

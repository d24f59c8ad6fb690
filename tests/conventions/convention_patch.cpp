// Compiled twice by the i686 build (cmake/expect-compile-error.cmake): once
// as it stands, which must compile, and once with KAVRO_WRONG_CONVENTION,
// which must not. A stand-in of the default (cdecl) convention for a stdcall
// Windows function would leave the library's stack off by the arguments' size
// on every call; the typed import patch refuses it at compile time. (A captureless
// lambda converts to just such a cdecl pointer, so it is refused the same way.)
#include "hostemu/iat.h"

#ifdef KAVRO_WRONG_CONVENTION
UINT windowsDirectory(LPSTR buffer, UINT size) { return 0; }
#else
UINT WINAPI windowsDirectory(LPSTR buffer, UINT size) { return 0; }
#endif

void patchWindowsDirectory(HMODULE module) {
    HOSTEMU_PATCH(patch, module, "kernel32.dll", GetWindowsDirectoryA, &windowsDirectory);
}

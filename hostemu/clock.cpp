// The emulated host never lets the library set the computer's clock: its
// SetLocalTime is refused as a process without the privilege would see it.
// Tests that want to see the request patch the import over this one. Its
// fake clock for the library's tick count and timed waits is in clock.h.
#include "hostemu/host.h"
#include "hostemu/iat.h"

namespace hostemu {

namespace {

BOOL WINAPI refuseSetLocalTime(const SYSTEMTIME*) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
}

LoadRegistration patch([](Host&, HMODULE library) {
    patchImport<decltype(&::SetLocalTime)>(library, "kernel32.dll", "SetLocalTime", &refuseSetLocalTime);
});

}  // namespace

}  // namespace hostemu

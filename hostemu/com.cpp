// The script thread's COM apartment. The host initialises COM on the thread
// that runs scripts before it loads an API library, so that the library may
// create in-process objects (the shell link) without initialising COM itself;
// it uninitialises it when it goes away, once the library is unloaded.
#include <objbase.h>
#include <windows.h>

#include "hostemu/host.h"

namespace hostemu {
namespace {

LoadRegistration apartment([](Host& host, HMODULE) {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr == S_OK || hr == S_FALSE) host.cleanups.push_back([] { CoUninitialize(); });  // each success is balanced
});

}  // namespace
}  // namespace hostemu

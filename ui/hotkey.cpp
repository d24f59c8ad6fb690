// TP_HOOK: a keyboard hook on the whole desktop. Ctrl+Alt+R, pressed in any
// program, copies that program's selection to the clipboard, brings the
// window titled "Tapiro" to the front and marks the hot key in the data all
// processes share; the host's polling routine then runs "TPHook()".
//
// The hook procedure runs inside whatever process receives the keystroke:
// it touches nothing but Windows and the shared hook handle and flag.
#include <windows.h>

#include "frame/kavro.h"
#include "frame/own.h"
#include "frame/phase.h"
#include "frame/shared.h"
#include "frame/state.h"
#include "ui/callback.h"
#include "ui/objects.h"

using namespace kv;
using namespace kv::ui;

namespace {

constexpr WPARAM kHotKey = 'R';
constexpr int16_t kPollingKind = 1;

int32_t gPollingId = 0;  // the polling routine's id with the host; 0: not registered
bool gPolling = false;   // the polling routine is running

HHOOK hookHandle() { return reinterpret_cast<HHOOK>(static_cast<intptr_t>(shared::read(shared::HookHandle))); }

bool keyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

LRESULT CALLBACK KeyboardProc(int code, WPARAM key, LPARAM flags) {
    HWND active = GetActiveWindow();
    if (key == kHotKey && keyDown(VK_CONTROL) && keyDown(VK_MENU)) {
        if (shared::read(shared::HotKeyFlag)) return 1;  // marked already: swallowed
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        SendMessageA(GetFocus(), WM_COPY, 0, 0);
        SendMessageA(active, WM_COPY, 0, 0);
        shared::exchange(shared::HotKeyFlag, 1);
        if (HWND target = FindWindowA(nullptr, "Tapiro")) SetForegroundWindow(target);
        return 1;
    }
    return CallNextHookEx(hookHandle(), code, key, flags);
}

// Called back by the host from its message loop.
void PollHotKey(ParamBlock*) {
    // A host that kept the routine past the unload reaches a library that runs nothing.
    if (kv::lifecycle::phase() == kv::lifecycle::Phase::Unloaded) return;
    if (gPolling || !shared::read(shared::HotKeyFlag)) return;
    gPolling = true;  // a loop run by TPHook() itself does not run it again
    executeFromCallback("TPHook()");
    shared::exchange(shared::HotKeyFlag, 0);
    gPolling = false;
}

void installHook() {
    if (hookHandle()) return;  // this process's or another's
    // Unless this process claims it first, another process was quicker: its hook serves.
    OwnHook h(SetWindowsHookExA(WH_KEYBOARD, KeyboardProc, static_cast<HINSTANCE>(ModuleHandle), 0));
    if (h && shared::replace(shared::HookHandle, 0, static_cast<int32_t>(reinterpret_cast<intptr_t>(h.get())))) {
        shared::claimHook();
        h.release();  // the shared section holds it from here on
    }
    if (!gPollingId) gPollingId = HostActivateHandler(PollHotKey, kPollingKind);
}

// The polling routine goes back to the host; refused, it stays registered and
// the unload asks again. A host that has refused a call during the unload is
// asked nothing more: it keeps the routine, and the library stays mapped for it.
void deregisterPolling() {
    if (!gPollingId) return;
    if (kv::lifecycle::hostRefused()) {
        gPollingId = 0;
        kv::lifecycle::keepMapped();
        return;
    }
    HostDeactivateHandler(gPollingId);
    gPollingId = 0;
}

// Only the process that installed the hook removes it.
void removeHook() {
    if (shared::hookInstalledHere()) {
        UnhookWindowsHookEx(hookHandle());
        shared::releaseHook();
    }
    deregisterPolling();
}

}  // namespace

void TP_HOOK(ParamBlock* pb) {
    Args a(pb);
    shared::clearAbandonedHook();
    if (a.has(1)) {
        if (a.logical(1)) {
            kv::lifecycle::refuseWhileUnloading();
            installHook();
        } else {
            removeHook();
        }
    }
    retLogical(hookHandle() != nullptr);
}

void RemoveKeyboardHook() { removeHook(); }

// TP_HOOK: a keyboard hook on the whole desktop. Ctrl+Alt+R, pressed in any
// program, copies that program's selection to the clipboard, brings the
// window titled "Tapiro" to the front and marks the hot key in the data all
// processes share; the host's polling routine then runs "TPHook()".
//
// The hook procedure runs inside whatever process receives the keystroke:
// it touches nothing but Windows and the shared hook handle and flag.
#include <windows.h>

#include <utility>

#include "frame/kavro.h"
#include "frame/shared.h"
#include "frame/state.h"
#include "ui/callback.h"
#include "ui/objects.h"

using namespace kv;
using namespace kv::ui;

namespace {

constexpr WPARAM kHotKey = 'R';
constexpr int16_t kPollingKind = 1;

int32_t gPollingId = 0;       // the polling routine's id with the host; 0: not registered
bool gInstalledHere = false;  // this process installed the hook
bool gPolling = false;        // the polling routine is running

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
    if (gPolling || !shared::read(shared::HotKeyFlag)) return;
    gPolling = true;  // a loop run by TPHook() itself does not run it again
    executeFromCallback("TPHook()");
    shared::exchange(shared::HotKeyFlag, 0);
    gPolling = false;
}

void installHook() {
    if (hookHandle()) return;
    HHOOK h = SetWindowsHookExA(WH_KEYBOARD, KeyboardProc, static_cast<HINSTANCE>(ModuleHandle), 0);
    shared::exchange(shared::HookHandle, static_cast<int32_t>(reinterpret_cast<intptr_t>(h)));
    gInstalledHere = h != nullptr;
    if (!gPollingId) gPollingId = HostActivateHandler(PollHotKey, kPollingKind);
}

void removeHook() {
    if (HHOOK h = hookHandle()) {
        UnhookWindowsHookEx(h);
        shared::exchange(shared::HookHandle, 0);
    }
    gInstalledHere = false;
    if (gPollingId) HostDeactivateHandler(std::exchange(gPollingId, 0));
}

}  // namespace

void TP_HOOK(ParamBlock* pb) {
    Args a(pb);
    if (a.has(1)) {
        if (a.logical(1)) installHook();
        else removeHook();
    }
    retLogical(hookHandle() != nullptr);
}

void RemoveKeyboardHook() {
    // A hook another process installed stays: it is that process's to remove.
    if (gInstalledHere) {
        removeHook();
        return;
    }
    if (gPollingId) HostDeactivateHandler(std::exchange(gPollingId, 0));
}

// The tray icon: H_TRAYICON shows, changes and removes an icon in the
// taskbar's notification area whose mouse events, sent to the host's main
// window, run a script procedure.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "frame/kavro.h"
#include "frame/phase.h"
#include "frame/state.h"
#include "ui/callback.h"
#include "ui/hookrules.h"
#include "ui/hooks.h"

using namespace kv;
using namespace kv::ui;

namespace {

constexpr UINT kTrayMessage = 0x806F;
constexpr UINT kTrayIconId = 1;
constexpr size_t kTipMax = 63;

char gTrayProc[kProcNameMax + 1] = {};
bool gIconShown = false;

HWND trayWindow() { return reinterpret_cast<HWND>(MainWindowHandle); }

NOTIFYICONDATAA trayRecord(UINT flags) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;  // the first layout, understood by every shell
    nid.hWnd = trayWindow();
    nid.uID = kTrayIconId;
    nid.uFlags = flags;
    return nid;
}

void removeIcon() {
    if (!gIconShown) return;
    NOTIFYICONDATAA nid = trayRecord(0);
    Shell_NotifyIconA(NIM_DELETE, &nid);
    gIconShown = false;
}

}  // namespace

void H_TRAYICON(ParamBlock* pb) {
    Args a(pb);
    if (a.count() == 0) {
        removeIcon();
        return;
    }
    if (a.count() < 3) fail(err::BadArgument);
    kv::lifecycle::refuseWhileUnloading();
    const Bytes proc = a.bytes(3);
    if (proc.size > kProcNameMax) fail(err::BadArgument);
    std::memcpy(gTrayProc, proc.data, proc.size);
    gTrayProc[proc.size] = 0;

    NOTIFYICONDATAA nid = trayRecord(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    nid.uCallbackMessage = kTrayMessage;
    nid.hIcon = reinterpret_cast<HICON>(static_cast<uintptr_t>(static_cast<uint32_t>(a.integer(1))));
    const Bytes tip = a.bytes(2);
    const size_t n = tip.size < kTipMax ? tip.size : kTipMax;
    std::memcpy(nid.szTip, tip.data, n);
    nid.szTip[n] = 0;
    Shell_NotifyIconA(gIconShown ? NIM_MODIFY : NIM_ADD, &nid);
    subclassWindow(trayWindow());
    gIconShown = true;
}

namespace kv::ui {

// Only once a procedure has been named: before that, and after the unload,
// the message is the tray window's own.
bool isTrayEvent(HWND hwnd, UINT msg) {
    return msg == kTrayMessage && gTrayProc[0] != 0 && hwnd == trayWindow() && hwnd != nullptr;
}

void runTrayEvent(LPARAM lParam) {
    const auto mouse = static_cast<uint32_t>(lParam);
    if (mouse == WM_MOUSEMOVE) return;
    char call[96];
    std::snprintf(call, sizeof call, "%s(%u)", gTrayProc, mouse);
    executeFromCallback(call);
}

}  // namespace kv::ui

void ReleaseTray() {
    gTrayProc[0] = 0;
    if (inChain(trayWindow())) {
        releaseWindow(trayWindow());
        if (inChain(trayWindow())) kv::lifecycle::keepMapped();  // another subclass stands on top
    }
    removeIcon();
}

// Window-procedure hooks (H_) that hand window messages to script procedures,
// and the tray icon whose mouse events go to one.
#pragma once

#include <windows.h>

#include "frame/records.h"

void H_TRAYICON(ParamBlock*);
void H_WNDPROC(ParamBlock*);
void H_DEF(ParamBlock*);
void H_AFTER(ParamBlock*);
void H_RET(ParamBlock*);
void H_HWND(ParamBlock*);
void H_MSG(ParamBlock*);
void H_WP(ParamBlock*);
void H_LP(ParamBlock*);

namespace kv::ui {
inline constexpr FoxEntry kHookRows[] = {
    {"H_TRAYICON", H_TRAYICON, 3, ".I.C.C"}, {"H_WNDPROC", H_WNDPROC, 3, "I.I.C"}, {"H_DEF", H_DEF, 1, ".L"},
    {"H_AFTER", H_AFTER, 1, ".L"},           {"H_RET", H_RET, 1, ".I"},            {"H_HWND", H_HWND, 1, ".I"},
    {"H_MSG", H_MSG, 1, ".I"},               {"H_WP", H_WP, 1, ".I"},              {"H_LP", H_LP, 1, ".I"},
};

// The window procedure installed on every hooked window and on the tray window.
LRESULT CALLBACK HookWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Puts HookWindowProc in the window's chain (once); false when Windows refused.
bool subclassWindow(HWND hwnd);
// The class's own window procedure again where HookWindowProc is outermost.
// Under a procedure that something else set on top of it, HookWindowProc
// stays in the chain and passes every message on to the class's procedure.
void releaseWindow(HWND hwnd);
// Whether HookWindowProc is still in the window's chain.
bool inChain(HWND hwnd);

// Tray events (tray.cpp): whether a message is one, and running its procedure.
bool isTrayEvent(HWND hwnd, UINT msg);
void runTrayEvent(LPARAM lParam);
}  // namespace kv::ui

// At unload: no script is called from a window any more; every hooked window
// and the tray window get their class procedures back where the library's is
// outermost (elsewhere the library stays mapped), and the tray icon goes.
void ReleaseHookedWindows();
void ReleaseTray();

// The Windows and system folders, and adding, removing and preparing font
// resources. Every font change is announced to all top-level windows.
#include <windows.h>

#include "frame/kavro.h"
#include "system/folders.h"

using namespace kv;

namespace {

constexpr UINT kFolderBuffer = 300;

// The folder as the platform gives it; an empty string when the call fails
// or the name would not fit the buffer.
void retFolder(UINT (WINAPI *get)(LPSTR, UINT)) {
    char buffer[kFolderBuffer] = {};
    const UINT n = get(buffer, kFolderBuffer);
    if (n == 0 || n >= kFolderBuffer) buffer[0] = 0;
    HostRetString(buffer);
}

void announceFontChange() { SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); }

}  // namespace

void U_WINDIR(ParamBlock*) { retFolder(GetWindowsDirectoryA); }
void U_WINSDIR(ParamBlock*) { retFolder(GetSystemDirectoryA); }

void U_FONTADD(ParamBlock* pb) {
    Args a(pb);
    const LockedText font = LockedText::required(a, 1);
    const int added = AddFontResourceA(font.get());
    announceFontChange();
    retInt(added, 10);
}

void U_FONTDEL(ParamBlock* pb) {
    Args a(pb);
    const LockedText font = LockedText::required(a, 1);
    const bool removed = RemoveFontResourceA(font.get()) != 0;
    announceFontChange();
    retLogical(removed);
}

// (resource file to create, font file [, current path]); an empty path counts as none.
void U_FONTFOT(ParamBlock* pb) {
    Args a(pb);
    if (a.value(1).length == 0 || a.value(2).length == 0) fail(err::BadArgument);
    const LockedText resource(a, 1), font(a, 2);
    const LockedText path = LockedText::optional(a, 3);
    retLogical(CreateScalableFontResourceA(0, resource.get(), font.get(), path.get()) != 0);
}

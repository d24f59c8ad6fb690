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

// A non-empty character argument, terminated in place and locked for the call.
class FileArg {
public:
    FileArg(Args& a, int i) : handle_(a.value(i).handle) {
        if (a.value(i).length == 0) fail(err::BadArgument);
        name_ = a.cstr(i);
        HostLockHandle(handle_);
    }
    ~FileArg() { HostUnlockHandle(handle_); }
    FileArg(const FileArg&) = delete;
    FileArg& operator=(const FileArg&) = delete;
    const char* name() const { return name_; }

private:
    MemHandle handle_;
    const char* name_;
};

}  // namespace

void U_WINDIR(ParamBlock*) { retFolder(GetWindowsDirectoryA); }
void U_WINSDIR(ParamBlock*) { retFolder(GetSystemDirectoryA); }

void U_FONTADD(ParamBlock* pb) {
    Args a(pb);
    FileArg font(a, 1);
    const int added = AddFontResourceA(font.name());
    announceFontChange();
    retInt(added, 10);
}

void U_FONTDEL(ParamBlock* pb) {
    Args a(pb);
    FileArg font(a, 1);
    const bool removed = RemoveFontResourceA(font.name()) != 0;
    announceFontChange();
    retLogical(removed);
}

// (resource file to create, font file [, current path]); an empty path counts as none.
void U_FONTFOT(ParamBlock* pb) {
    Args a(pb);
    if (a.value(1).length == 0 || a.value(2).length == 0) fail(err::BadArgument);
    FileArg resource(a, 1), font(a, 2);
    const bool withPath = a.count() == 3 && a.value(3).length > 0;
    const char* path = withPath ? a.cstr(3) : nullptr;
    if (withPath) HostLockHandle(a.value(3).handle);
    const bool made = CreateScalableFontResourceA(0, resource.name(), font.name(), path) != 0;
    if (withPath) HostUnlockHandle(a.value(3).handle);
    retLogical(made);
}

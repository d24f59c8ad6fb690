// Shell dialogs and window utilities: thin calls over the host, the shell and
// Win32. Nothing here keeps state beyond one call except the three texts the
// folder browser's callback hands to its dialog while it opens.
#include "ui/dialogs.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <new>
#include <string>

#include "editor/window.h"
#include "frame/kavro.h"
#include "frame/own.h"
#include "frame/state.h"
#include "frame/unwind.h"
#include "ui/propcall.h"

using namespace kv;

namespace {

HWND windowOf(int32_t v) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(v))); }
int32_t handleWord(const void* h) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(h)); }

// The host window that owns the shell's dialogs.
HWND ownerWindow() { return reinterpret_cast<HWND>(HostWindowHwnd(HostTopWindow(0))); }

// An item list the shell handed over goes back to the shell's allocator.
void freeItemList(LPITEMIDLIST list) noexcept {
    ComPtr<IMalloc> allocator;
    if (SUCCEEDED(SHGetMalloc(allocator.put()))) allocator->Free(list);
}
using ShellItemList = Own<kind::Plain<LPITEMIDLIST, freeItemList>>;

// What the folder browser's callback sets on the dialog once it is open.
struct BrowserTexts {
    const char* initialFolder = nullptr;
    const char* caption = nullptr;
    const char* cancelText = nullptr;
} gBrowser;

int CALLBACK browserCallback(HWND dialog, UINT message, LPARAM, LPARAM) {
    if (message != BFFM_INITIALIZED) return 0;
    if (gBrowser.initialFolder && *gBrowser.initialFolder)
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(gBrowser.initialFolder));
    if (gBrowser.caption && *gBrowser.caption) SetWindowTextA(dialog, gBrowser.caption);
    if (gBrowser.cancelText && *gBrowser.cancelText) SetDlgItemTextA(dialog, IDCANCEL, gBrowser.cancelText);
    return 0;
}

// The property enumerator's call-back state: the procedure to call, and
// whether the host raised an error from inside the enumeration.
struct PropertyWalk {
    const char* procedure;
    bool unwound = false;
    bool outOfMemory = false;
};

// Runs inside EnumPropsExA: nothing may unwind through it. A host error is
// noted and the enumeration stopped; the handler raises it again once
// Windows has returned.
BOOL CALLBACK propertyCallback(HWND window, LPSTR name, HANDLE data, ULONG_PTR walkAddress) {
    auto* walk = reinterpret_cast<PropertyWalk*>(walkAddress);
    try {
        const bool atom = (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
        const std::string propertyName =
            atom ? ui::atomPropertyName(static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name))) : std::string(name);
        const std::string call = ui::propertyCall(walk->procedure, static_cast<uint32_t>(handleWord(window)),
                                                  propertyName, reinterpret_cast<uintptr_t>(data));
        OutputDebugStringA(call.c_str());
        OwnedValue result;
        if (HostEvaluate(&result.v, call.c_str()) != 0) return FALSE;
        return result.v.type == 'L' && result.v.length != 0;
    } catch (const Unwind&) {
        walk->unwound = true;
    } catch (const std::bad_alloc&) {
        walk->outOfMemory = true;
    } catch (...) {
        walk->unwound = true;
    }
    return FALSE;
}

constexpr DWORD kAnimationStyle = WS_CHILD | ACS_CENTER | ACS_TRANSPARENT | ACS_AUTOPLAY;
constexpr int kAnimationId = 111;

// An animation control that this thread created, as AVI_START does.
bool isOwnAnimation(HWND window) {
    if (!IsWindow(window)) return false;
    DWORD process = 0;
    if (GetWindowThreadProcessId(window, &process) != GetCurrentThreadId() || process != GetCurrentProcessId())
        return false;
    char name[sizeof ANIMATE_CLASSA + 1] = {};
    return GetClassNameA(window, name, sizeof name) == sizeof ANIMATE_CLASSA - 1 &&
           lstrcmpiA(name, ANIMATE_CLASSA) == 0;
}

}  // namespace

// (kind, text, three further texts, default button, escape button) -> the
// choice's low byte, signed.
void U_DIALOG(ParamBlock* pb) {
    Args a(pb);
    const LockedText text = LockedText::optional(a, 2), second = LockedText::optional(a, 3),
                     third = LockedText::optional(a, 4), fourth = LockedText::optional(a, 5);
    const char* const further[3] = {second.get(), third.get(), fourth.get()};
    const int32_t choice = HostDialog(a.integer(1), text.get(), a.integer(6), a.integer(7), further);
    retInt(static_cast<int8_t>(choice & 0xFF), 1);
}

// ([prompt], [flags], [initial folder], [caption], [cancel text]) -> the
// chosen folder's path, the chosen item's name when it has no path, or "".
void U_SHBROWSE(ParamBlock* pb) {
    Args a(pb);
    gBrowser = {};
    const LockedText prompt = LockedText::optional(a, 1), initialFolder = LockedText::optional(a, 3),
                     caption = LockedText::optional(a, 4), cancelText = LockedText::optional(a, 5);
    gBrowser = {initialFolder.get(), caption.get(), cancelText.get()};
    struct Reset {
        ~Reset() { gBrowser = {}; }  // the texts live in this call's arguments only
    } reset;

    char displayName[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = ownerWindow();
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = prompt.get() ? prompt.get() : "";
    info.ulFlags = a.has(2) && a.type(2) == 'I' ? static_cast<UINT>(a.integer(2)) : BIF_RETURNONLYFSDIRS;
    info.lpfn = browserCallback;
    info.lParam = 0;

    const ShellItemList chosen(SHBrowseForFolderA(&info));
    if (!chosen.get()) {
        HostRetString("");
        return;
    }
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(chosen.get(), path) && path[0]) {
        HostRetString(path);
    } else {
        displayName[MAX_PATH - 1] = 0;
        HostRetString(displayName);  // an item outside the file system: its name
    }
}

void U_SHFOLDER(ParamBlock* pb) {
    Args a(pb);
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, a.integer(1), &list)) || !list) {
        HostRetString("");
        return;
    }
    const ShellItemList folder(list);
    char path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListA(folder.get(), path)) path[0] = 0;
    HostRetString(path);
}

// A top-level window by its exact title, else the host window the argument
// names. An empty title is not looked for among top-level windows, where it
// would find any untitled one: it names the host's main window.
void U_GETHWND(ParamBlock* pb) {
    Args a(pb);
    if (a.type(1) == 'C') {
        const LockedText title = LockedText::optional(a, 1);
        if (title.get()) {
            if (const HWND found = FindWindowA(nullptr, title.get())) {
                retInt(handleWord(found), 15);
                return;
            }
        }
    }
    const int32_t id = editor::windowArgument(a, 1);
    HWND window = id ? reinterpret_cast<HWND>(HostWindowHwnd(id)) : nullptr;
    if (window && !IsWindow(window)) window = nullptr;
    retInt(handleWord(window), 15);
}

// (window, procedure) -> what EnumPropsExA gives: the last call's answer, or
// -1 when the window has no properties.
void U_ENUMPROP(ParamBlock* pb) {
    Args a(pb);
    PropertyWalk walk{a.cstr(2)};
    const int result = EnumPropsExA(windowOf(a.integer(1)), propertyCallback, reinterpret_cast<LPARAM>(&walk));
    if (walk.unwound) throw Unwind{};
    if (walk.outOfMemory) fail(err::NoMemory);
    retInt(result, 10);
}

// (parent, clip file, x, y, width, height) -> the animation control, 0 when
// the parent is not a window. A clip name no file can have raises 901.
void AVI_START(ParamBlock* pb) {
    Args a(pb);
    const char* clip = a.path(2);
    const HWND parent = windowOf(a.integer(1));
    if (!IsWindow(parent)) {
        retInt(0, 10);
        return;
    }
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&classes);  // the host may not have registered the control's class
    const HWND control = CreateWindowExA(0, ANIMATE_CLASSA, nullptr, kAnimationStyle, 0, 0, 0, 0, parent,
                                         reinterpret_cast<HMENU>(static_cast<uintptr_t>(kAnimationId)),
                                         static_cast<HINSTANCE>(ModuleHandle), nullptr);
    if (control) {
        SetWindowPos(control, HWND_TOP, a.integer(3), a.integer(4), a.integer(5), a.integer(6), 0);
        SendMessageA(control, ACM_OPENA, 0, reinterpret_cast<LPARAM>(clip));  // auto-play starts the clip
        ShowWindow(control, SW_SHOW);
    }
    retInt(handleWord(control), 10);
}

// (control) -> .T. when the animation control was stopped and destroyed.
// Only an animation control of the script's own thread is: any other window,
// the host's main window among them, is let be with .F.
void AVI_STOP(ParamBlock* pb) {
    const HWND control = windowOf(Args(pb).integer(1));
    if (!isOwnAnimation(control)) return retLogical(false);
    SendMessageA(control, ACM_OPENA, 0, 0);  // closes the clip
    retLogical(DestroyWindow(control) != 0);
}

// The forced quit. A watcher thread in each process polls for the signal
// file; the processes share the quit flag, the time of the last look and the
// deadline through SharedData, so that the file is looked at no more than
// every 20 seconds by all of them together, one of them shows the warning, and
// all quit at the same deadline, 60 seconds after the file was found.
//
// The watcher waits on a stop event instead of sleeping, so that stopping it
// ends it at once and cleanly: it is never killed, which could leave the
// process's heap locked.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "frame/kavro.h"
#include "frame/own.h"
#include "frame/shared.h"
#include "frame/thread.h"
#include "system/quit.h"

using namespace kv;

namespace {

constexpr DWORD kPollInterval = 20000;  // between two looks at the file, by any process
constexpr DWORD kWatcherPause = 4000;
constexpr DWORD kGracePeriod = 60000;
constexpr DWORD kWarningSettle = 300;   // before the foreground window is taken
constexpr DWORD kCloseTimeout = 5000;   // for a window asked to close, and a warning asked to go
constexpr DWORD kStopTimeout = 5000;    // for a watcher asked to stop
constexpr int32_t kWarningTaken = -10000000;

constexpr size_t kPathSize = 262, kTitleSize = 128, kTextSize = 300;

// The values the processes share, in slots of the shared section.
constexpr shared::Slot kQuitFlag = shared::QuitFirst;
constexpr auto kLastCheck = static_cast<shared::Slot>(shared::QuitFirst + 1);
constexpr auto kDeadline = static_cast<shared::Slot>(shared::QuitFirst + 2);

// One watcher's state: its texts and its stop event. The script thread and
// the watcher (and the warning box, once shown) each hold a share; whichever
// lets go last frees it, so that a watcher the stop did not wait for finishes
// on its own state and never reads its successor's.
struct Watch : SharedState {
    OwnHandle stop;  // set: the watcher ends
    DWORD scriptThread = 0;
    char path[kPathSize], title[kTitleSize], text[kTextSize];
};

Watch* gWatch = nullptr;
OwnHandle gWatcher;

// Waits `ms`; true when the watcher is being stopped.
bool pause(Watch& w, DWORD ms) { return WaitForSingleObject(w.stop.get(), ms) == WAIT_OBJECT_0; }

void showWarning(void* context) {
    Watch* w = static_cast<Watch*>(context);
    MessageBoxA(nullptr, w->text, w->title, MB_SYSTEMMODAL | MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST);
    letGo(w);
}

BOOL CALLBACK closeWindow(HWND window, LPARAM) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Asks the warning box to go and waits a while for its thread to end; a box
// that will not go is left to its user (its thread holds the library).
void dismissWarning(const OwnHandle& warning, DWORD id) {
    EnumThreadWindows(id, closeWindow, 0);
    WaitForSingleObject(warning.get(), kCloseTimeout);
}

// The steps that several processes may take in the same instant are claimed
// with a compare-exchange, so that exactly one of them takes each: one look at
// the file per interval, one finding, one warning.
void watch(Watch& w) {
    while (shared::read(kQuitFlag) == 0) {
        const DWORD now = GetTickCount();
        const int32_t last = shared::read(kLastCheck);
        // A look that returns after the watcher was stopped (a slow share) is not told.
        if (now - static_cast<DWORD>(last) > kPollInterval &&
            shared::replace(kLastCheck, last, static_cast<int32_t>(now)) &&
            GetFileAttributesA(w.path) != INVALID_FILE_ATTRIBUTES && !pause(w, 0)) {
            // The deadline goes before the flag, so that no process sees the
            // flag without it; 0 would mean no deadline.
            const DWORD deadline = now + kGracePeriod;
            shared::replace(kDeadline, 0, static_cast<int32_t>(deadline ? deadline : 1));
            shared::replace(kQuitFlag, 0, 1);
        }
        if (pause(w, kWatcherPause)) return;
    }
    OwnHandle warning;
    DWORD warningId = 0;
    HWND foreground = nullptr;
    if (shared::replace(kQuitFlag, 1, kWarningTaken)) {
        ++w.shares;
        warning.reset(startThread(showWarning, &w, &warningId));
        if (!warning) letGo(&w);
        const bool stopping = pause(w, kWarningSettle);
        foreground = GetForegroundWindow();
        if (stopping) {
            if (warning) dismissWarning(warning, warningId);
            return;
        }
    }
    const DWORD deadline = static_cast<DWORD>(shared::read(kDeadline));
    if (deadline != 0) {
        const DWORD now = GetTickCount();
        const bool stopping = static_cast<int32_t>(deadline - now) > 0 && pause(w, deadline - now);
        if (warning) dismissWarning(warning, warningId);
        if (stopping) return;
        if (foreground && IsWindow(foreground))
            SendMessageTimeoutA(foreground, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kCloseTimeout, nullptr);
        PostThreadMessageA(w.scriptThread, WM_QUIT, 0, 0);
    } else if (warning) {
        dismissWarning(warning, warningId);
    }
}

void runWatcher(void* context) {
    Watch* w = static_cast<Watch*>(context);
    try {
        watch(*w);
    } catch (...) {
    }
    letGo(w);
}

// A text argument into a buffer; one that does not fit is refused.
void copyText(Args& a, int i, char* out, size_t size) {
    const Bytes b = a.bytes(i);
    if (b.size >= size) fail(err::BadArgument);
    if (b.size) std::memcpy(out, b.data, b.size);
    out[b.size] = 0;
}

}  // namespace

// The wait is bounded: a watcher held up by a look at an unreachable share
// must not hold up FF_QUIT or the unload. It ends on its own when the look
// returns, and its reference keeps the library mapped until then.
void StopQuitWatcher() {
    if (!gWatcher) return;
    SetEvent(gWatch->stop.get());
    WaitForSingleObject(gWatcher.get(), kStopTimeout);
    gWatcher.reset();
    letGo(std::exchange(gWatch, nullptr));
}

void FF_QUIT(ParamBlock* pb) {
    Args a(pb);
    StopQuitWatcher();
    const uint32_t pathLength = a.value(1).length;
    if (pathLength >= 1 && pathLength <= kPathSize - 1) {
        if (a.value(2).length >= kTitleSize || a.value(3).length >= kTextSize) fail(err::BadArgument);
        std::unique_ptr<Watch> w(new (std::nothrow) Watch);
        if (!w) fail(err::NoMemory);
        w->scriptThread = GetCurrentThreadId();
        copyText(a, 1, w->path, kPathSize);
        copyText(a, 2, w->title, kTitleSize);
        copyText(a, 3, w->text, kTextSize);
        w->stop.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (w->stop) gWatcher.reset(startThread(runWatcher, w.get()));
        if (gWatcher) gWatch = w.release();
    }
    retUnsigned(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(gWatcher.get())), 15);
}

// ---- the message entry of the command-line DLL runner ----

namespace {
// "Предупреждение" in code page 1251.
constexpr char kDefaultTitle[] = "\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE5\xED\xE8\xE5";
constexpr UINT kDefaultDisplay = 6000;

void CALLBACK endProcess(HWND, UINT, UINT_PTR, DWORD) { ExitProcess(0); }
}  // namespace

// "text|more text/title/seconds": '|' starts a new line; after the first '/'
// comes the title, after each later one a number of seconds (the last counts).
//
// The runner asks for the plain name, which the 32-bit build gives its
// decorated function here.
#if defined(__i386__)
asm(".section .drectve\n.ascii \" -export:DispMsg_RunDll=DispMsg_RunDll@16\"\n.text");
#define KAVRO_RUNNER_EXPORT
#else
#define KAVRO_RUNNER_EXPORT __declspec(dllexport)
#endif
extern "C" KAVRO_RUNNER_EXPORT int WINAPI DispMsg_RunDll(HWND window, HINSTANCE, LPSTR commandLine, int) {
    const char* title = nullptr;
    long seconds = 0;
    if (commandLine) {
        for (char* p = commandLine; *p; ++p) {
            if (*p == '|') {
                *p = '\n';
            } else if (*p == '/') {
                *p = 0;
                if (!title)
                    title = p + 1;
                else
                    seconds = std::strtol(p + 1, nullptr, 10);
            }
        }
    }
    // A time of 0 or less, or one too long for the timer, takes the default.
    const UINT display = seconds > 0 && seconds <= 0x7FFFFFFF / 1000 ? static_cast<UINT>(seconds) * 1000 : kDefaultDisplay;
    SetTimer(nullptr, 0, display, endProcess);
    return MessageBoxA(window, commandLine ? commandLine : "", title && *title ? title : kDefaultTitle,
                       MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST);
}

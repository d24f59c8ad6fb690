// ONTIME: a host command run once after a delay, or again and again at an
// interval, from a Win32 timer on the host's thread.
#include <windows.h>

#include <cstring>

#include "frame/kavro.h"
#include "frame/phase.h"
#include "ui/callback.h"
#include "ui/objects.h"

using namespace kv;
using namespace kv::ui;

namespace {

constexpr size_t kCommandBuffer = 256;  // the command and its terminator

UINT_PTR gTimer = 0;
int32_t gInterval = 0;  // > 0: once; < 0: every -interval milliseconds
char gCommand[kCommandBuffer] = {};
bool gRunning = false;  // the command is running

void stopTimer() {
    if (gTimer) KillTimer(nullptr, gTimer);
    gTimer = 0;
}

// A command that waits for events itself (DOEVENTS, a wait state) lets the
// timer fire inside it: that tick runs nothing, or every tick would nest one
// level deeper until the stack is gone. A one-shot timer is left to fire
// again once the command has returned.
VOID CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    try {
        if (id != gTimer || gRunning) return;  // a stopped timer's message already queued, or the command runs
        if (gInterval > 0) stopTimer();
        char command[kCommandBuffer];
        std::memcpy(command, gCommand, sizeof command);  // the command may set another
        gRunning = true;
        executeFromCallback(command);
        gRunning = false;
    } catch (...) {
        gRunning = false;
    }
}

void startTimer() {
    stopTimer();
    const UINT period = gInterval < 0 ? static_cast<UINT>(-static_cast<int64_t>(gInterval)) : static_cast<UINT>(gInterval);
    gTimer = SetTimer(nullptr, 0, period, TimerProc);
}

}  // namespace

void ONTIME(ParamBlock* pb) {
    Args a(pb);
    if (a.count() == 0) {
        retLogical(gTimer != 0);
        return;
    }
    const int32_t interval = a.integer(1);
    if (interval == 0) {
        stopTimer();
        retLogical(false);
        return;
    }
    if (a.count() == 1) {
        if (interval == 1) retInt(gInterval, 10);
        else HostRetString(gCommand);
        return;
    }
    const Bytes command = a.bytes(2);
    if (command.size == 0) {
        stopTimer();
        retLogical(false);
        return;
    }
    // A command the buffer cannot hold whole is refused rather than run cut.
    if (command.size >= kCommandBuffer) fail(err::BadArgument);
    kv::lifecycle::refuseWhileUnloading();
    std::memcpy(gCommand, command.data, command.size);
    gCommand[command.size] = 0;
    gInterval = interval;
    startTimer();
    retLogical(gTimer != 0);
}

void StopCommandTimer() { stopTimer(); }

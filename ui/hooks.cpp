// Window-procedure hooks: H_WNDPROC binds a script procedure to one message
// or to every message of a window; the hook window procedure asks the
// procedure before default processing and, when it wants, after; the H_
// accessors reach the message being handled.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "frame/kavro.h"
#include "frame/phase.h"
#include "frame/trace.h"
#include "ui/callback.h"
#include "ui/hookrules.h"
#include "ui/hooks.h"

using namespace kv;
using namespace kv::ui;

namespace {

HookEntry gTable[kHookSlots];
// The context of the message being handled; each invocation of the hook
// procedure has its own, and puts back the one it interrupted.
MessageContext* gCurrent = nullptr;
// Windows whose procedure chain holds HookWindowProc because the library put
// it there. A window that another procedure subclassed on top of it keeps it
// until the window is gone, bound or not.
std::vector<HWND> gChained;

HWND windowOf(uint32_t w) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(w)); }

// A window procedure as the word SetWindowLongPtrA stores; typed, so that
// only a real window procedure gets here.
LONG_PTR procWord(WNDPROC proc) { return reinterpret_cast<LONG_PTR>(proc); }

WNDPROC classProcedure(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetClassLongPtrA(hwnd, GCLP_WNDPROC)); }

bool hookedByUs(HWND hwnd) { return GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == procWord(HookWindowProc); }

void forget(HWND hwnd) { gChained.erase(std::remove(gChained.begin(), gChained.end(), hwnd), gChained.end()); }

// A window of another thread, or of another process, would run its messages,
// and the script calls they make, away from the host's thread.
bool foreignWindow(HWND hwnd) {
    const DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    return thread != 0 && thread != GetCurrentThreadId();
}

// The context made current for the life of one invocation.
class ContextScope {
public:
    explicit ContextScope(MessageContext& c) : outer_(gCurrent) { gCurrent = &c; }
    ~ContextScope() { gCurrent = outer_; }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    MessageContext* outer_;
};

// Frees every entry of the window.
void unbindWindow(uint32_t window) {
    for (HookEntry& e : gTable)
        if (e.window == window) e.window = 0;
}

int firstEntryOf(uint32_t window) {
    for (int k = 0; k < kHookSlots; ++k)
        if (gTable[k].window == window) return k;
    return -1;
}

// What the before call answered.
Answer answerOf(const HostValue& v, int32_t& n) {
    switch (v.type) {
        case 'I':
            n = v.integer;
            return Answer::Integer;
        case 'N':  // a whole number the host keeps as numeric counts as an integer
            if (const std::optional<int32_t> whole = wholeInt32(v.real)) {
                n = *whole;
                return Answer::Integer;
            }
            return Answer::Other;
        case 'L':
            n = v.length != 0;
            return Answer::Logical;
        default:
            return Answer::Other;
    }
}

void formatCall(char* out, size_t size, const char* proc, const MessageContext& c, const char* last) {
    std::snprintf(out, size, "%s(%u,%u,%u,%u,%s)", proc, c.hwnd, c.msg, c.wp, c.lp, last);
}

// The class procedure's answer for the context's (possibly changed) values.
// Values the script left as they were travel at their full width.
LRESULT callClass(HWND hwnd, WPARAM wParam, LPARAM lParam, const MessageContext& c) {
    HWND h = c.hwnd == word32(hwnd) ? hwnd : windowOf(c.hwnd);
    const WPARAM w = c.wp == static_cast<uint32_t>(wParam) ? wParam : static_cast<WPARAM>(c.wp);
    const LPARAM l = c.lp == static_cast<uint32_t>(lParam) ? lParam : static_cast<LPARAM>(static_cast<int32_t>(c.lp));
    WNDPROC proc = classProcedure(h);
    if (!proc) proc = classProcedure(hwnd);
    return proc ? CallWindowProcA(proc, h, c.msg, w, l) : 0;
}

// A window that is going away: its class procedure back, its entries free.
void windowDestroyed(uint32_t window) {
    HWND h = windowOf(window);
    if (IsWindow(h)) releaseWindow(h);
    unbindWindow(window);
    DebugTrace("WM_DESTROY processed");
}

LRESULT handleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (isTrayEvent(hwnd, msg)) {
        runTrayEvent(lParam);
        return 0;
    }
    MessageContext c;
    c.hwnd = word32(hwnd);
    c.msg = msg;
    c.wp = static_cast<uint32_t>(wParam);
    c.lp = static_cast<uint32_t>(lParam);
    LRESULT out = 0;
    const int k = findHookEntry(gTable, kHookSlots, c.hwnd, msg);
    if (k < 0) {
        out = callClass(hwnd, wParam, lParam, c);
    } else {
        char proc[kProcNameMax + 1];
        std::memcpy(proc, gTable[k].proc, sizeof proc);  // the script may rebind the slot meanwhile
        ContextScope scope(c);
        char call[160];
        formatCall(call, sizeof call, proc, c, ".F.");
        OwnedValue answer;
        const Ran ran = evaluateFromCallback(answer, call);
        int32_t n = 0;
        const Answer kind = ran == Ran::Ok ? answerOf(answer.v, n) : Answer::Failed;
        applyAnswer(c, kind, n);
        if (c.deflt) {
            const LRESULT r = callClass(hwnd, wParam, lParam, c);
            if (!c.resultSet) {
                c.result = static_cast<int32_t>(r);
                out = r;
            }
        } else if (!c.resultSet) {
            c.result = undefaultedResult(kind, n);
        }
        // After a host error raised into the before call no more script runs for this message.
        if (c.after && ran != Ran::Raised) {
            gCurrent = &c;
            formatCall(call, sizeof call, proc, c, ".T.");
            executeFromCallback(call);
        }
        if (c.resultSet || !c.deflt) out = static_cast<LRESULT>(c.result);
    }
    if (c.msg == WM_DESTROY) windowDestroyed(c.hwnd);
    if (msg == WM_NCDESTROY) forget(hwnd);  // the window's last message
    return out;
}

// The accessors: the value before the call; with an argument, the new value.
// Outside a handled message they answer from an empty context and change nothing.
MessageContext& contextForAccess(MessageContext& scratch) {
    scratch = MessageContext{};
    return gCurrent ? *gCurrent : scratch;
}

void accessSwitch(ParamBlock* pb, bool MessageContext::*value, bool MessageContext::*set) {
    Args a(pb);
    MessageContext scratch;
    MessageContext& c = contextForAccess(scratch);
    const bool before = c.*value;
    if (a.has(1)) {
        c.*value = a.logical(1);
        c.*set = true;
    }
    retLogical(before);
}

void accessWord(ParamBlock* pb, uint32_t MessageContext::*value) {
    Args a(pb);
    MessageContext scratch;
    MessageContext& c = contextForAccess(scratch);
    const uint32_t before = c.*value;
    if (a.has(1)) c.*value = static_cast<uint32_t>(a.integer(1));
    retInt(static_cast<int32_t>(before), 10);
}

}  // namespace

namespace kv::ui {

LRESULT CALLBACK HookWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        return handleMessage(hwnd, msg, wParam, lParam);
    } catch (...) {
        // Nothing unwinds into Windows. A window going away still loses its entries.
        try {
            if (msg == WM_DESTROY) windowDestroyed(word32(hwnd));
        } catch (...) {
        }
        return 0;
    }
}

bool inChain(HWND hwnd) { return std::find(gChained.begin(), gChained.end(), hwnd) != gChained.end(); }

bool subclassWindow(HWND hwnd) {
    // Already there, outermost or under another subclass: messages reach it.
    // A window back on its class's procedure has lost the library's.
    if (hookedByUs(hwnd)) return true;
    const auto classWord = static_cast<LONG_PTR>(GetClassLongPtrA(hwnd, GCLP_WNDPROC));
    if (inChain(hwnd) && GetWindowLongPtrA(hwnd, GWLP_WNDPROC) != classWord) return true;
    forget(hwnd);
    SetLastError(0);
    if (SetWindowLongPtrA(hwnd, GWLP_WNDPROC, procWord(HookWindowProc)) == 0 && GetLastError() != 0) return false;
    std::erase_if(gChained, [](HWND w) { return !IsWindow(w); });
    gChained.push_back(hwnd);
    return true;
}

void releaseWindow(HWND hwnd) {
    if (!hookedByUs(hwnd)) return;
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, GetClassLongPtrA(hwnd, GCLP_WNDPROC));
    forget(hwnd);
}

}  // namespace kv::ui

void H_WNDPROC(ParamBlock* pb) {
    Args a(pb);
    const uint32_t window = static_cast<uint32_t>(a.integer(1));
    HWND hwnd = windowOf(window);
    if (a.count() < 2) {  // every message of the window
        unbindWindow(window);
        releaseWindow(hwnd);
        retInt(kNoSlot, 10);
        return;
    }
    const uint32_t message = static_cast<uint32_t>(a.integer(2));
    int k = findHookEntry(gTable, kHookSlots, window, message);
    if (a.count() == 2) {  // one message
        if (k >= 0 && gTable[k].message == message) gTable[k].window = 0;
        const int left = firstEntryOf(window);
        if (left < 0) releaseWindow(hwnd);
        retInt(left < 0 ? kNoSlot : left + 1, 10);
        return;
    }
    kv::lifecycle::refuseWhileUnloading();
    if (foreignWindow(hwnd)) fail(err::BadArgument);
    if (k < 0 || gTable[k].message != message) {
        k = -1;
        for (int j = 0; j < kHookSlots && k < 0; ++j)
            if (gTable[j].window == 0 || !IsWindow(windowOf(gTable[j].window))) k = j;
        if (k < 0) {
            retInt(kNoSlot, 10);
            return;
        }
    }
    // A handle that is no window is bound all the same; a window Windows
    // would not subclass is not.
    if (IsWindow(hwnd) && !subclassWindow(hwnd)) fail(err::BadArgument);
    gTable[k].window = window;
    gTable[k].message = message;
    const Bytes name = a.bytes(3);
    const size_t n = name.size < kProcNameMax ? name.size : kProcNameMax;
    std::memcpy(gTable[k].proc, name.data, n);
    gTable[k].proc[n] = 0;
    retInt(k + 1, 10);
}

void H_DEF(ParamBlock* pb) { accessSwitch(pb, &MessageContext::deflt, &MessageContext::defltSet); }
void H_AFTER(ParamBlock* pb) { accessSwitch(pb, &MessageContext::after, &MessageContext::afterSet); }

void H_RET(ParamBlock* pb) {
    Args a(pb);
    MessageContext scratch;
    MessageContext& c = contextForAccess(scratch);
    const int32_t before = c.result;
    if (a.has(1)) {
        c.result = a.integer(1);
        c.resultSet = true;
    }
    retInt(before, 10);
}

void H_HWND(ParamBlock* pb) { accessWord(pb, &MessageContext::hwnd); }
void H_MSG(ParamBlock* pb) { accessWord(pb, &MessageContext::msg); }
void H_WP(ParamBlock* pb) { accessWord(pb, &MessageContext::wp); }
void H_LP(ParamBlock* pb) { accessWord(pb, &MessageContext::lp); }

void ReleaseHookedWindows() {
    for (HookEntry& e : gTable) e.window = 0;
    std::erase_if(gChained, [](HWND w) { return !IsWindow(w); });
    const std::vector<HWND> chained = gChained;
    for (HWND w : chained) releaseWindow(w);
    if (!gChained.empty()) kv::lifecycle::keepMapped();  // passed through from outside, for good
}

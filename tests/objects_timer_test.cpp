// Host objects' windows and properties, the ONTIME command timer on real
// Win32 timers, and the TP_HOOK keyboard hook with keystrokes sent through
// SendInput, across two processes where the hook's state is shared.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "hostemu/iat.h"
#include "hostemu/objects.h"
#include "tests/peer_support.h"
#include "tests/support.h"

namespace kavro_test {

namespace {

int32_t id(HWND h) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(h)); }

void pressHotKey() {
    const WORD keys[] = {VK_CONTROL, VK_MENU, 'R'};
    INPUT in[6] = {};
    for (int k = 0; k < 3; ++k) {
        in[k].type = INPUT_KEYBOARD;
        in[k].ki.wVk = keys[k];
        in[5 - k].type = INPUT_KEYBOARD;
        in[5 - k].ki.wVk = keys[k];
        in[5 - k].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(6, in, sizeof(INPUT));
}

void putClipboardText(const std::string& text) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(g), text.c_str(), text.size() + 1);
    GlobalUnlock(g);
    SetClipboardData(CF_TEXT, g);
    CloseClipboard();
}

std::string clipboardText() {
    std::string out = "(none)";
    if (!OpenClipboard(nullptr)) return "(not opened)";
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        out = static_cast<const char*>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return out;
}

// Counts the hook installations the library asks for, and installs them.
int gHooksSet = 0;
HHOOK WINAPI countingSetHook(int kind, HOOKPROC proc, HINSTANCE module, DWORD thread) {
    ++gHooksSet;
    return SetWindowsHookExA(kind, proc, module, thread);
}

HHOOK WINAPI refusedSetHook(int, HOOKPROC, HINSTANCE, DWORD) { return nullptr; }

HHOOK gLastHook = nullptr;
HHOOK WINAPI recordingSetHook(int kind, HOOKPROC proc, HINSTANCE module, DWORD thread) {
    return gLastHook = SetWindowsHookExA(kind, proc, module, thread);
}

int gUnhooked = 0;
BOOL WINAPI countingUnhook(HHOOK h) {
    ++gUnhooked;
    return UnhookWindowsHookEx(h);
}

}  // namespace

int runChainPeer(const char* library);  // hooks_test.cpp

// The peer of the keyboard-hook tests across processes: loads the library
// and plays its part; the exit code is 1 when it saw the hook installed at
// the end, 0 when not, 100 and up when something went wrong.
//   "": asks TP_HOOK();  "remove": TP_HOOK(.F.) on a hook it did not install;
//   "abandon": installs the hook and dies with the library loaded;
//   "refuse": installs it and unloads under a host that refuses every call;
//   "chain": hooks_test's windows under a foreign subclass.
int runHookPeer(const char* library, const char* part) {
    const std::string p = part;
    if (p == "chain") return runChainPeer(library);
    Host::Options o;
    o.library = library;
    Host host(o);
    hostemu::patchImport<decltype(&::SetWindowsHookExA)>(host.module(), "user32.dll", "SetWindowsHookExA",
                                                          &recordingSetHook);
    Result r = host.call("TP_HOOK", p == "remove" ? std::vector<Value>{Bool(false)}
                                    : p == "abandon" || p == "refuse" ? std::vector<Value>{Bool(true)}
                                                                      : std::vector<Value>{});
    if (!r.ok() || r.value.type != 'L') return 100;
    if (p == "abandon" && r.value.b) {
        // Windows takes back the hook of a process that ends; Wine may take
        // its time, so the hook goes first, and only the shared record is left.
        UnhookWindowsHookEx(gLastHook);
        TerminateProcess(GetCurrentProcess(), 1);
    }
    if (p == "refuse") {
        // The routine the host could not be asked to take back keeps the
        // library mapped; the hook itself is gone.
        host.intercept = [](HostCallRecord& c) {
            c.api = api::Error;
            c.arg1 = 1098;
        };
        gUnhooked = 0;
        hostemu::patchImport<decltype(&::UnhookWindowsHookEx)>(host.module(), "user32.dll", "UnhookWindowsHookEx",
                                                                &countingUnhook);
        const HMODULE module = host.module();
        host.unload();
        if (GetModuleHandleA(library) != module) return 101;
        bool reported = false;
        for (const std::string& v : host.violations) reported |= v.find("still registered") != std::string::npos;
        if (!reported) return 102;
        return gUnhooked == 1 ? 0 : 1;
    }
    return r.value.b ? 1 : 0;
}

class ObjectsTimer : public HostTest {
protected:
    void TearDown() override {
        for (HWND w : windows_)
            if (IsWindow(w)) DestroyWindow(w);
        HostTest::TearDown();
    }
    double n() const { return host_->var("N").asNumber(); }
    int calls(const std::string& name) const {
        int k = 0;
        for (auto& c : host_->procCalls) k += c.name == name;
        return k;
    }
    HWND topWindow(const char* cls, const char* title) {
        HWND w = CreateWindowExA(0, cls, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        windows_.push_back(w);
        return w;
    }
    std::vector<HWND> windows_;
};

TEST_F(ObjectsTimer, ObjectWindowsAndProperties) {
    const Value form = newWindowObject(host(), "form", "Kavro form");
    const HostObject* o = findObject(form);
    ASSERT_TRUE(o && o->window && o->inner);
    const Value own = ok("O_HWND", {form});
    const Value inner = ok("O_CHWND", {form});
    EXPECT_EQ(own.i, id(o->window));
    EXPECT_EQ(own.width, 15);
    EXPECT_EQ(inner.i, id(o->inner));
    EXPECT_NE(own.i, inner.i);
    // Objects without a window and the properties O_SETPROP sets: tests/scripts/objects.prg.
    findObject(form)->readOnly.insert("CLASS");
    EXPECT_EQ(describe(ok("O_SETPROP", {form, Str("Class"), Str("x"), Bool(true)})), describe(Bool(false)));
    // A variable passed by reference passes the host's check, but names no object.
    host().setVar("NOTANOBJECT", Str("text"));
    EXPECT_EQ(error("O_HWND", {Ref("NOTANOBJECT")}), 901);
    EXPECT_EQ(error("O_CHWND", {Ref("NOTANOBJECT")}), 901);
    EXPECT_EQ(error("O_SETPROP", {Ref("NOTANOBJECT"), Str("Caption"), Str("x")}), 901);
}

// A one-shot timer and a repeating one, run and stopped: tests/scripts/objects.prg.

TEST_F(ObjectsTimer, OneShotReArmedFromItsOwnCommand) {
    int ticks = 0;
    host().defineProc("TICK", [&](std::vector<Value>&) {
        if (++ticks < 3) {
            EXPECT_EQ(describe(ok("ONTIME", {Int(30), Str("TICK()")})), describe(Bool(true)));
        }
        return Bool(true);
    });
    ok("ONTIME", {Int(30), Str("TICK()")});
    EXPECT_TRUE(host().pumpUntil([&] { return ticks >= 3; }));
    host().pump(150);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(describe(ok("ONTIME")), describe(Bool(false)));
}

TEST_F(ObjectsTimer, CommandsTooLongOrFailing) {
    host().setVar("N", Num(0));
    // 255 characters fit (256 are refused: tests/scripts/objects.prg).
    const std::string fits = "N = 2" + std::string(250, ' ');
    EXPECT_EQ(describe(ok("ONTIME", {Int(10), Str(fits)})), describe(Bool(true)));
    EXPECT_TRUE(host().pumpUntil([&] { return n() == 2; }));

    // A command that fails runs again at the next interval all the same.
    host().executed.clear();
    ok("ONTIME", {Int(-20), Str("NOSUCHPROC()")});
    EXPECT_TRUE(host().pumpUntil([&] { return host().executed.size() >= 2; }));
    EXPECT_EQ(describe(ok("ONTIME")), describe(Bool(true)));

    // The host raising an error into the timer procedure: it ends there, and the timer goes on.
    host().intercept = [](HostCallRecord& r) {
        if (r.api == api::Execute) {
            r.api = api::Error;
            r.arg1 = 1098;
        }
    };
    EXPECT_TRUE(host().pumpUntil([&] { return host().loopErrors.size() >= 2; }));
    host().intercept = nullptr;
    EXPECT_EQ(host().loopErrors[0].error, 1098);
    EXPECT_EQ(describe(ok("ONTIME")), describe(Bool(true)));
    ok("ONTIME", {Int(0)});
}

// A command that waits for events longer than the interval does not run
// again inside itself: a repeating tick is dropped, a one-shot fires once the
// command has returned.
TEST_F(ObjectsTimer, CommandThatWaitsForEventsIsNotReentered) {
    for (const int interval : {-10, 10}) {
        SCOPED_TRACE(interval);
        int depth = 0, deepest = 0, runs = 0;
        host().defineProc("SLOW", [&](std::vector<Value>&) {
            deepest = std::max(deepest, ++depth);
            if (++runs < 3 && interval > 0) ok("ONTIME", {Int(interval), Str("SLOW()")});
            host().pump(80);
            --depth;
            return Bool(true);
        });
        ok("ONTIME", {Int(interval), Str("SLOW()")});
        EXPECT_TRUE(host().pumpUntil([&] { return runs >= 3; }));
        ok("ONTIME", {Int(0)});
        EXPECT_EQ(deepest, 1);
    }
}

TEST_F(ObjectsTimer, KeyboardHookInstalledOnceWithItsPollingRoutine) {
    gHooksSet = 0;
    auto counting = hostemu::importPatch<decltype(&::SetWindowsHookExA)>(host().module(), "user32.dll",
                                                                          "SetWindowsHookExA", &countingSetHook);
    EXPECT_EQ(describe(ok("TP_HOOK")), describe(Bool(false)));
    EXPECT_EQ(describe(ok("TP_HOOK", {Bool(true)})), describe(Bool(true)));
    EXPECT_EQ(describe(ok("TP_HOOK", {Bool(true)})), describe(Bool(true)));
    EXPECT_EQ(gHooksSet, 1);
    ASSERT_EQ(host().activations().size(), 1u);
    EXPECT_EQ(host().activations().begin()->second.kind, 1);
    EXPECT_EQ(describe(ok("TP_HOOK")), describe(Bool(true)));
    EXPECT_EQ(describe(ok("TP_HOOK", {Bool(false)})), describe(Bool(false)));
    EXPECT_TRUE(host().activations().empty());
    EXPECT_EQ(describe(ok("TP_HOOK", {Bool(false)})), describe(Bool(false)));
}

TEST_F(ObjectsTimer, RefusedHookRegistersItsPollingRoutineOnce) {
    auto refused = hostemu::importPatch<decltype(&::SetWindowsHookExA)>(host().module(), "user32.dll",
                                                                         "SetWindowsHookExA", &refusedSetHook);
    EXPECT_EQ(describe(ok("TP_HOOK", {Bool(true)})), describe(Bool(false)));
    EXPECT_EQ(describe(ok("TP_HOOK", {Bool(true)})), describe(Bool(false)));
    EXPECT_EQ(host().activations().size(), 1u);  // not once per attempt
    // The unload deregisters it (a routine left registered would be reported).
}

TEST_F(ObjectsTimer, HotKeyCopiesRaisesTapiroAndRunsTPHookOnce) {
    HWND tapiro = topWindow("STATIC", "Tapiro");
    HWND frame = topWindow("STATIC", "Kavro editor");
    HWND edit = CreateWindowExA(0, "EDIT", "selected words", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20, frame, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(frame);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    putClipboardText("before");
    host().defineProc("TPHOOK", [](std::vector<Value>&) { return Bool(true); });

    ASSERT_EQ(describe(ok("TP_HOOK", {Bool(true)})), describe(Bool(true)));
    pressHotKey();
    pressHotKey();  // twice before the host polls: one run
    EXPECT_TRUE(host().pumpUntil([&] { return calls("TPHOOK") > 0; }));
    host().pump(200);
    EXPECT_EQ(calls("TPHOOK"), 1);
    EXPECT_EQ(host().executed.back(), "TPHook()");
    EXPECT_EQ(clipboardText(), "selected words");
    EXPECT_EQ(GetForegroundWindow(), tapiro);

    SetForegroundWindow(frame);
    SetFocus(edit);
    pressHotKey();  // polled: the next hot key runs it again
    EXPECT_TRUE(host().pumpUntil([&] { return calls("TPHOOK") > 1; }));
    EXPECT_EQ(calls("TPHOOK"), 2);
    ok("TP_HOOK", {Bool(false)});
}

// Only the process that installed the hook removes it; one that died with it
// installed leaves nothing that stands in the way of a new one.
TEST_F(ObjectsTimer, HookAcrossProcessesBelongsToItsInstaller) {
    const struct {
        const char* part;
        bool ownFirst;  // this process installs the hook before the peer runs
        DWORD peerSees;
        bool installedAfter;
    } cases[] = {
        {"", true, 1, true},          // the peer sees the hook; its unload leaves it alone
        {"remove", true, 1, true},    // nor can it remove it
        {"abandon", false, 1, false},  // an installer that died leaves no hook behind
        {"refuse", false, 0, false},  // one whose host refused the unload's calls removed it all the same
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        if (c.ownFirst) {
            ASSERT_EQ(describe(ok("TP_HOOK", {Bool(true)})), describe(Bool(true)));
        }
        Peer peer("--kavro-hook \"" + modulePath(host().module()) + "\" " + c.part);
        ASSERT_TRUE(peer.started());
        EXPECT_EQ(peer.finish(120000), c.peerSees);
        EXPECT_EQ(describe(ok("TP_HOOK")), describe(Bool(c.installedAfter)));
        gHooksSet = 0;
        auto counting = hostemu::importPatch<decltype(&::SetWindowsHookExA)>(host().module(), "user32.dll",
                                                                              "SetWindowsHookExA", &countingSetHook);
        EXPECT_EQ(describe(ok("TP_HOOK", {Bool(true)})), describe(Bool(true)));
        EXPECT_EQ(gHooksSet, c.installedAfter ? 0 : 1);
        EXPECT_EQ(describe(ok("TP_HOOK", {Bool(false)})), describe(Bool(false)));
    }
}

TEST_F(ObjectsTimer, UnloadStopsTimerAndRemovesHookAndPollingRoutine) {
    host().setVar("N", Num(0));
    ok("ONTIME", {Int(-30), Str("N = N + 1")});
    ASSERT_TRUE(host().pumpUntil([&] { return n() >= 1; }));
    ok("TP_HOOK", {Bool(true)});
    host().defineProc("TPHOOK", [](std::vector<Value>&) { return Bool(true); });
    host().unload();  // a routine left registered would be reported here
    EXPECT_TRUE(host().activations().empty());
    const double atUnload = n();
    HWND frame = topWindow("STATIC", "after unload");
    SetForegroundWindow(frame);
    pressHotKey();
    host().pump(300);
    EXPECT_EQ(n(), atUnload);
    EXPECT_EQ(calls("TPHOOK"), 0);

    stop();
    start(Host::Options{});
    EXPECT_EQ(describe(ok("TP_HOOK")), describe(Bool(false)));
}

}  // namespace kavro_test

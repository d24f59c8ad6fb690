// Window-procedure hooks and the tray icon, on real windows through the real
// library, with the host's message loop.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "hostemu/iat.h"
#include "hostemu/objects.h"
#include "hostemu/window.h"
#include "tests/peer_support.h"
#include "tests/support.h"
#include "tests/ui_support.h"
#include "ui/hookrules.h"

namespace kavro_test {

namespace ui = kv::ui;

namespace {

constexpr UINT kAsk = WM_USER + 1;    // the test class answers 77
constexpr UINT kOther = WM_USER + 2;  // the test class answers 88
constexpr LRESULT kAskAnswer = 77;

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};
std::vector<Seen> gSeen;  // what the test class's own procedure received

LRESULT CALLBACK TestClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_USER) {
        gSeen.push_back({hwnd, msg, wp, lp});
        return msg == kAsk ? kAskAnswer : msg == kOther ? 88 : 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

const char* testClass() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = TestClassProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KavroHookTest";
        return RegisterClassA(&wc) != 0;
    }();
    return registered ? "KavroHookTest" : "";
}

int32_t id(HWND h) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(h)); }

// What the library asked of the shell's notification area.
struct Notified {
    DWORD op;
    NOTIFYICONDATAA data;
};
std::vector<Notified> gNotified;
BOOL WINAPI recordNotify(DWORD op, PNOTIFYICONDATAA data) {
    Notified n{op, {}};
    std::memcpy(&n.data, data, std::min<size_t>(data->cbSize, sizeof n.data));
    gNotified.push_back(n);
    return TRUE;
}

// Another party's subclass on top of whatever the window runs, as the host's
// own event binding makes one: it sees each message, then passes it on.
std::map<HWND, WNDPROC> gUnder;
int gForeignSaw = 0;
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    gForeignSaw += msg >= WM_USER;
    return CallWindowProcA(gUnder.at(hwnd), hwnd, msg, wp, lp);
}
const LONG_PTR kForeign = reinterpret_cast<LONG_PTR>(&ForeignProc);  // a window procedure as the word Windows keeps
void subclassOnTop(HWND w) { gUnder[w] = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, kForeign)); }
void takeOff(HWND w) { SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gUnder.at(w))); }

LONG_PTR WINAPI refuseSubclass(HWND, int, LONG_PTR) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}
#ifdef _WIN64
constexpr const char* kSetWindowLong = "SetWindowLongPtrA";
#else
constexpr const char* kSetWindowLong = "SetWindowLongA";
#endif

}  // namespace

// The peer of UnloadUnderAForeignSubclassLeavesWorkingChains (started as
// "--kavro-hook <library> chain"): windows and the tray window subclassed by
// someone else on top of the library, one of them unbound, then the unload.
// Exit code 0 when every chain still works; a crash when it reaches code that
// is gone.
int runChainPeer(const char* library) {
    Host::Options o;
    o.library = library;
    Host host(o);
    hostemu::patchImport<decltype(&::Shell_NotifyIconA)>(host.module(), "shell32.dll", "Shell_NotifyIconA",
                                                          &recordNotify);
    HWND windows[3];
    for (HWND& w : windows)
        w = CreateWindowExA(0, testClass(), "chained", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    const auto [unbound, bound, alone] = windows;
    HWND main = hostemu::mainWindow(host);
    for (HWND w : windows)
        if (!host.call("H_WNDPROC", {Int(id(w)), Int(kAsk), Str("P")}).ok()) return 100;
    if (!host.call("H_TRAYICON", {Int(1), Str("tip"), Str("ONTRAY")}).ok()) return 100;
    for (HWND w : {unbound, bound, main}) subclassOnTop(w);
    if (host.call("H_WNDPROC", {Int(id(unbound))}).value.i != ui::kNoSlot) return 101;
    const HMODULE module = host.module();
    host.unload();
    if (GetModuleHandleA(library) != module) return 102;  // gone from under the chains
    for (HWND w : {unbound, bound, main})
        if (GetWindowLongPtrA(w, GWLP_WNDPROC) != kForeign) return 103;  // the other subclass stays on top
    if (!runsClassProcedure(alone)) return 104;
    for (HWND w : windows)
        if (SendMessageA(w, kAsk, 0, 0) != kAskAnswer) return 105;
    SendMessageA(main, 0x806F, 1, WM_LBUTTONDOWN);  // runs no procedure any more
    if (!host.violations.empty() || gForeignSaw != 3) return 106;
    for (HWND w : windows) DestroyWindow(w);
    return 0;
}

class Hooks : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        gSeen.clear();
        gNotified.clear();
        // Not put back: the library may go away with its imports patched.
        hostemu::patchImport<decltype(&::Shell_NotifyIconA)>(host().module(), "shell32.dll", "Shell_NotifyIconA",
                                                              &recordNotify);
    }
    void TearDown() override {
        for (HWND w : windows_)
            if (IsWindow(w)) host().inLoop([&] { DestroyWindow(w); });
        HostTest::TearDown();
    }

    HWND window() {
        HWND w = CreateWindowExA(0, testClass(), "hooked", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(w, nullptr);
        windows_.push_back(w);
        return w;
    }
    // A script procedure that runs `body` with the call's arguments.
    void handler(const std::string& name, std::function<Value(std::vector<Value>&)> body) {
        host().defineProc(name, std::move(body));
    }
    void answers(const std::string& name, Value v) {
        handler(name, [v](std::vector<Value>&) { return v; });
    }
    int calls(const std::string& name) const {
        int n = 0;
        for (auto& c : host_->procCalls) n += c.name == name;
        return n;
    }
    static uint32_t arg(const Host::ProcCall& c, size_t k) { return static_cast<uint32_t>(c.args.at(k).asNumber()); }
    int32_t bind(HWND w, uint32_t msg, const std::string& proc) {
        return ok("H_WNDPROC", {Int(id(w)), Int(static_cast<int32_t>(msg)), Str(proc)}).i;
    }
    static bool hooked(HWND w) { return !runsClassProcedure(w); }

    std::vector<HWND> windows_;
};

TEST_F(Hooks, AnswersSetDefaultProcessingAfterCallAndResult) {
    HWND w = window();
    EXPECT_EQ(bind(w, kAsk, "ONASK"), 1);
    EXPECT_TRUE(hooked(w));

    answers("ONASK", Bool(true));  // processed as the class does
    EXPECT_EQ(host().send(w, kAsk, 11, 22), kAskAnswer);
    ASSERT_EQ(host().procCalls.size(), 1u);
    const Host::ProcCall& c = host().procCalls[0];
    EXPECT_EQ(arg(c, 0), static_cast<uint32_t>(id(w)));
    EXPECT_EQ(arg(c, 1), kAsk);
    EXPECT_EQ(arg(c, 2), 11u);
    EXPECT_EQ(arg(c, 3), 22u);
    EXPECT_EQ(describe(c.args.at(4)), describe(Bool(false)));
    EXPECT_EQ(gSeen.size(), 1u);

    answers("ONASK", Bool(false));  // suppressed
    EXPECT_EQ(host().send(w, kAsk), 0);
    EXPECT_EQ(gSeen.size(), 1u);

    host().procCalls.clear();
    answers("ONASK", Int(3));  // default processing, then a call after it
    EXPECT_EQ(host().send(w, kAsk, 1, 2), kAskAnswer);
    ASSERT_EQ(host().procCalls.size(), 2u);
    EXPECT_EQ(describe(host().procCalls[1].args.at(4)), describe(Bool(true)));
    EXPECT_EQ(host().executed.back(), "ONASK(" + std::to_string(id(w)) + "," + std::to_string(kAsk) + ",1,2,.T.)");
    EXPECT_EQ(gSeen.size(), 2u);

    handler("ONASK", [&](std::vector<Value>&) {
        EXPECT_EQ(ok("H_RET", {Int(5)}).i, 0);
        return Bool(false);
    });
    EXPECT_EQ(host().send(w, kAsk), 5);

    handler("ONASK", [&](std::vector<Value>&) {
        EXPECT_EQ(describe(ok("H_DEF", {Bool(false)})), describe(Bool(true)));
        return Bool(true);
    });
    EXPECT_EQ(host().send(w, kAsk), 0);
    EXPECT_EQ(gSeen.size(), 2u);

    // No default processing and no H_RET: the answer's bits above the two switch
    // bits, of a whole number the host keeps as numeric too. An answer that is
    // neither (a fraction, a number beyond 32 bits, text, an object) changes
    // nothing: processed (an object's reference is given back).
    const std::pair<Value, LRESULT> others[] = {
        {Int(7 << 2), 7}, {Num(4 * 9), 9}, {Num(36.5), kAskAnswer}, {Num(3e9), kAskAnswer}, {Num(-3e9), kAskAnswer},
        {Str("neither"), kAskAnswer}, {newObject(host(), "answer"), kAskAnswer}};
    for (const auto& [answer, result] : others) {
        answers("ONASK", answer);
        EXPECT_EQ(host().send(w, kAsk), result) << describe(answer);
    }

    // The after call sees the result of default processing and may replace it.
    handler("ONASK", [&](std::vector<Value>& a) {
        if (!a.at(4).b) return Int(3);
        EXPECT_EQ(ok("H_RET").i, kAskAnswer);
        ok("H_RET", {Int(-6)});
        return Bool(true);
    });
    EXPECT_EQ(host().send(w, kAsk), -6);
}

TEST_F(Hooks, ChangedMessageReachesClassAndAfterCall) {
    HWND w = window();
    bind(w, kAsk, "CHANGE");
    host().procCalls.clear();
    handler("CHANGE", [&](std::vector<Value>& a) {
        if (a.at(4).b) return Bool(true);
        EXPECT_EQ(ok("H_MSG", {Int(kOther)}).i, static_cast<int32_t>(kAsk));
        EXPECT_EQ(ok("H_WP", {Int(123)}).i, 5);
        EXPECT_EQ(ok("H_LP", {Int(-1)}).i, 6);
        EXPECT_EQ(ok("H_HWND").i, id(w));
        return Int(3);
    });
    EXPECT_EQ(host().send(w, kAsk, 5, 6), 88);
    ASSERT_EQ(gSeen.size(), 1u);
    EXPECT_EQ(gSeen[0].msg, kOther);
    EXPECT_EQ(gSeen[0].wp, 123u);
    EXPECT_EQ(static_cast<int32_t>(gSeen[0].lp), -1);
    ASSERT_EQ(host().procCalls.size(), 2u);
    EXPECT_EQ(arg(host().procCalls[1], 1), kOther);
    EXPECT_EQ(arg(host().procCalls[1], 3), 0xFFFFFFFFu);
}

TEST_F(Hooks, OneMessageAndEveryMessageGoToTheirOwnProcedures) {
    HWND w = window();
    const int32_t all = bind(w, 0, "ALLMSG");
    const int32_t one = bind(w, 15, "PAINTMSG");
    EXPECT_EQ(all, 1);
    EXPECT_EQ(one, 2);
    EXPECT_EQ(bind(w, 15, "PAINTMSG2"), 2);  // the same pair: the same slot, a new procedure
    answers("ALLMSG", Bool(true));
    answers("PAINTMSG2", Bool(false));
    host().procCalls.clear();
    host().send(w, 15);
    host().send(w, kAsk);
    ASSERT_EQ(host().procCalls.size(), 2u);
    EXPECT_EQ(host().procCalls[0].name, "PAINTMSG2");
    EXPECT_EQ(host().procCalls[1].name, "ALLMSG");

    // Unbinding one message leaves the window hooked while entries remain.
    EXPECT_EQ(ok("H_WNDPROC", {Int(id(w)), Int(15)}).i, 1);
    EXPECT_TRUE(hooked(w));
    EXPECT_EQ(ok("H_WNDPROC", {Int(id(w)), Int(0)}).i, ui::kNoSlot);
    EXPECT_FALSE(hooked(w));
    host().procCalls.clear();
    EXPECT_EQ(host().send(w, kAsk), kAskAnswer);
    EXPECT_TRUE(host().procCalls.empty());

    // Every entry at once.
    bind(w, 1000, "X");
    bind(w, 1001, "Y");
    EXPECT_EQ(ok("H_WNDPROC", {Int(id(w))}).i, ui::kNoSlot);
    EXPECT_FALSE(hooked(w));
    EXPECT_EQ(bind(w, 1002, "Z"), 1);  // all free again
}

TEST_F(Hooks, FullTableDeadWindowsAndHandlesThatAreNoWindows) {
    HWND w = window();
    for (int k = 0; k < ui::kHookSlots; ++k) ASSERT_EQ(bind(w, 1000 + k, "P"), k + 1);
    EXPECT_EQ(bind(w, 5000, "P"), ui::kNoSlot);
    EXPECT_EQ(bind(window(), 1, "P"), ui::kNoSlot);
    host().inLoop([&] { DestroyWindow(w); });  // frees every entry of the window
    EXPECT_EQ(bind(window(), 1, "P"), 1);

    // A handle that is no window is bound all the same; the next binding may take its slot.
    const int32_t stale = 0x7FFF0;
    ASSERT_FALSE(IsWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(stale))));
    EXPECT_EQ(ok("H_WNDPROC", {Int(stale), Int(1), Str("P")}).i, 2);
    EXPECT_EQ(bind(window(), 1, "Q"), 2);

    // Names are cut to 60 characters.
    HWND named = window();
    const std::string longName(70, 'N');
    bind(named, kAsk, longName);
    answers(std::string(60, 'N'), Bool(false));
    EXPECT_EQ(host().send(named, kAsk), 0);
    EXPECT_EQ(calls(std::string(60, 'N')), 1);
}

TEST_F(Hooks, DestroyGivesTheClassProcedureBackAndFreesEntries) {
    HWND w = window();
    bind(w, kAsk, "P");
    bind(w, 0, "ALL");
    answers("ALL", Bool(true));
    handler("ALL", [&](std::vector<Value>& a) {
        if (a.at(1).asNumber() == WM_DESTROY) {
            EXPECT_TRUE(hooked(w));
        }
        return Bool(true);
    });
    host().inLoop([&] { DestroyWindow(w); });
    EXPECT_GE(calls("ALL"), 1);
    HWND next = window();
    EXPECT_EQ(bind(next, 1, "P"), 1);
    EXPECT_EQ(bind(next, 2, "P"), 2);
}

namespace {
std::vector<std::string> gTraced;
void WINAPI recordTrace(LPCSTR line) { gTraced.push_back(line); }
}  // namespace

TEST_F(Hooks, DestroyIsTraced) {
    stop();
    _putenv("TOLVA=debug");  // read when the library is loaded again
    start(Host::Options{});
    _putenv("TOLVA=");
    gTraced.clear();
    hostemu::patchImport<decltype(&::OutputDebugStringA)>(host().module(), "kernel32.dll", "OutputDebugStringA",
                                                          &recordTrace);
    HWND w = window();
    bind(w, kAsk, "P");
    host().inLoop([&] { DestroyWindow(w); });
    EXPECT_EQ(std::count(gTraced.begin(), gTraced.end(), "WM_DESTROY processed      Kavro (plume)"), 1);
}

TEST_F(Hooks, NestedMessagesEachHaveTheirOwnContext) {
    HWND a = window(), b = window();
    bind(a, kAsk, "OUTER");
    bind(b, kOther, "INNER");
    handler("INNER", [&](std::vector<Value>&) {
        EXPECT_EQ(ok("H_MSG").i, static_cast<int32_t>(kOther));
        ok("H_RET", {Int(2)});
        return Bool(false);
    });
    handler("OUTER", [&](std::vector<Value>&) {
        ok("H_RET", {Int(1)});
        ok("H_AFTER", {Bool(false)});
        EXPECT_EQ(SendMessageA(b, kOther, 0, 0), 2);  // a message to another hooked window
        EXPECT_EQ(ok("H_MSG").i, static_cast<int32_t>(kAsk));
        EXPECT_EQ(ok("H_RET").i, 1);
        EXPECT_EQ(ok("H_HWND").i, id(a));
        return Bool(false);
    });
    EXPECT_EQ(host().send(a, kAsk), 1);
    EXPECT_EQ(calls("INNER"), 1);
    // Outside any message the accessors answer from an empty context: tests/scripts/hooks.prg.
}

TEST_F(Hooks, FailingHandlersLeaveTheMessageAsTheSwitchesStand) {
    HWND w = window();
    bind(w, kAsk, "NOSUCHPROC");  // fails to evaluate: processed as usual
    EXPECT_EQ(host().send(w, kAsk), kAskAnswer);

    bind(w, kAsk, "BROKEN");
    handler("BROKEN", [&](std::vector<Value>&) -> Value {
        ok("H_DEF", {Bool(false)});
        // An error inside a library call made from the handler ends that call only.
        EXPECT_EQ(error("H_TRAYICON", {Int(1)}), 901);
        throw std::runtime_error("the procedure fails");
    });
    EXPECT_EQ(host().send(w, kAsk), 0);
    EXPECT_EQ(gSeen.size(), 1u);

    // The host raising an error into the window procedure: it stops there,
    // default processing still runs and no after call is made.
    answers("BROKEN", Int(3));
    host().intercept = [](HostCallRecord& r) {
        if (r.api == api::Evaluate) {
            r.api = api::Error;
            r.arg1 = 1098;
        }
    };
    host().executed.clear();
    EXPECT_EQ(host().send(w, kAsk), kAskAnswer);
    host().intercept = nullptr;
    EXPECT_TRUE(host().executed.empty());
    ASSERT_EQ(host().loopErrors.size(), 1u);
    EXPECT_EQ(host().loopErrors[0].error, 1098);
    answers("BROKEN", Bool(false));
    EXPECT_EQ(host().send(w, kAsk), 0);  // and the hook goes on working
}

TEST_F(Hooks, TrayIconShownChangedRemovedAndItsEvents) {
    HWND tray = hostemu::mainWindow(host());
    const std::string tip(70, 't');
    ok("H_TRAYICON", {Int(4321), Str(tip), Str("ONTRAY")});
    ASSERT_EQ(gNotified.size(), 1u);
    const Notified& add = gNotified[0];
    EXPECT_EQ(add.op, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(add.data.hWnd, tray);
    EXPECT_EQ(add.data.uID, 1u);
    EXPECT_EQ(add.data.uFlags, 7u);
    EXPECT_EQ(add.data.uCallbackMessage, 0x806Fu);
    EXPECT_EQ(add.data.hIcon, reinterpret_cast<HICON>(static_cast<uintptr_t>(4321)));
    EXPECT_EQ(std::string(add.data.szTip), tip.substr(0, 63));
    EXPECT_TRUE(hooked(tray));

    ok("H_TRAYICON", {Int(1), Str("second"), Str("ONTRAY")});
    ASSERT_EQ(gNotified.size(), 2u);
    EXPECT_EQ(gNotified[1].op, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(std::string(gNotified[1].data.szTip), "second");

    // Mouse moves run nothing; a left click runs the procedure with 513.
    answers("ONTRAY", Bool(true));
    PostMessageA(tray, 0x806F, 1, WM_MOUSEMOVE);
    PostMessageA(tray, 0x806F, 1, WM_LBUTTONDOWN);
    EXPECT_TRUE(host().pumpUntil([&] { return calls("ONTRAY") > 0; }));
    host().pump(50);
    ASSERT_EQ(calls("ONTRAY"), 1);
    EXPECT_EQ(host().executed.back(), "ONTRAY(513)");

    // Wrong argument counts and over-long names change nothing.
    EXPECT_EQ(error("H_TRAYICON", {Int(1)}), 901);
    EXPECT_EQ(error("H_TRAYICON", {Int(1), Str("tip")}), 901);
    EXPECT_EQ(error("H_TRAYICON", {Int(1), Str("tip"), Str(std::string(61, 'P'))}), 901);
    EXPECT_EQ(gNotified.size(), 2u);

    ok("H_TRAYICON");
    ASSERT_EQ(gNotified.size(), 3u);
    EXPECT_EQ(gNotified[2].op, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(gNotified[2].data.hWnd, tray);
    EXPECT_EQ(gNotified[2].data.uID, 1u);
    EXPECT_EQ(gNotified[2].data.uFlags, 0u);
    ok("H_TRAYICON");  // nothing shown: nothing asked
    EXPECT_EQ(gNotified.size(), 3u);
}

TEST_F(Hooks, UnloadGivesEveryWindowItsClassProcedureBack) {
    HWND a = window(), b = window();
    bind(a, kAsk, "P");
    bind(b, 0, "P");
    ok("H_TRAYICON", {Int(1), Str("tip"), Str("ONTRAY")});
    HWND tray = hostemu::mainWindow(host());
    ASSERT_TRUE(hooked(a) && hooked(b) && hooked(tray));
    const std::string library = modulePath(host().module());
    host().unload();
    EXPECT_EQ(GetModuleHandleA(library.c_str()), nullptr);  // nothing kept it mapped
    EXPECT_FALSE(hooked(a));
    EXPECT_FALSE(hooked(b));
    EXPECT_FALSE(hooked(tray));
    ASSERT_EQ(gNotified.size(), 2u);
    EXPECT_EQ(gNotified[1].op, static_cast<DWORD>(NIM_DELETE));
    // The library is gone; the windows answer as their classes do.
    EXPECT_EQ(SendMessageA(a, kAsk, 0, 0), kAskAnswer);
    EXPECT_EQ(SendMessageA(b, kAsk, 0, 0), kAskAnswer);
    PostMessageA(tray, 0x806F, 1, WM_LBUTTONDOWN);
    host().pump(50);
    EXPECT_EQ(calls("ONTRAY"), 0);
}

// Unbinding under another party's subclass leaves that subclass on top and
// the library's procedure under it, passing messages on; binding again does
// not tear the other one off.
TEST_F(Hooks, ForeignSubclassStaysOnTopThroughUnbindAndBind) {
    HWND w = window();
    bind(w, kAsk, "P");
    answers("P", Bool(false));
    gForeignSaw = 0;
    subclassOnTop(w);
    EXPECT_EQ(host().send(w, kAsk), 0);
    EXPECT_EQ(ok("H_WNDPROC", {Int(id(w))}).i, ui::kNoSlot);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), kForeign);
    EXPECT_EQ(host().send(w, kAsk), kAskAnswer);
    EXPECT_EQ(bind(w, kAsk, "P"), 1);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), kForeign);
    EXPECT_EQ(host().send(w, kAsk), 0);
    EXPECT_EQ(calls("P"), 2);
    EXPECT_EQ(gForeignSaw, 3);
    takeOff(w);  // the other party goes: the library's procedure is outermost again
    EXPECT_EQ(ok("H_WNDPROC", {Int(id(w))}).i, ui::kNoSlot);
    EXPECT_FALSE(hooked(w));
}

TEST_F(Hooks, UnloadUnderAForeignSubclassLeavesWorkingChains) {
    Peer peer("--kavro-hook \"" + modulePath(host().module()) + "\" chain");
    ASSERT_TRUE(peer.started());
    EXPECT_EQ(peer.finish(120000), 0u);
}

// Messages of a window run on its own thread: a window of another thread or
// process is refused, and so is one Windows would not subclass.
TEST_F(Hooks, WindowsTheLibraryCannotHookAreRefused) {
    HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr), done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND otherThread = nullptr;
    std::thread owner([&] {
        otherThread = CreateWindowExA(0, testClass(), "elsewhere", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
        SetEvent(made);
        WaitForSingleObject(done, 10000);
        DestroyWindow(otherThread);
    });
    WaitForSingleObject(made, 10000);
    HWND otherProcess = GetDesktopWindow();
    DWORD process = 0;
    GetWindowThreadProcessId(otherProcess, &process);
    EXPECT_NE(process, GetCurrentProcessId());
    for (HWND w : {otherThread, otherProcess}) EXPECT_EQ(error("H_WNDPROC", {Int(id(w)), Int(kAsk), Str("P")}), 901);
    EXPECT_FALSE(hooked(otherThread));
    SetEvent(done);
    owner.join();
    CloseHandle(made);
    CloseHandle(done);

    HWND w = window();
    {
        auto refused = hostemu::importPatch<decltype(&::SetWindowLongPtrA)>(host().module(), "user32.dll",
                                                                             kSetWindowLong, &refuseSubclass);
        EXPECT_EQ(error("H_WNDPROC", {Int(id(w)), Int(kAsk), Str("P")}), 901);
    }
    EXPECT_FALSE(hooked(w));
    EXPECT_EQ(bind(w, kAsk, "P"), 1);  // nothing was bound
}

namespace {
LRESULT CALLBACK HostOwnMainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}
}  // namespace

TEST_F(Hooks, UnloadLeavesAMainWindowTheTrayNeverUsedAlone) {
    HWND main = hostemu::mainWindow(host());
    const LONG_PTR own = reinterpret_cast<LONG_PTR>(&HostOwnMainProc);  // a window procedure as the word Windows keeps
    SetWindowLongPtrA(main, GWLP_WNDPROC, own);  // the host's own subclass of its main window
    host().unload();
    EXPECT_EQ(GetWindowLongPtrA(main, GWLP_WNDPROC), own);
}

TEST(HookRules, FindEntryAndApplyAnswers) {
    ui::HookEntry t[4] = {{5, 0, "ALL"}, {6, 15, "B"}, {5, 15, "ONE"}, {0, 0, ""}};
    EXPECT_EQ(ui::findHookEntry(t, 4, 5, 15), 2);
    EXPECT_EQ(ui::findHookEntry(t, 4, 5, 16), 0);
    EXPECT_EQ(ui::findHookEntry(t, 4, 6, 16), -1);
    EXPECT_EQ(ui::findHookEntry(t, 4, 0, 0), -1);  // free entries match nothing

    const struct {
        const char* name;
        ui::Answer answer;
        int32_t value;
        bool preset;  // the handler set both switches itself: they stand
        bool deflt, after;
    } rows[] = {
        {"integer", ui::Answer::Integer, 2, false, false, true},
        {"integer after the switches were set", ui::Answer::Integer, 2, true, true, false},
        {"logical", ui::Answer::Logical, 0, false, false, false},
        {"failed", ui::Answer::Failed, 0, false, true, false},
    };
    for (const auto& row : rows) {
        ui::MessageContext c;
        c.defltSet = c.afterSet = row.preset;
        ui::applyAnswer(c, row.answer, row.value);
        EXPECT_EQ(c.deflt, row.deflt) << row.name;
        EXPECT_EQ(c.after, row.after) << row.name;
    }
    EXPECT_EQ(ui::undefaultedResult(ui::Answer::Integer, (9 << 2) | 2), 9);
    EXPECT_EQ(ui::undefaultedResult(ui::Answer::Integer, -4), 0x3FFFFFFF);
    EXPECT_EQ(ui::undefaultedResult(ui::Answer::Logical, 1), 0);
}

}  // namespace kavro_test

// The worker thread against the real companion server: registered per user in
// the test prefix, created by its identifier on the worker's own apartment,
// steered through its control entries and read back call by call.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <functional>
#include <mutex>

#include "frame/entries.h"
#include "hostemu/iat.h"
#include "hostemu/objects.h"
#include "server/control.h"
#include "tests/support.h"
#include "tests/threads_support.h"

namespace kavro_test {
namespace {

// The server's DLL as this process has it loaded: the worker's objects live
// in the same instance, so its control entries see every call they get.
struct Server {
    HMODULE dll = LoadLibraryA((programDir() + "KavroMTServer.dll").c_str());
    kavromt::SetScriptFn setScript = kv::systemEntry<kavromt::SetScriptFn>(dll, kavromt::kSetScript);
    kavromt::CallsFn callsFn = kv::systemEntry<kavromt::CallsFn>(dll, kavromt::kCalls);
    kavromt::LiveObjectsFn live = kv::systemEntry<kavromt::LiveObjectsFn>(dll, kavromt::kLiveObjects);
    kavromt::ReferencesFn references = kv::systemEntry<kavromt::ReferencesFn>(dll, kavromt::kReferences);

    bool registered() {
        auto reg = kv::systemEntry<HRESULT(WINAPI*)()>(dll, "DllRegisterServer");
        return reg && reg() == S_OK;
    }
    std::vector<kavromt::Call> calls() {
        std::vector<kavromt::Call> out(256);
        out.resize(std::min<int32_t>(callsFn(out.data(), 256), 256));
        return out;
    }
    std::vector<std::string> methods() {
        std::vector<std::string> names;
        for (auto& c : calls()) names.push_back(c.method);
        return names;
    }
};

Server& server() {
    static Server s;
    return s;
}

// Trace lines, from whichever thread writes them.
std::mutex gTraceLock;
std::vector<std::string> gTrace;
void WINAPI recordTrace(LPCSTR line) {
    std::lock_guard<std::mutex> g(gTraceLock);
    gTrace.push_back(line);
}

class Worker : public HostTest {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(server().registered()); }

    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(server().setScript && server().callsFn && server().live && server().references);
        script({});
        traceThrough();
        ASSERT_TRUE(trace_->active());
    }
    void TearDown() override {
        ok("MT_DESTROY");
        // A worker left to end on its own finishes before the next test.
        waitFor([] { return server().live() == 0; });
        trace_.reset();
        HostTest::TearDown();
    }

    // The library's trace, recorded from a clean start.
    void traceThrough() {
        clearTrace();
        trace_ = hostemu::importPatch<decltype(&::OutputDebugStringA)>(host().module(), "kernel32.dll",
                                                                       "OutputDebugStringA", &recordTrace);
    }
    void startHost(Host::Options o = {}) {
        start(o);
        traceThrough();
    }
    static void script(kavromt::Script s) { server().setScript(&s); }
    // Polls until the server has had `calls` calls and holds no object.
    static bool settled(size_t calls) {
        return waitFor([calls] { return server().methods().size() == calls && server().live() == 0; });
    }
    static void clearTrace() {
        std::lock_guard<std::mutex> g(gTraceLock);
        gTrace.clear();
    }
    static std::vector<std::string> traced() {
        std::lock_guard<std::mutex> g(gTraceLock);
        return gTrace;
    }
    // The trace lines with the worker's thread id taken out.
    static std::vector<std::string> steps() {
        std::vector<std::string> out;
        for (std::string line : traced()) {
            if (line.rfind("TID=", 0) == 0) line = line.substr(line.find(' ') + 1);
            out.push_back(line);
        }
        return out;
    }
    static bool ended() {
        for (auto& s : steps())
            if (s == "End of thread reached  Kavro (plume)") return true;
        return false;
    }
    // Calls the server's "Ping" through `object`, as a script's method call does.
    static HRESULT ping(IDispatch* object) {
        wchar_t name[] = L"Ping";
        LPOLESTR names[1] = {name};
        DISPID id;
        const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0x800, &id);
        if (FAILED(hr)) return hr;
        DISPPARAMS none{};
        return object->Invoke(id, IID_NULL, 0x800, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    }
    // The script lets its object go, as the host does when its last variable goes.
    void letGo(const Value& o) {
        releaseObject(host(), o);
        collectObjects(host());
    }
    // Polls the condition for up to 30 s (the emulated suite is slow).
    template <class F>
    static bool waitFor(F done) {
        for (int i = 0; i < 600; ++i) {
            if (done()) return true;
            Sleep(50);
        }
        return done();
    }
    std::unique_ptr<hostemu::ImportPatch<decltype(&::OutputDebugStringA)>> trace_;
};

TEST_F(Worker, RunsUntilRunSaysNoThenCleansOnItsOwnApartment) {
    script({.runTrue = 2});
    EXPECT_FALSE(ok("MT_DEBUG", {Bool(true)}).b);  // the switch was off; now on
    const Value handle = ok("MT_CREATE");
    EXPECT_NE(handle.i, 0);
    EXPECT_EQ(handle.width, 12);
    ASSERT_TRUE(waitFor(ended));
    EXPECT_EQ(server().methods(), (std::vector<std::string>{"Run", "Run", "Run", "Clean"}));
    const auto calls = server().calls();
    for (auto& c : calls) {
        EXPECT_EQ(c.thread, calls[0].thread);
        EXPECT_NE(c.thread, GetCurrentThreadId());
        EXPECT_TRUE(c.apartment == APTTYPE_STA || c.apartment == APTTYPE_MAINSTA) << c.apartment;
    }
    EXPECT_EQ(server().live(), 0);  // every reference was given back
    const std::vector<std::string> want = {
        "Start thread",
        "CoInitialize=0",
        "CLSIDFromPogID=0",
        "CoCreateInstance=0",
        " QueryInterface(IDispatch)=0  pIUnknown->Release=1",
        "GetIDsOfName(Run)=0",
        "Invoke(Run)=0 varResult.vt=11 varResult.boolVal=65535",
        "Invoke(Run)=0 varResult.vt=11 varResult.boolVal=65535",
        "Invoke(Run)=0 varResult.vt=11 varResult.boolVal=0",
        "GetIDsOfName(Clean)=0",
        "Invoke(Clean)=0",
        "pIDispatch->Release=0",
        "End of thread reached  Kavro (plume)",
    };
    EXPECT_EQ(steps(), want);
    const std::string tid = "TID=" + std::to_string(calls.at(0).thread) + " ";
    for (auto& line : traced()) EXPECT_EQ(line.rfind(tid, 0), 0u) << line;
    // The pointer stays readable as a number after the worker let it go.
    const Value pointer = ok("MT_POINTER");
    EXPECT_NE(pointer.num, 0);
    EXPECT_EQ(pointer.width, 12);
    EXPECT_EQ(pointer.type, 'N');  // an address: never negative
    EXPECT_EQ(pointer.decimals, 0);
}

// A run that says no at once, fails, or answers something not a boolean ends
// after one call, and so does one started with arguments that are not text
// (the default names): Run once, then Clean.
TEST_F(Worker, RunsThatEndAtOnceCallRunOnceThenClean) {
    const struct {
        kavromt::Script script;
        std::vector<Value> args;
    } rows[] = {
        {{}, {Str("KavroMT.Server"), Str("Run"), Str("Clean")}},
        {{.runTrue = 5, .runFailsWith = static_cast<int32_t>(E_FAIL)}, {}},
        {{.runTrue = 5, .runAnswersNumber = 1}, {}},
        {{}, {Num(42), Int(1), Bool(true)}},
    };
    for (const auto& r : rows) {
        script(r.script);
        ok("MT_CREATE", r.args);
        ASSERT_TRUE(settled(2)) << "row " << &r - rows;
        EXPECT_EQ(server().methods(), (std::vector<std::string>{"Run", "Clean"})) << "row " << &r - rows;
        ok("MT_DESTROY");
    }
}

TEST_F(Worker, OtherMethodNamesAndAServerWithoutThem) {
    script({.runTrue = 1});
    ok("MT_CREATE", {Str("KavroMT.Other"), Str("Go"), Str("Tidy")});
    ASSERT_TRUE(settled(3));
    EXPECT_EQ(server().methods(), (std::vector<std::string>{"Run", "Run", "Clean"}));  // as the server calls them

    // The same server asked for "Run" and "Clean": neither name is known, nothing
    // is called, and the object is still given back.
    ok("MT_DEBUG", {Bool(true)});
    script({});
    clearTrace();
    ok("MT_CREATE", {Str("KavroMT.Other")});
    ASSERT_TRUE(waitFor(ended));
    EXPECT_TRUE(server().calls().empty());
    EXPECT_EQ(server().live(), 0);
    const auto s = steps();
    EXPECT_NE(std::find(s.begin(), s.end(), "GetIDsOfName(Run)=" + std::to_string(unsigned(DISP_E_UNKNOWNNAME))),
              s.end());
    EXPECT_NE(std::find(s.begin(), s.end(), "GetIDsOfName(Clean)=" + std::to_string(unsigned(DISP_E_UNKNOWNNAME))),
              s.end());
}

// An identifier that nobody registered: the worker ends quietly, the trace says why.
TEST_F(Worker, UnknownIdentifierEndsTheWorkerQuietly) {
    ok("MT_DEBUG", {Bool(true)});
    ok("MT_CREATE", {Str("Kavro.Nobody")});
    ASSERT_TRUE(waitFor(ended));
    const auto s = steps();
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(s[2], "CLSIDFromPogID=" + std::to_string(unsigned(CO_E_CLASSSTRING)));
    EXPECT_EQ(s.size(), 4u);  // start, CoInitialize, the lookup, the end
    EXPECT_TRUE(server().calls().empty());
}

TEST_F(Worker, NamesOneUnitOverTheirBuffersStartNothing) {
    const std::string name20(20, 'n'), id50(50, 'i');
    for (auto args : std::vector<std::vector<Value>>{{Str(id50 + "x")},
                                                     {Str("KavroMT.Server"), Str(name20 + "x")},
                                                     {Str("KavroMT.Server"), Str("Run"), Str(name20 + "x")}}) {
        Result r = host().call("MT_CREATE", args);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.message, "Invalid parameters");
        EXPECT_EQ(ok("MT_POINTER").num, 0);
    }
    Sleep(200);
    EXPECT_TRUE(server().calls().empty());
    // At the limit they fit: the run method of 20 characters is unknown, so only the clean one runs.
    ok("MT_CREATE", {Str("KavroMT.Server"), Str(name20), Str("Clean")});
    ASSERT_TRUE(settled(1));
    EXPECT_EQ(server().methods(), std::vector<std::string>{"Clean"});
    EXPECT_NE(ok("MT_CREATE", {Str(id50)}).i, 0);  // started; the identifier is simply not registered
}

TEST_F(Worker, DestroyStopsARunningWorker) {
    ok("MT_DESTROY");  // nothing to stop (tests/scripts/worker.prg shows the result)
    script({.runTrue = 1000000});
    ok("MT_CREATE");
    ASSERT_TRUE(waitFor([] { return !server().calls().empty(); }));
    ok("MT_DESTROY");
    EXPECT_EQ(server().methods().back(), "Clean");
    EXPECT_EQ(server().live(), 0);
    EXPECT_EQ(ok("MT_CREATE").width, 12);  // a new worker after a stop
}

// A stop right after the start is seen: both flags are up before the thread runs.
TEST_F(Worker, StopAtOnceAfterTheStartIsSeen) {
    script({.runTrue = 1000000});
    ok("MT_CREATE");
    ok("MT_DESTROY");
    ASSERT_TRUE(waitFor([] { return server().live() == 0; }));
    const auto m = server().methods();
    EXPECT_LE(std::count(m.begin(), m.end(), "Run"), 1);
}

// A clean method slower than the stop's wait: the stop gives up after its
// bounded wait and the thread ends on its own later, releasing the object.
TEST_F(Worker, SlowCleanOutlastsTheBoundedWait) {
    ok("MT_DEBUG", {Bool(true)});
    script({.runTrue = 1000000, .cleanMillis = 8000});
    ok("MT_CREATE");
    ASSERT_TRUE(waitFor([] { return !server().calls().empty(); }));
    clearTrace();
    ok("MT_DESTROY");
    const auto waited = traced();
    EXPECT_EQ(std::count(waited.begin(), waited.end(), "Exiting..."), 50);
    EXPECT_NE(ok("MT_POINTER").num, 0);
    ok("MT_DESTROY");  // returns at once: the library no longer counts a worker
    ASSERT_TRUE(waitFor([] { return server().live() == 0; }));
    ASSERT_TRUE(waitFor(ended));
}

// The script's object is a reference of its own, marshalled to the script's
// apartment: its calls are served on the worker's thread while the worker
// pauses; once the worker has ended they fail with a COM error, and letting
// the reference go is safe. The server object goes with the last reference
// in the worker's apartment, whether the script let go first or not.
TEST_F(Worker, ScriptObjectIsServedInTheWorkersApartmentAndOutlivesIt) {
    for (bool scriptLetsGoFirst : {true, false}) {
        script({.runTrue = 1000000});
        ok("MT_CREATE");
        ASSERT_TRUE(waitFor([] { return !server().calls().empty(); }));
        const Value o = ok("MT_OBJECT");
        ASSERT_EQ(o.type, 'O');
        EXPECT_EQ(heldObjectReferences(), 0);  // the library gave its copy back
        const HostObject* held = findObject(o);
        ASSERT_TRUE(held && held->dispatch);
        IDispatch* object = held->dispatch;
        // Not the worker's own pointer: that one belongs to the worker's apartment.
        ASSERT_NE(reinterpret_cast<uintptr_t>(object), static_cast<uintptr_t>(ok("MT_POINTER").num));
        EXPECT_EQ(ping(object), S_OK);
        const auto calls = server().calls();
        const auto p = std::find_if(calls.begin(), calls.end(), [](auto& c) { return c.method == std::string("Ping"); });
        ASSERT_NE(p, calls.end());
        EXPECT_EQ(p->thread, calls[0].thread);  // served on the worker's thread
        if (scriptLetsGoFirst) letGo(o);
        EXPECT_EQ(server().live(), 1);
        ok("MT_DESTROY");
        EXPECT_EQ(server().live(), 0);
        EXPECT_EQ(describe(ok("MT_OBJECT")), describe(Null('O')));
        if (!scriptLetsGoFirst) {
            EXPECT_TRUE(FAILED(ping(object)));
            letGo(o);
        }
    }
}

// A worker held up in a slow "Run" outlasts the stop's bounded wait. A new
// worker starts at once, on a state of its own: the old one calls "Run" no
// more, cleans and ends, and the new one runs on untouched.
TEST_F(Worker, AnAbandonedWorkerNeverTouchesItsSuccessor) {
    script({.runTrue = 1000000, .runMillis = 7000});
    ok("MT_CREATE");
    ASSERT_TRUE(waitFor([] { return server().live() == 1; }));
    Sleep(1000);  // inside its first "Run"
    ok("MT_DESTROY");
    // The successor runs on at a measured pace: unpaced, it could reach its
    // last "Run" and clean before the old worker does, on a loaded machine.
    script({.runTrue = 1000000, .runMillis = 20});
    EXPECT_NE(ok("MT_CREATE").i, 0);
    const auto cleaned = [] {
        const auto m = server().methods();
        return std::count(m.begin(), m.end(), "Clean") == 1 && server().live() == 1;
    };
    ASSERT_TRUE(waitFor(cleaned));
    const auto calls = server().calls();
    const uint32_t old = std::find_if(calls.begin(), calls.end(), [](auto& c) {
                             return c.method == std::string("Clean");
                         })->thread;
    std::vector<std::string> oldCalls;
    for (auto& c : calls)
        if (c.thread == old) oldCalls.push_back(c.method);
    EXPECT_EQ(oldCalls, (std::vector<std::string>{"Run", "Clean"}));
    const Value o = ok("MT_OBJECT");
    EXPECT_EQ(o.type, 'O');  // the new worker is alive
    letGo(o);
    ok("MT_DESTROY");
    EXPECT_EQ(server().live(), 0);
    EXPECT_EQ(server().methods().back(), "Clean");
}

// Every thread the library starts gives its handle and its module reference
// back, however it ends.
TEST_F(Worker, EveryThreadGivesBackItsHandleAndModuleReference) {
    const std::string nowhere = programDir() + "no such folder\\";
    struct Row {
        const char* what;
        int threads;
        std::function<void()> run;
    };
    const Row rows[] = {
        {"a worker stopped while it runs", 1,
         [&] {
             script({.runTrue = 1000000});
             ok("MT_CREATE");
             ASSERT_TRUE(waitFor([] { return !server().calls().empty(); }));
             ok("MT_DESTROY");
         }},
        {"a worker that ends on its own, then one that finds no server", 2,
         [&] {
             script({});
             ok("MT_CREATE");
             ASSERT_TRUE(settled(2));
             ok("MT_CREATE", {Str("Kavro.Nobody")});
             ok("MT_DESTROY");
         }},
        {"a start refused for its names", 0, [&] { host().call("MT_CREATE", {Str(std::string(51, 'i'))}); }},
        {"a bulk run in the background", 1,
         [&] { ok("S_DELFILES", {Str(nowhere + "*"), Bool(false), Bool(true)}); }},
        {"the forced-quit watcher", 1,
         [&] {
             ok("FF_QUIT", {Str(nowhere + "quit.sig"), Str("t"), Str("x")});
             ok("FF_QUIT", {Str(""), Str("t"), Str("x")});
         }},
    };
    for (const Row& row : rows) {
        ThreadLedger ledger(host().module());
        ASSERT_TRUE(ledger.active());
        row.run();
        EXPECT_TRUE(ledger.settle()) << row.what << ": " << ledger.references() << " module reference(s) kept";
        EXPECT_EQ(ledger.started(), row.threads) << row.what;
        EXPECT_EQ(ledger.openHandles(), 0) << row.what;
    }
}

// Unloading while the worker runs stops it within the bounded wait; nothing
// of the worker or the server is left behind.
TEST_F(Worker, UnloadStopsTheWorker) {
    script({.runTrue = 1000000});
    ok("MT_CREATE");
    ASSERT_TRUE(waitFor([] { return !server().calls().empty(); }));
    trace_.reset();
    stop();
    EXPECT_EQ(server().methods().back(), "Clean");
    ASSERT_TRUE(waitFor([] { return server().live() == 0; }));
    ASSERT_TRUE(waitFor([] { return GetModuleHandleA("Kavro.FLL") == nullptr; }));
    startHost();
}

// Even a worker stuck in a slow clean method when the library is unloaded
// keeps the library's code mapped until it has ended.
TEST_F(Worker, UnloadDuringASlowCleanLeavesNoThreadInUnmappedCode) {
    script({.runTrue = 1000000, .cleanMillis = 7000});
    ok("MT_CREATE");
    ASSERT_TRUE(waitFor([] { return !server().calls().empty(); }));
    trace_.reset();
    host().threadsOutliveUnload();
    stop();
    EXPECT_NE(GetModuleHandleA("Kavro.FLL"), nullptr);  // held by the worker
    ASSERT_TRUE(waitFor([] { return GetModuleHandleA("Kavro.FLL") == nullptr; }));
    EXPECT_EQ(server().live(), 0);
    EXPECT_EQ(server().methods().back(), "Clean");
    startHost();
}

TEST_F(Worker, CompanionModeStartsNothing) {
    trace_.reset();
    stop();
    Host::Options o;
    o.library = programDir() + "KavroMT.FLL";
    startHost(o);
    EXPECT_EQ(ok("MT_CREATE").i, 0);
    Sleep(200);
    EXPECT_TRUE(server().calls().empty());
}

}  // namespace
}  // namespace kavro_test

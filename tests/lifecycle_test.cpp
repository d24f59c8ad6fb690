// Load and unload, companion mode, the trace, the shared load count and the
// KAVRO_ functions, through the real library.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "frame/diagnostics.h"
#include "hostemu/iat.h"
#include "hostemu/msgbox.h"
#include "hostemu/window.h"
#include "text/strutil.h"
#include "tests/peer_support.h"
#include "tests/support.h"
#include "tests/ui_support.h"

namespace kavro_test {

namespace {

Host::Options libraryOptions(const std::string& path) {
    Host::Options o;
    o.library = path;
    return o;
}

// The trace lines the library wrote while it was patched.
std::vector<std::string> gTraced;
void WINAPI recordTrace(LPCSTR line) { gTraced.push_back(line); }

void setSwitch(const char* value) {
    const std::string assignment = std::string("TOLVA=") + (value ? value : "");
    _putenv(assignment.c_str());
}

class Lifecycle : public HostTest {
protected:
    void TearDown() override {
        HostTest::TearDown();
        setSwitch(nullptr);
    }

    // Loads `library` with the switch at `atLoad`, changes it to `later`,
    // unloads, and returns what the library traced from then on.
    std::vector<std::string> traceAcrossUnload(const std::string& library, const char* atLoad, const char* later) {
        stop();
        setSwitch(atLoad);
        start(libraryOptions(library));
        gTraced.clear();
        // Not restored: the library goes away with the unload below.
        EXPECT_NE(hostemu::patchImport<decltype(&::OutputDebugStringA)>(host().module(), "kernel32.dll",
                                                                         "OutputDebugStringA", &recordTrace),
                  nullptr);
        setSwitch(later);
        moduleValue_ = reinterpret_cast<uintptr_t>(host().module());
        stop();
        return gTraced;
    }

    // A host that has initialised the library but not yet called its load
    // entry: the test sets up `intercept` and calls load() itself.
    void startUnloaded() {
        stop();
        Host::Options o;
        o.load = false;
        start(o);
    }

    std::string unloadLine(const char* label) const {
        return "DllMain(H=" + std::to_string(moduleValue_) + " R=PD P=0)=1" + label;
    }

    uintptr_t moduleValue_ = 0;
};

}  // namespace

// The peer process of LoadCountSpansProcesses: loads the library, reports
// when it has, keeps it loaded until told, and exits with the count it saw.
int runLoadCountPeer(const char* library, const char* readyEvent, const char* goEvent) {
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyEvent);
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, goEvent);
    if (!ready || !go) return 100;
    int seen = 101;
    {
        Host host(libraryOptions(library));
        Result r = host.call("KAVRO_COUNT");
        if (r.ok() && r.value.type == 'I') seen = r.value.i;
        SetEvent(ready);
        WaitForSingleObject(go, 60000);
    }
    return seen;
}

// The second copy of TraceFromLoadToUnload: loads the library, calls it once
// and unloads it.
int runLoadOnce(const char* library) {
    Host host(libraryOptions(library));
    return host.call("KAVRO_MODE").ok() ? 0 : 1;
}

namespace {

// Runs runLoadOnce in a second copy of this program as its debugger, with
// the trace switch at `value`, and returns the library's trace lines.
std::vector<std::string> tracedByProcess(const std::string& library, const char* value) {
    std::string cmd = "\"" + programPath() + "\" --kavro-load \"" + library + "\"";
    setSwitch(value);  // inherited by the new process
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                                        nullptr, nullptr, &si, &pi);
    setSwitch(nullptr);
    if (!started) return {"(not started)"};
    std::vector<std::string> lines;
    for (bool exited = false; !exited;) {
        DEBUG_EVENT ev;
        if (!WaitForDebugEvent(&ev, 120000)) {
            lines.push_back("(no answer)");
            TerminateProcess(pi.hProcess, 1);
            break;
        }
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
            case OUTPUT_DEBUG_STRING_EVENT: {
                std::string text(ev.u.DebugString.nDebugStringLength, '\0');
                SIZE_T got = 0;
                ReadProcessMemory(pi.hProcess, ev.u.DebugString.lpDebugStringData, text.data(), text.size(), &got);
                text.resize(std::strlen(text.c_str()));
                if (text.find("(plume)") != std::string::npos) lines.push_back(text);
                break;
            }
            case CREATE_PROCESS_DEBUG_EVENT:
                if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
                break;
            case EXCEPTION_DEBUG_EVENT:
                // The program's own exceptions are its to handle.
                if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                    status = DBG_EXCEPTION_NOT_HANDLED;
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                exited = true;
                break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return lines;
}

}  // namespace

// The whole trace path in a process of its own: the line written when Windows
// maps the library, and the one when it goes, both with the copy's label.
TEST(LifecycleTrace, FromLoadToUnload) {
    for (const char* name : {"Kavro.FLL", "KavroMT.FLL"}) {
        const std::string label = std::string(name) == "Kavro.FLL" ? "      Kavro (plume)" : "      KavroMT (plume)";
        const std::vector<std::string> lines = tracedByProcess(programDir() + name, "DEBUG1");
        ASSERT_EQ(lines.size(), 2u) << name << (lines.empty() ? "" : ": " + lines[0]);
        const std::string module = lines[0].substr(0, lines[0].find(' '));  // "DllMain(H=..."
        EXPECT_EQ(module.rfind("DllMain(H=", 0), 0u) << lines[0];
        EXPECT_EQ(lines[0], module + " R=PA P=0)=1" + label);
        EXPECT_EQ(lines[1], module + " R=PD P=0)=1" + label);
        EXPECT_TRUE(tracedByProcess(programDir() + name, "debu").empty()) << name;
    }
}

TEST_F(Lifecycle, CompanionCopyRunsInCompanionMode) {
    stop();
    start(libraryOptions(programDir() + "KavroMT.FLL"));
    EXPECT_EQ(ok("KAVRO_MODE"), Bool(true));
    EXPECT_EQ(ok("KAVRO_COUNT").i, 1);  // its own file, its own shared block
}

TEST_F(Lifecycle, CompanionNameRule) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "kavro-names-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    const struct {
        const char* name;
        bool companion;
    } cases[] = {{"CopyMT.FLL", true}, {"copymt.dll", true}, {"MT.FLL", true},
                 {"CopyMT.FL", false}, {"CopyM.FLL", false}, {"CopyMTX.FLL", false}};
    stop();
    for (const auto& c : cases) {
        const std::string path = dir + c.name;
        ASSERT_TRUE(CopyFileA((programDir() + "Kavro.FLL").c_str(), path.c_str(), FALSE)) << c.name;
        start(libraryOptions(path));
        EXPECT_EQ(ok("KAVRO_MODE"), Bool(c.companion)) << c.name;
        stop();
        DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(dir.c_str());
    EXPECT_FALSE(kv::isCompanionFileName("MT.", 3));
    EXPECT_FALSE(kv::isCompanionFileName("", 0));
}

TEST_F(Lifecycle, TraceSwitchAndLabel) {
    const std::string plain = programDir() + "Kavro.FLL";
    std::vector<std::string> lines = traceAcrossUnload(plain, "DEBUG1", nullptr);
    EXPECT_EQ(lines, std::vector<std::string>{unloadLine("      Kavro (plume)")});
    lines = traceAcrossUnload(plain, "debug", nullptr);
    EXPECT_EQ(lines, std::vector<std::string>{unloadLine("      Kavro (plume)")});
    EXPECT_TRUE(traceAcrossUnload(plain, "debu", "DEBUG").empty());  // read once: a later change has no effect
    EXPECT_TRUE(traceAcrossUnload(plain, nullptr, "DEBUG").empty());
    EXPECT_TRUE(traceAcrossUnload(plain, "xdebug", nullptr).empty());
    lines = traceAcrossUnload(programDir() + "KavroMT.FLL", "Debugging", nullptr);
    EXPECT_EQ(lines, std::vector<std::string>{unloadLine("      KavroMT (plume)")});
}

TEST(TraceLine, LongTextIsCutSoTheLabelFits) {
    const char* label = "      KavroMT (plume)";
    char line[kv::kTraceBufferSize];
    std::memset(line, 'x', sizeof line);
    const std::string text(3000, 'a');
    const size_t n = kv::composeTraceLine(line, sizeof line, text.c_str(), label);
    EXPECT_EQ(n, sizeof line - 1);
    EXPECT_EQ(std::strlen(line), n);
    EXPECT_EQ(std::string(line).substr(n - std::strlen(label)), label);
    EXPECT_EQ(std::string(line, n - std::strlen(label)), std::string(n - std::strlen(label), 'a'));
    // One byte short of the limit is kept whole.
    const std::string fits(sizeof line - 1 - std::strlen(label), 'b');
    kv::composeTraceLine(line, sizeof line, fits.c_str(), label);
    EXPECT_EQ(std::string(line), fits + label);
    EXPECT_TRUE(kv::traceSwitchOn("DeBuG"));
    EXPECT_FALSE(kv::traceSwitchOn("debu"));
    EXPECT_FALSE(kv::traceSwitchOn(nullptr));
}

TEST_F(Lifecycle, SharedBlockIsASharedWritableSection) {
    auto* base = reinterpret_cast<uint8_t*>(host().module());
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(nt);
    bool found = false;
    for (int k = 0; k < nt->FileHeader.NumberOfSections; ++k, ++s) {
        if (std::strncmp(reinterpret_cast<const char*>(s->Name), ".kvshare", 8) != 0) continue;
        found = true;
        EXPECT_TRUE(s->Characteristics & IMAGE_SCN_MEM_SHARED);
        EXPECT_TRUE(s->Characteristics & IMAGE_SCN_MEM_WRITE);
        EXPECT_GE(s->Misc.VirtualSize, 7u * 4);
    }
    EXPECT_TRUE(found);
}

namespace {
// A peer process (runLoadCountPeer) that loads the library, holds it until
// told to go, and ends with the count it saw.
class LoadPeer {
public:
    LoadPeer(const std::string& library, const std::string& tag)
        : ready_(CreateEventA(nullptr, TRUE, FALSE, ("KavroPeerReady" + tag).c_str())),
          go_(CreateEventA(nullptr, TRUE, FALSE, ("KavroPeerGo" + tag).c_str())),
          peer_("--kavro-peer \"" + library + "\" KavroPeerReady" + tag + " KavroPeerGo" + tag) {}
    ~LoadPeer() {
        CloseHandle(ready_);
        CloseHandle(go_);
    }
    LoadPeer(const LoadPeer&) = delete;
    LoadPeer& operator=(const LoadPeer&) = delete;

    // True once the peer has loaded the library; false when it ended or hung first.
    bool loaded() {
        HANDLE waitOn[] = {ready_, peer_.process()};
        return peer_.started() && WaitForMultipleObjects(2, waitOn, FALSE, 120000) == WAIT_OBJECT_0;
    }
    // Lets it unload and end; its exit code, the count it saw.
    DWORD release() {
        SetEvent(go_);
        return peer_.finish(120000);
    }
    // Ends it with the library loaded.
    void kill() {
        TerminateProcess(peer_.process(), 3);
        EXPECT_EQ(WaitForSingleObject(peer_.process(), 120000), WAIT_OBJECT_0);
    }

private:
    HANDLE ready_, go_;
    Peer peer_;
};
}  // namespace

TEST_F(Lifecycle, LoadCountSpansProcesses) {
    ASSERT_EQ(ok("KAVRO_COUNT").i, 1);
    LoadPeer peer(modulePath(host().module()), std::to_string(GetCurrentProcessId()));
    const bool loaded = peer.loaded();
    EXPECT_TRUE(loaded) << "the peer ended or hung before it loaded the library";
    if (loaded) {
        EXPECT_EQ(ok("KAVRO_COUNT").i, 2);
    }
    EXPECT_EQ(peer.release(), 2u);
    EXPECT_EQ(ok("KAVRO_COUNT").i, 1);
}

// A process that dies with the library loaded never unloads it: its loads
// stop counting once it is gone, while a process that unloads normally is
// counted as before.
TEST_F(Lifecycle, LoadCountLeavesOutProcessesThatDied) {
    ASSERT_EQ(ok("KAVRO_COUNT").i, 1);
    std::vector<std::unique_ptr<LoadPeer>> peers;
    for (int k = 0; k < 3; ++k) {
        peers.push_back(std::make_unique<LoadPeer>(modulePath(host().module()),
                                                   "Dying" + std::to_string(GetCurrentProcessId()) + "_" +
                                                       std::to_string(k)));
        ASSERT_TRUE(peers.back()->loaded()) << "peer " << k;
    }
    EXPECT_EQ(ok("KAVRO_COUNT").i, 4);
    // Two die with the library loaded (our handles keep their ids from being reused).
    peers[0]->kill();
    peers[1]->kill();
    EXPECT_EQ(ok("KAVRO_COUNT").i, 2);
    EXPECT_EQ(ok("KAVRO_COUNT").i, 2);  // and stay left out
    // The third unloads normally.
    EXPECT_EQ(peers[2]->release(), 4u);
    EXPECT_EQ(ok("KAVRO_COUNT").i, 1);
}

namespace {
HANDLE gGate = nullptr;  // the background copy waits here until the test opens it
BOOL WINAPI gatedCopy(LPCSTR from, LPCSTR to, BOOL failIfExists) {
    WaitForSingleObject(gGate, 20000);
    return CopyFileA(from, to, failIfExists);
}
BOOL WINAPI quietNotify(DWORD, PNOTIFYICONDATAA) { return TRUE; }
}  // namespace

// The unload waits for a background file run while the host runs events: a
// script that runs then installs no new callback. A host that refuses the
// wait's command does not keep the steps after it from running.
TEST_F(Lifecycle, UnloadRefusesNewCallbacksAndRunsEveryStep) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "kavro-unload-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    std::ofstream(dir + "a.txt") << "a";
    for (const bool refuse : {false, true}) {
        SCOPED_TRACE(refuse ? "the host refuses the wait" : "a script runs in the wait");
        stop();
        start(Host::Options{});
        gGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        hostemu::patchImport<decltype(&::CopyFileA)>(host().module(), "kernel32.dll", "CopyFileA", &gatedCopy);
        hostemu::patchImport<decltype(&::Shell_NotifyIconA)>(host().module(), "shell32.dll", "Shell_NotifyIconA",
                                                              &quietNotify);
        HWND w = CreateWindowExA(0, "STATIC", "hooked", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        const Value window = Int(static_cast<int32_t>(reinterpret_cast<uintptr_t>(w)));
        ok("H_WNDPROC", {window, Int(WM_USER), Str("P")});
        ok("H_TRAYICON", {Int(1), Str("tip"), Str("ONTRAY")});
        ok("S_COPYFILES", {Str(dir + "*.txt"), Str(dir + "b.out"), Bool(false), Bool(true)});
        std::vector<int> refused;
        host().defineCommand("WAIT", [&](const std::string&) {
            refused = {error("ONTIME", {Int(-30), Str("N = 1")}), error("H_WNDPROC", {window, Int(1), Str("P")}),
                       error("TP_HOOK", {Bool(true)}), error("H_TRAYICON", {Int(1), Str("tip"), Str("ONTRAY")}),
                       error("MT_CREATE")};
            EXPECT_TRUE(ok("BM_", {Int(1), Int(64)}).b);  // a map made now goes with the rest
            EXPECT_EQ(ok("ONTIME"), Bool(false));  // asking still answers
            SetEvent(gGate);
            return 0;
        });
        if (refuse)
            host().intercept = [](HostCallRecord& r) {
                if (r.api != api::Execute) return;
                r.api = api::Error;
                r.arg1 = 1098;
                SetEvent(gGate);  // the run goes on by itself, holding the library, and ends
            };
        const std::string library = modulePath(host().module());
        host().unload();
        host().intercept = nullptr;
        if (!refuse) {
            EXPECT_EQ(refused, std::vector<int>(5, 901));
        }
        EXPECT_TRUE(runsClassProcedure(w));
        EXPECT_TRUE(runsClassProcedure(mainWindow(host())));
        SetEvent(gGate);
        for (int k = 0; k < 2000 && GetModuleHandleA(library.c_str()); ++k) Sleep(10);  // the run ends, and lets go
        EXPECT_EQ(GetModuleHandleA(library.c_str()), nullptr);
        DestroyWindow(w);
        CloseHandle(gGate);
        DeleteFileA((dir + "b.out").c_str());
    }
    DeleteFileA((dir + "a.txt").c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST_F(Lifecycle, VersionShowsABoxAndNamesTheResourceVersion) {
    const Value v = ok("KAVRO_VER");
    ASSERT_EQ(v.type, 'C');
    EXPECT_EQ(v.str.rfind("Kavro VFP API library", 0), 0u) << v.str;
    EXPECT_NE(v.str.find(KAVRO_VERSION_TEXT), std::string::npos) << v.str;
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].owner, nullptr);
    EXPECT_EQ(messageBoxes()[0].text, "See Version tab in file Properties dialog");
    EXPECT_EQ(messageBoxes()[0].caption, "Kavro");
    EXPECT_EQ(messageBoxes()[0].style, 0x40u);
}

TEST_F(Lifecycle, LoadAsksForTheMainWindowAndTheCaseRules) {
    startUnloaded();
    std::vector<std::string> evaluated;
    std::string stored;
    host().intercept = [&](HostCallRecord& r) {
        if (r.api == api::Evaluate) evaluated.push_back(reinterpret_cast<const char*>(r.arg2));
        if (r.api == api::Store) {
            const auto* v = reinterpret_cast<const HostValue*>(r.arg2);
            stored = host().handleBytes(v->handle, v->length);
        }
        if (r.api == api::SystemWindow) {
            EXPECT_EQ(r.arg1, 0u);
            EXPECT_EQ(r.arg2, 1u);
        }
    };
    host().load();
    const std::vector<int32_t> firstCalls(host().apiLog.begin(), host().apiLog.begin() + 2);
    EXPECT_EQ(firstCalls, (std::vector<int32_t>{api::SystemWindow, api::WindowHwnd}));
    EXPECT_EQ(evaluated, (std::vector<std::string>{"UPPE(_Q_)", "LOWE(_Q_)", "set([fdow])"}));
    ASSERT_EQ(stored.size(), 256u);
    for (int c = 0; c < 256; ++c) EXPECT_EQ(static_cast<uint8_t>(stored[c]), c);
    EXPECT_FALSE(host().hasVar("_Q_"));
    HWND main = mainWindow(host());
    EXPECT_TRUE(IsWindow(main));
    EXPECT_FALSE(IsWindowVisible(main));
}

// A host that answers none of the load's questions: the load completes on
// what it has and reads nothing the host did not fill in.
TEST_F(Lifecycle, LoadSurvivesAHostThatAnswersNothing) {
    startUnloaded();
    setSetting("FDOW", Num(5));
    host().intercept = [](HostCallRecord& r) {
        if (r.api != api::RetValue) r.api = 0;  // left as it came: nobody answered
    };
    host().load();
    host().intercept = nullptr;
    EXPECT_EQ(ok("KAVRO_COUNT").i, 1);
    EXPECT_EQ(ok("D_SETDFDOW").i, 1);  // the default stayed
    EXPECT_EQ(ok("U_INIT", {Str("hello wORLD")}).str, "hello wORLD");  // no letters known
}

TEST_F(Lifecycle, LoadKeepsItsOwnWhenAnswersAreShort) {
    startUnloaded();
    host().intercept = [&](HostCallRecord& r) {
        if (r.api != api::Evaluate) return;
        r.arg1 = host().toHost(Str("SHORT"), *reinterpret_cast<HostValue*>(r.arg1)) ? 0 : 43;
        r.api = 0;
    };
    host().load();  // the host's short answers are freed, nothing else happens
    host().intercept = nullptr;
    EXPECT_EQ(ok("D_SETDFDOW").i, 1);
    EXPECT_EQ(ok("U_INIT", {Str("hello wORLD")}).str, "hello wORLD");
}

// The case tables are the host's answers, byte for byte: here a host whose
// only letter is x.
TEST_F(Lifecycle, CaseTablesAreTheHostsAnswers) {
    startUnloaded();
    host().intercept = [&](HostCallRecord& r) {
        if (r.api != api::Evaluate) return;
        const std::string expr = host().cstring(r.arg2);
        if (expr.find("_Q_") == std::string::npos) return;
        std::string table(256, 0);
        for (int c = 0; c < 256; ++c) table[c] = static_cast<char>(c);
        if (expr == "UPPE(_Q_)") table['x'] = 'X';
        table += "and more";  // only the first 256 bytes count
        r.arg1 = host().toHost(Str(table), *reinterpret_cast<HostValue*>(r.arg1)) ? 0 : 43;
        r.api = 0;
    };
    host().load();
    host().intercept = nullptr;
    EXPECT_EQ(ok("U_INIT", {Str("xx ab X")}).str, "Xx ab X");
}

TEST_F(Lifecycle, CaseTablesFollowTheHostsCodePage) {
    uint8_t upperTable[256], lowerTable[256];
    for (int c = 0; c < 256; ++c) upperTable[c] = lowerTable[c] = static_cast<uint8_t>(c);
    CharUpperBuffA(reinterpret_cast<char*>(upperTable), 256);
    CharLowerBuffA(reinterpret_cast<char*>(lowerTable), 256);
    std::string in = "hello wORLD \xE0\xE0\xC0 x1y";
    std::string want = in;
    kv::text::properCase(reinterpret_cast<uint8_t*>(want.data()), want.size(), upperTable, lowerTable);
    EXPECT_EQ(ok("U_INIT", {Str(in)}).str, want);
}

TEST_F(Lifecycle, HostCaseFunctionsFollowTheAnsiCodePage) {
    std::string all(256, 0), upperAll, lowerAll;
    for (int c = 0; c < 256; ++c) all[c] = static_cast<char>(c);
    host().setVar("ALLBYTES", Str(all));
    upperAll = lowerAll = all;
    CharUpperBuffA(upperAll.data(), 256);
    CharLowerBuffA(lowerAll.data(), 256);
    EXPECT_EQ(eval("UPPE(ALLBYTES)").str, upperAll);
    EXPECT_EQ(eval("LOWE(ALLBYTES)").str, lowerAll);
    EXPECT_EQ(eval("UPPE('az09,.')").str, "AZ09,.");
}

}  // namespace kavro_test

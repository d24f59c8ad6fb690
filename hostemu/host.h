// The emulated host. It loads the real library, hands it the callback and the
// tables, and then plays the host's part of every request: it checks calls
// against the function table, passes parameters, receives results, answers
// the library's host operations, and evaluates a small expression language.
//
// It trusts nothing the library does: a result handle that is not live, a
// parameter handle the library freed, a handle left allocated after a call, a
// host call made after an error was raised or an unknown API code is reported
// as a violation.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "frame/records.h"
#include "hostemu/value.h"

namespace hostemu {

struct Result {
    Value value;
    int error = 0;        // host error number, 0 on success
    std::string message;  // the error's text
    bool ok() const { return error == 0; }
    bool returned = true;  // false when the library set no result (the value is then the host's .T.)
};

class Host;

using Procedure = std::function<Value(std::vector<Value>& args)>;
// Answers one API code of the callback. The host's parts for files, tables,
// windows and the like live in their own files and register their codes.
using ApiHandler = void (*)(Host& host, HostCallRecord& r);
void registerApi(int32_t code, ApiHandler handler);
struct ApiRegistration {
    ApiRegistration(int32_t code, ApiHandler handler) { registerApi(code, handler); }
};
// Answers HostFindVar, HostLoad and HostStore for table fields (where != -1);
// the host itself answers them for memory variables.
void registerFieldApi(int32_t code, ApiHandler handler);
struct FieldApiRegistration {
    FieldApiRegistration(int32_t code, ApiHandler handler) { registerFieldApi(code, handler); }
};
// Fills the locator of a by-reference argument that names no memory variable
// (a field of the current table); false when there is no such field.
using FieldResolver = bool (*)(Host& host, const std::string& name, HostLocator& out);
void registerFieldResolver(FieldResolver resolver);
using Command = std::function<int(const std::string& rest)>;  // 0 = success
// Runs each time a host has loaded the library, before opcode 0; the host's
// parts that answer the library's calls to Windows patch its imports here.
using LoadHook = void (*)(Host& host, HMODULE library);
void registerLoadHook(LoadHook hook);
struct LoadRegistration {
    explicit LoadRegistration(LoadHook hook) { registerLoadHook(hook); }
};

struct Variable {
    bool array = false;
    int rows = 0, cols = 0;   // cols 0: one-dimensional
    std::vector<Value> items; // a scalar holds one item
};

class Host {
public:
    struct Options {
        std::string library;          // path of the FLL; empty: KAVRO_FLL, else Kavro.FLL beside the program
        bool initialise = true;       // send opcode 0
        bool load = true;             // call the on-load entry
        uint16_t handleCapacity = 2048;
        uint16_t slotCapacity = 256;
        // The longest character value the host can take from the library; a
        // longer one fails as a host out of memory does (error 43). 0: no limit.
        uint32_t largestValue = 0;
        // When set, a call that succeeds without setting a result (the script
        // gets the host's default .T.) is a violation unless this accepts the
        // function's name: the functions that document no result.
        std::function<bool(const std::string&)> mayOmitResult;
    };

    Host();
    explicit Host(Options options);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The host in whose process the library currently runs.
    static Host* current();

    // ---- calling the library ----
    // Calls a script function as the host does: checks the call against the
    // table row, passes the parameters, returns the result or the error.
    Result call(const std::string& function, std::vector<Value> args = {});
    // Evaluates an expression; runs one command line.
    Result evaluate(const std::string& expression);
    Result execute(const std::string& command);
    // Runs a script: one statement a line, '*' starts a comment.
    Result run(const std::string& script);

    // The raw entry point, for tests of the protocol itself.
    int dispatch(DispatchRecord& record);
    // While set, requests go to `entry` instead of the library (null: to the
    // library again): a benchmark times the host's own part of a call with an
    // entry that does nothing.
    void divertEntry(int(__fastcall* entry)(DispatchRecord*)) { diverted_ = entry; }
    // A raw request run as a script call: its host calls are answered, its
    // result or error comes back.
    Result request(DispatchRecord& record);
    void initialise();  // opcode 0 with this host's tables
    void load();        // the on-load entry; the constructor does it unless Options::load is false
    void unload();      // on-unload entry, then FreeLibrary; the destructor does it too
    HMODULE module() const { return module_; }
    const FoxTableHeader* table() const { return table_; }
    const FoxEntry* entry(const std::string& name) const;
    const FoxEntry* specialEntry(int16_t count) const;

    // ---- the host's tables ----
    HandleTable* handles() { return handles_; }
    SlotTable* slots() { return slots_; }
    std::vector<MemHandle> liveHandles() const;
    // Handles the host itself allocates (parameters, evaluated values).
    MemHandle allocHandle(const void* data, uint32_t size);
    void freeHandle(MemHandle h);
    std::string handleBytes(MemHandle h, uint32_t size) const;
    // Handles a test means to keep across calls; anything else left after a
    // top-level call is a leak.
    void keepHandle(MemHandle h) { kept_.insert(h); }
    // For families that hold handles of their own across calls (bit maps):
    // handles left after a call are then kept instead of reported, and only
    // the unload must free them.
    void holdHandles(bool on) { holdHandles_ = on; }
    // Holds only what calls of the functions whose names begin with `prefix`
    // leave (a family's own, such as "BM_"); anything another call leaves is
    // still a leak.
    void holdHandlesOf(const std::string& prefix);

    // ---- variables and script procedures ----
    void setVar(const std::string& name, Value v);
    Value var(const std::string& name) const;
    bool hasVar(const std::string& name) const;
    void dimension(const std::string& name, int rows, int cols = 0);
    Value element(const std::string& name, int row, int col = 0) const;
    void setElement(const std::string& name, int row, int col, Value v);
    const Variable* variable(const std::string& name) const;
    void release(const std::string& name);
    const std::map<std::string, Variable>& variables() const { return vars_; }
    // A variable as it stands (a procedure keeps a parameter's outer value), and put back.
    std::map<std::string, Variable>& variableTable() { return vars_; }
    // Ends the program's variables: each object they held loses its reference.
    void releaseAll();
    // Whether a statement or a library call is under way (objects made then
    // belong to the script, and go at the end of the statement unless kept).
    bool inStatement() const { return statements_ > 0 || !frames_.empty(); }
    void defineProc(const std::string& name, Procedure p);
    void defineCommand(const std::string& word, Command c);
    // Every call of a script procedure, in order: its name and arguments.
    struct ProcCall {
        std::string name;
        std::vector<Value> args;
    };
    std::vector<ProcCall> procCalls;

    // ---- the message loop (loop.cpp) ----
    // Runs the host's message loop for ms milliseconds: posted messages,
    // messages sent from other threads and timers are dispatched, and between
    // them, as between two statements, every routine registered with
    // HostActivateHandler is called back through DispatchAPI.
    void pump(int ms);
    // Runs it until done() is true, or at most ms milliseconds; whether done() came true.
    bool pumpUntil(const std::function<bool()>& done, int ms = 5000);
    // Runs fn as the message loop runs a message: the host calls that window
    // or timer procedures make from inside are answered.
    void inLoop(const std::function<void()>& fn);
    // SendMessageA from inside the loop.
    LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Routines registered with HostActivateHandler (58), by handler id.
    struct Activation {
        word_t routine;
        int16_t kind;
    };
    const std::map<int32_t, Activation>& activations() const { return activations_; }
    int32_t activate(word_t routine, int16_t kind, word_t entry);  // 58; the new id
    void deactivate(int32_t id);                                   // 59
    // Calls every registered routine once, as the loop does between statements.
    void runActivations();
    // Errors the host recorded while it ran the loop (a script error raised
    // by the host into a window procedure, a timer command's error...).
    std::vector<Result> loopErrors;

    // ---- faults ----
    // The library's next n GlobalAlloc (GlobalReAlloc) calls fail, after the
    // first `after` ones have succeeded.
    void failAllocations(int n, int after = 0);
    void failResizes(int n, int after = 0);
    // Injected failures not yet reached: a call that leaves one pending made
    // fewer allocations (resizes) than it was given to pass.
    int pendingAllocationFailures() const;
    int pendingResizeFailures() const;
    void failNextLoad(int error) { loadFault_ = error; }
    void failNextStore(int error) { storeFault_ = error; }
    // The next HostNewVar answers minus `error`, creating nothing.
    void failNextNewVar(int error) { newVarFault_ = error; }
    // The next unload leaves threads the library gave up waiting for running
    // on purpose: the ledger is not checked then, and the test sees to the
    // threads' end (the library's going from memory) itself.
    void threadsOutliveUnload() { threadsOutlive_ = true; }
    // While the unload entry runs, the host refuses host calls, raising
    // `error` into the library as a real host's failing command does: the
    // n-th call of the unload (from 1), or every call of one API code.
    void refuseUnloadCall(int n, int error = 1) { refuseNth_ = n, refuseError_ = error; }
    void refuseUnloadApi(int32_t code, int error = 1) { refuseApi_ = code, refuseError_ = error; }
    // The pending load fault, cleared (for the parts that answer loads of fields).
    int takeLoadFault() { return std::exchange(loadFault_, 0); }

    // ---- what the host saw ----
    std::string output;                   // HostPutText
    std::vector<std::string> executed;    // HostExecute commands, in order
    std::vector<std::string> violations;  // what the library did wrong
    std::function<void(const std::string&)> onViolation;
    // Runs before the host answers each callback; may change the record
    // (set its code to 83 to answer with an error) or call the library again.
    std::function<void(HostCallRecord&)> intercept;
    std::vector<int32_t> apiLog;  // API codes of every callback, in order
    // The library's functions whose calls succeeded without setting a
    // result (the script got the host's default .T.), in order.
    std::vector<std::string> noResult;
    int depth() const { return static_cast<int>(frames_.size()); }

    // ---- used by the expression language ----
    int nameIndex(const std::string& name) const;
    // The name's index in the host's name table, entered there if new.
    int internName(const std::string& name);
    const std::string& nameAt(int index) const { return names_.at(static_cast<size_t>(index)); }
    Result callByName(const std::string& name, std::vector<Value>& args, bool& found);
    static std::string errorText(int number);

    void violation(const std::string& what);
    DWORD scriptThread() const { return scriptThread_; }

    // One request in progress: the function, its result or error, its parameter handles.
    struct Frame {
        std::string function;
        bool hasResult = false;
        Value result;
        int error = 0;
        std::string message;
        std::vector<std::pair<MemHandle, word_t>> params;  // handle, its Win32 block
        std::vector<MemHandle> borrowed;                    // handles of HandleArg parameters
    };
    Frame& frame() { return frames_.back(); }
    // Answers the record with a host error: the library unwinds.
    void raise(HostCallRecord& r, int error, std::string message = {});
    // Values crossing the boundary. fromHost frees a character value's handle when takeHandle.
    Value fromHost(const HostValue& hv, bool takeHandle);
    bool toHost(const Value& v, HostValue& out);
    std::string cstring(word_t address) const;
    Value* locate(const HostLocator& loc, int& error);
    // Run when the host goes away; extensions reset their state here.
    std::vector<std::function<void()>> cleanups;
    // Run after every top-level call with the function's name; extensions
    // report what the library left behind (open channels...) as violations.
    std::vector<std::function<void(const std::string& after)>> leakChecks;

private:
    static Frame makeFrame(const std::string& function);
    // Dispatches one request with its own frame; the finished frame comes back.
    Frame runInFrame(DispatchRecord& record, Frame frame);
    static void __fastcall callback(HostCallRecord* r);
    void answer(HostCallRecord& r);
    bool checkArgs(const FoxEntry& e, std::vector<Value>& args);
    void checkLeaks(const std::string& after);
    void loadLibrary();
    // Calls the special entry of the given count (load -2, unload -3) in a frame of its own.
    void callSpecial(int16_t count, const char* frameName, const char* what);

    Options opts_;
    HMODULE module_ = nullptr;
    int(__fastcall* entry_)(DispatchRecord*) = nullptr;
    int(__fastcall* diverted_)(DispatchRecord*) = nullptr;
    const FoxTableHeader* table_ = nullptr;
    HandleTable* handles_ = nullptr;
    SlotTable* slots_ = nullptr;
    std::vector<Frame> frames_;
    std::set<MemHandle> kept_;
    std::map<std::string, Variable> vars_;
    std::vector<std::string> names_;
    std::map<std::string, Procedure> procs_;
    std::map<std::string, Command> commands_;
    std::map<int32_t, Activation> activations_;
    int32_t nextActivation_ = 1;
    int loadFault_ = 0, storeFault_ = 0, newVarFault_ = 0;
    int statements_ = 0;  // statements and evaluations under way
    // Runs a statement or evaluation; objects left without references go after the outermost.
    // An evaluation's object result is the test's (keepsResult), a command's is not.
    Result statement(const std::function<Result()>& run, bool keepsResult);
    bool loaded_ = false;
    bool unloading_ = false;
    bool threadsOutlive_ = false;
    int unloadCalls_ = 0, refuseNth_ = 0, refuseError_ = 1;
    int32_t refuseApi_ = 0;
    DWORD scriptThread_ = 0;  // the host's script thread: the only one that may call the host
    bool holdHandles_ = false;
    std::string holdPrefix_;  // empty: every function's handles are held
};

std::string upper(std::string s);

}  // namespace hostemu

// The worker thread: it creates a COM object by its programmatic identifier,
// calls its run method once a second for as long as it answers true, then its
// clean method once, and lets the object go. The worker never calls the host.
//
// Each MT_CREATE gives its worker a state of its own, shared by the host's
// thread and that worker alone, so that a worker the stop routine stopped
// waiting for finishes on its own state and never touches its successor's.
// The server object lives in the worker's apartment: the script gets a
// reference marshalled to its own apartment through the global interface
// table, and the worker's pauses serve the calls made on it.
#include "worker/worker.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>

#include "frame/kavro.h"
#include "frame/own.h"
#include "frame/phase.h"
#include "frame/state.h"
#include "frame/thread.h"
#include "frame/trace.h"

using namespace kv;

namespace {

constexpr int kStopPolls = 50;       // the stop routine waits at most 50 x 100 ms
constexpr DWORD kStopPollMillis = 100;
constexpr DWORD kRunPauseMillis = 1000;

// {00000323-0000-0000-C000-000000000046}: the system's global interface table.
constexpr CLSID kInterfaceTable = {0x00000323, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// One worker's state. The host's thread and the worker each hold a share;
// whichever lets go last frees it.
struct Worker : SharedState {
    std::atomic<int32_t> WorkerKeepRunning{1};  // cleared to ask the worker to stop, or by the worker
    OwnHandle stop;                             // set with WorkerKeepRunning cleared: ends the worker's pause
    std::atomic<IDispatch*> ServerDispatch{nullptr};  // the server object, in the worker's apartment
    std::atomic<uint32_t> cookie{0};  // its entry in the interface table while the script may have it
    OwnHandle asked;    // set by MT_OBJECT: the script wants the object
    OwnHandle offered;  // set by the worker once it has answered (or will answer no more)
    wchar_t ServerProgId[51];
    wchar_t RunMethodName[21];
    wchar_t CleanMethodName[21];
};

// The host's side.
Worker* gWorker = nullptr;               // the current worker's state; none once stopped
OwnHandle WorkerHandle;                  // its thread
uintptr_t gLastPointer = 0;              // the stopped worker's server object, for MT_POINTER until the next start
std::atomic<int32_t> WorkerTrace{-1};    // -1 until read from the library's trace switch

void trace(const char* format, ...) {
    if (WorkerTrace != 1) return;
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    OutputDebugStringA(line);
}

void readTraceSwitch() {
    if (WorkerTrace == -1) WorkerTrace = DebugTrace(nullptr);
}

bool openInterfaceTable(ComPtr<IGlobalInterfaceTable>& table) {
    return CoCreateInstance(kInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                            table.out()) == S_OK;
}

// Calls a method without arguments; the result variant is left for the caller.
HRESULT invoke(IDispatch* object, DISPID id, VARIANT& result) {
    DISPPARAMS none{};
    VariantInit(&result);
    return object->Invoke(id, IID_NULL, 0x800, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
}

DISPID methodId(IDispatch* object, wchar_t* name, HRESULT& hr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {name};
    hr = object->GetIDsOfNames(IID_NULL, names, 1, 0x800, &id);
    return id;
}

// Puts the object in the interface table, once, when the script first asks
// for it: a worker that is never asked marshals nothing.
void offer(Worker& w, IGlobalInterfaceTable* table) {
    DWORD cookie = 0;
    if (!w.cookie && table && table->RegisterInterfaceInGlobal(w.ServerDispatch, IID_IDispatch, &cookie) == S_OK)
        w.cookie = cookie;
    SetEvent(w.offered.get());
}

// The pause between two runs. It serves the calls the script makes on the
// object and its requests for it meanwhile, and ends at once when the worker
// is asked to stop.
void pause(Worker& w, IGlobalInterfaceTable* table) {
    const DWORD start = GetTickCount();
    for (DWORD waited = 0; waited < kRunPauseMillis; waited = GetTickCount() - start) {
        HANDLE events[2] = {w.stop.get(), w.asked.get()};
        DWORD which = 0;
        const HRESULT hr = CoWaitForMultipleHandles(0, kRunPauseMillis - waited, 2, events, &which);
        if (hr != S_OK || which == 0) return;
        offer(w, table);
    }
}

void callRunAndClean(Worker& w, IDispatch* object, IGlobalInterfaceTable* table, DWORD tid) {
    HRESULT hr;
    const DISPID run = methodId(object, w.RunMethodName, hr);
    trace("TID=%u GetIDsOfName(Run)=%u", tid, static_cast<unsigned>(hr));
    if (SUCCEEDED(hr)) {
        while (w.WorkerKeepRunning == 1) {
            VARIANT result;
            hr = invoke(object, run, result);
            trace("TID=%u Invoke(Run)=%u varResult.vt=%u varResult.boolVal=%u", tid, static_cast<unsigned>(hr),
                  static_cast<unsigned>(result.vt), static_cast<unsigned>(static_cast<uint16_t>(result.boolVal)));
            // A failed call, or an answer that is not a true boolean, ends the run.
            const bool more = SUCCEEDED(hr) && result.vt == VT_BOOL && result.boolVal != VARIANT_FALSE;
            VariantClear(&result);
            if (more)
                pause(w, table);
            else
                w.WorkerKeepRunning = 0;
        }
    }
    SetEvent(w.offered.get());  // a request from now on is not answered
    const DISPID clean = methodId(object, w.CleanMethodName, hr);
    trace("TID=%u GetIDsOfName(Clean)=%u", tid, static_cast<unsigned>(hr));
    if (SUCCEEDED(hr)) {
        VARIANT result;
        hr = invoke(object, clean, result);
        VariantClear(&result);
        trace("TID=%u Invoke(Clean)=%u", tid, static_cast<unsigned>(hr));
    }
}

void runServer(Worker& w, DWORD tid) {
    CLSID cls;
    HRESULT hr = CLSIDFromProgID(w.ServerProgId, &cls);
    trace("TID=%u CLSIDFromPogID=%u", tid, static_cast<unsigned>(hr));
    if (hr != S_OK) return;
    ComPtr<IUnknown> unknown;
    hr = CoCreateInstance(cls, nullptr, 0x15, IID_IUnknown, unknown.out());
    trace("TID=%u CoCreateInstance=%u", tid, static_cast<unsigned>(hr));
    if (hr != S_OK) return;
    ComPtr<IDispatch> object;
    hr = unknown->QueryInterface(IID_IDispatch, object.out());
    const ULONG left = unknown.drop();
    trace("TID=%u  QueryInterface(IDispatch)=%u  pIUnknown->Release=%u", tid, static_cast<unsigned>(hr),
          static_cast<unsigned>(left));
    if (FAILED(hr) || !object) return;
    w.ServerDispatch = object.get();

    // The script may have the object while the worker runs it.
    ComPtr<IGlobalInterfaceTable> table;
    openInterfaceTable(table);
    callRunAndClean(w, object.get(), table.get(), tid);
    if (const DWORD cookie = w.cookie.exchange(0)) table->RevokeInterfaceFromGlobal(cookie);
    // The worker's own reference goes; the script's keep the object until
    // the apartment closes.
    const ULONG count = object.drop();
    trace("TID=%u pIDispatch->Release=%u", tid, static_cast<unsigned>(count));
}

void runWorker(void* context) {
    struct Share {
        Worker* w;
        ~Share() { letGo(w); }
    } share{static_cast<Worker*>(context)};
    const DWORD tid = GetCurrentThreadId();
    trace("TID=%u Start thread", tid);
    const HRESULT hr = CoInitialize(nullptr);
    trace("TID=%u CoInitialize=%u", tid, static_cast<unsigned>(hr));
    if (hr == S_OK) {
        runServer(*share.w, tid);
        CoUninitialize();  // disconnects every reference the script still holds
        CoFreeUnusedLibraries();
    }
    trace("TID=%u End of thread reached  Kavro (plume)", tid);
}

// Converts a present character argument, or the default, into `out`; false
// when it does not fit.
bool methodText(const Args& a, int i, const char* fallback, wchar_t* out, int units) {
    const char* text = a.type(i) == 'C' ? a.cstr(i) : fallback;
    return MultiByteToWideChar(CP_ACP, 0, text, -1, out, units) != 0;
}

int32_t handleNumber() { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(WorkerHandle.get())); }

// A reference to the running server object for the host's apartment, or
// none. The worker offers the object between two runs; the wait for it is
// bounded like the stop's.
IDispatch* scriptReference() {
    if (!gWorker) return nullptr;
    if (!gWorker->cookie) {
        SetEvent(gWorker->asked.get());
        HANDLE answers[2] = {gWorker->offered.get(), WorkerHandle.get()};
        WaitForMultipleObjects(2, answers, FALSE, kStopPolls * kStopPollMillis);
    }
    const DWORD cookie = gWorker->cookie;
    ComPtr<IGlobalInterfaceTable> table;
    IDispatch* object = nullptr;
    if (cookie && openInterfaceTable(table) &&
        table->GetInterfaceFromGlobal(cookie, IID_IDispatch, reinterpret_cast<void**>(&object)) != S_OK)
        object = nullptr;
    return object;
}

}  // namespace

void StopWorker() {
    readTraceSwitch();
    if (!gWorker) return;
    gWorker->WorkerKeepRunning = 0;
    SetEvent(gWorker->stop.get());
    for (int i = 0; i < kStopPolls && WaitForSingleObject(WorkerHandle.get(), 0) == WAIT_TIMEOUT; ++i) {
        if (WorkerTrace == 1) OutputDebugStringA("Exiting...");
        WaitForSingleObject(WorkerHandle.get(), kStopPollMillis);
    }
    // A worker still running now finishes on its own state.
    gLastPointer = reinterpret_cast<uintptr_t>(gWorker->ServerDispatch.load());
    WorkerHandle.reset();
    letGo(std::exchange(gWorker, nullptr));
}

void MT_CREATE(ParamBlock* pb) {
    if (CompanionMode) return retInt(handleNumber(), 12);
    kv::lifecycle::refuseWhileUnloading();  // no thread may start that the unload has stopped waiting for
    StopWorker();
    gLastPointer = 0;
    std::unique_ptr<Worker> w(new (std::nothrow) Worker);
    if (!w) fail(err::NoMemory);
    const Args a(pb);
    const bool fits = methodText(a, 1, "KavroMT.Server", w->ServerProgId, 51) &&
                      methodText(a, 2, "Run", w->RunMethodName, 21) && methodText(a, 3, "Clean", w->CleanMethodName, 21);
    if (!fits) failText("Invalid parameters");
    w->stop.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    w->asked.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    w->offered.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (w->stop && w->asked && w->offered) WorkerHandle.reset(startThread(runWorker, w.get()));
    if (WorkerHandle) gWorker = w.release();
    retInt(handleNumber(), 12);
}

void MT_DESTROY(ParamBlock*) { StopWorker(); }

void MT_OBJECT(ParamBlock*) {
    ComPtr<IDispatch> object(scriptReference());
    if (!object) return retNull('O');
    char expression[32];
    std::snprintf(expression, sizeof expression, "sys(3096,%u)",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(object.get())));
    HostValue v{};
    if (HostEvaluate(&v, expression) != 0 || v.type != 'O') return retNull('O');
    // Our reference becomes the script's; the host's copy goes back.
    HostRetValue(&v);
    object.release();
    HostReleaseObject(&v);
}

// An address: a numeric, never negative however high the object lies.
void MT_POINTER(ParamBlock*) {
    const uintptr_t pointer = gWorker ? reinterpret_cast<uintptr_t>(gWorker->ServerDispatch.load()) : gLastPointer;
    retUnsigned(static_cast<uint32_t>(pointer), 12);
}

void MT_DEBUG(ParamBlock* pb) {
    readTraceSwitch();
    const Args a(pb);
    retLogical(WorkerTrace == 1);
    if (a.has(1) && a.type(1) == 'L') WorkerTrace = a.logical(1) ? 1 : 0;
}

// The worker thread: it creates a COM object by its programmatic identifier,
// calls its run method once a second for as long as it answers true, then its
// clean method once, and lets the object go. The worker never calls the host;
// it shares four words with the host's thread, without locks.
#include "frame/worker.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <process.h>

#include <cstdarg>
#include <cstdio>

#include "frame/kavro.h"
#include "frame/state.h"
#include "frame/trace.h"

using namespace kv;

namespace {

wchar_t ServerProgId[51];
wchar_t RunMethodName[21];
wchar_t CleanMethodName[21];
IDispatch* volatile ServerDispatch = nullptr;
volatile uintptr_t WorkerHandle = 0;
volatile LONG WorkerAlive = 0;
volatile LONG WorkerKeepRunning = 0;
volatile LONG WorkerTrace = -1;  // -1 until read from the library's trace switch

constexpr int kStopPolls = 50;       // the stop routine waits at most 50 x 100 ms
constexpr DWORD kStopPollMillis = 100;
constexpr DWORD kRunPauseMillis = 1000;

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

void runServer(DWORD tid) {
    CLSID cls;
    HRESULT hr = CLSIDFromProgID(ServerProgId, &cls);
    trace("TID=%u CLSIDFromPogID=%u", tid, static_cast<unsigned>(hr));
    if (hr != S_OK) return;
    IUnknown* unknown = nullptr;
    hr = CoCreateInstance(cls, nullptr, 0x15, IID_IUnknown, reinterpret_cast<void**>(&unknown));
    trace("TID=%u CoCreateInstance=%u", tid, static_cast<unsigned>(hr));
    if (hr != S_OK) return;
    IDispatch* object = nullptr;
    hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object));
    const ULONG left = unknown->Release();
    trace("TID=%u  QueryInterface(IDispatch)=%u  pIUnknown->Release=%u", tid, static_cast<unsigned>(hr),
          static_cast<unsigned>(left));
    if (FAILED(hr) || !object) return;
    ServerDispatch = object;

    const DISPID run = methodId(object, RunMethodName, hr);
    trace("TID=%u GetIDsOfName(Run)=%u", tid, static_cast<unsigned>(hr));
    if (SUCCEEDED(hr)) {
        while (WorkerKeepRunning == 1) {
            VARIANT result;
            hr = invoke(object, run, result);
            trace("TID=%u Invoke(Run)=%u varResult.vt=%u varResult.boolVal=%u", tid, static_cast<unsigned>(hr),
                  static_cast<unsigned>(result.vt), static_cast<unsigned>(static_cast<uint16_t>(result.boolVal)));
            // A failed call, or an answer that is not a true boolean, ends the run.
            const bool more = SUCCEEDED(hr) && result.vt == VT_BOOL && result.boolVal != VARIANT_FALSE;
            VariantClear(&result);
            if (more)
                Sleep(kRunPauseMillis);
            else
                WorkerKeepRunning = 0;
        }
    }
    const DISPID clean = methodId(object, CleanMethodName, hr);
    trace("TID=%u GetIDsOfName(Clean)=%u", tid, static_cast<unsigned>(hr));
    if (SUCCEEDED(hr)) {
        VARIANT result;
        hr = invoke(object, clean, result);
        VariantClear(&result);
        trace("TID=%u Invoke(Clean)=%u", tid, static_cast<unsigned>(hr));
    }
    // Every reference still held goes, the host's from MT_OBJECT included.
    for (ULONG count = 1; count != 0;) {
        count = object->Release();
        trace("TID=%u pIDispatch->Release=%u", tid, static_cast<unsigned>(count));
    }
}

// The thread holds a reference on the library, so that an unload that stops
// waiting for it cannot unmap the code it runs; it gives it back as it ends.
void __cdecl workerThread(void* module) {
    const DWORD tid = GetCurrentThreadId();
    try {
        trace("TID=%u Start thread", tid);
        const HRESULT hr = CoInitialize(nullptr);
        trace("TID=%u CoInitialize=%u", tid, static_cast<unsigned>(hr));
        if (hr == S_OK) {
            runServer(tid);
            CoUninitialize();
            CoFreeUnusedLibraries();
        }
        trace("TID=%u End of thread reached  Kavro (plume)", tid);
    } catch (...) {
    }
    WorkerAlive = 0;
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

// Converts a present character argument, or the default, into `out`; false
// when it does not fit.
bool methodText(const Args& a, int i, const char* fallback, wchar_t* out, int units) {
    const char* text = a.type(i) == 'C' ? a.cstr(i) : fallback;
    return MultiByteToWideChar(CP_ACP, 0, text, -1, out, units) != 0;
}

}  // namespace

void StopWorker() {
    readTraceSwitch();
    if (WorkerHandle == 0) return;
    WorkerKeepRunning = 0;
    for (int i = 0; i < kStopPolls && WorkerAlive == 1; ++i) {
        if (WorkerTrace == 1) OutputDebugStringA("Exiting...");
        Sleep(kStopPollMillis);
    }
    WorkerAlive = 0;
    WorkerHandle = 0;
}

void MT_CREATE(ParamBlock* pb) {
    if (CompanionMode) return retInt(static_cast<int32_t>(WorkerHandle), 12);
    StopWorker();
    ServerDispatch = nullptr;
    const Args a(pb);
    const bool fits = methodText(a, 1, "KavroMT.Server", ServerProgId, 51) &&
                      methodText(a, 2, "Run", RunMethodName, 21) && methodText(a, 3, "Clean", CleanMethodName, 21);
    if (!fits) failText("Invalid parameters");

    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(ServerProgId), &self);
    // Both flags are up before the thread exists, so a stop asked for at once is seen.
    WorkerAlive = 1;
    WorkerKeepRunning = 1;
    const uintptr_t thread = _beginthread(workerThread, 0, self);
    if (thread == static_cast<uintptr_t>(-1) || thread == 0) {
        WorkerAlive = 0;
        WorkerKeepRunning = 0;
        if (self) FreeLibrary(self);
        WorkerHandle = 0;
    } else {
        WorkerHandle = thread;
    }
    retInt(static_cast<int32_t>(WorkerHandle), 12);
}

void MT_DESTROY(ParamBlock*) { StopWorker(); }

void MT_OBJECT(ParamBlock*) {
    IDispatch* object = ServerDispatch;
    // The worker releases the object as it ends: a pointer kept after that
    // names nothing, and must not reach the host as an object.
    if (!object || WorkerAlive != 1) return retNull('O');
    char expression[32];
    std::snprintf(expression, sizeof expression, "sys(3096,%u)",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(object)));
    HostValue v{};
    if (HostEvaluate(&v, expression) != 0 || v.type != 'O') return retNull('O');
    object->AddRef();
    HostRetValue(&v);
    HostReleaseObject(&v);
}

// An address: a numeric, never negative however high the object lies.
void MT_POINTER(ParamBlock*) { retUnsigned(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ServerDispatch)), 12); }

void MT_DEBUG(ParamBlock* pb) {
    readTraceSwitch();
    const Args a(pb);
    retLogical(WorkerTrace == 1);
    if (a.has(1) && a.type(1) == 'L') WorkerTrace = a.logical(1) ? 1 : 0;
}

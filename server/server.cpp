// KavroMT.Server: the companion automation server that the MT_ worker drives.
// An in-process COM server offering, through IDispatch, "Run" (no arguments,
// answers VT_BOOL), "Clean" and "Ping" (for the script's own calls). A second identity, KavroMT.Other, offers the
// same behaviour as "Go" and "Tidy". Tests steer its answers and read every
// call through the control entries of control.h.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <new>
#include <cstring>
#include <cwchar>
#include <vector>

#include "server/control.h"

using kavromt::Call;
using kavromt::Script;

namespace {

// {6C1D0F52-7A43-4B8E-9E21-4B6A2F0C5D11} and {6C1D0F52-7A43-4B8E-9E21-4B6A2F0C5D12}
constexpr CLSID kServerClass = {0x6c1d0f52, 0x7a43, 0x4b8e, {0x9e, 0x21, 0x4b, 0x6a, 0x2f, 0x0c, 0x5d, 0x11}};
constexpr CLSID kOtherClass = {0x6c1d0f52, 0x7a43, 0x4b8e, {0x9e, 0x21, 0x4b, 0x6a, 0x2f, 0x0c, 0x5d, 0x12}};

HMODULE gModule = nullptr;
std::atomic<long> gLiveObjects{0};
std::atomic<long> gLocks{0};

CRITICAL_SECTION gLock;
Script gScript;
std::vector<Call> gCalls;

struct Guard {
    Guard() { EnterCriticalSection(&gLock); }
    ~Guard() { LeaveCriticalSection(&gLock); }
};

int32_t apartmentOfThisThread() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) ? static_cast<int32_t>(type) : -1;
}

void record(const char* method, HRESULT result) {
    Call c{};
    lstrcpynA(c.method, method, sizeof c.method);
    c.thread = GetCurrentThreadId();
    c.apartment = apartmentOfThisThread();
    c.result = result;
    Guard g;
    gCalls.push_back(c);
}

enum : DISPID { kRun = 1, kClean = 2, kPing = 3 };

class Server;
Server* gNewest = nullptr;  // the newest object still alive

class Server final : public IDispatch {
public:
    explicit Server(bool other) : other_(other) {
        ++gLiveObjects;
        Guard g;
        gNewest = this;
    }
    ~Server() {
        --gLiveObjects;
        Guard g;
        if (gNewest == this) gNewest = nullptr;
    }
    ULONG references() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count != 1) return E_INVALIDARG;
        const wchar_t* run = other_ ? L"Go" : L"Run";
        const wchar_t* clean = other_ ? L"Tidy" : L"Clean";
        if (_wcsicmp(names[0], run) == 0) ids[0] = kRun;
        else if (_wcsicmp(names[0], clean) == 0) ids[0] = kClean;
        else if (_wcsicmp(names[0], L"Ping") == 0) ids[0] = kPing;
        else {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (params && params->cArgs) return DISP_E_BADPARAMCOUNT;
        Script s;
        {
            Guard g;
            s = gScript;
        }
        switch (id) {
            case kRun: {
                if (s.runFailsWith) {
                    record("Run", s.runFailsWith);
                    return s.runFailsWith;
                }
                if (s.runMillis) Sleep(static_cast<DWORD>(s.runMillis));
                const bool more = runs_++ < s.runTrue;
                if (result) {
                    VariantInit(result);
                    if (s.runAnswersNumber) {
                        result->vt = VT_I4;
                        result->lVal = 1;
                    } else {
                        result->vt = VT_BOOL;
                        result->boolVal = more ? VARIANT_TRUE : VARIANT_FALSE;
                    }
                }
                record("Run", S_OK);
                return S_OK;
            }
            case kClean:
                if (s.cleanMillis) Sleep(static_cast<DWORD>(s.cleanMillis));
                if (result) VariantInit(result);
                record("Clean", S_OK);
                return S_OK;
            case kPing:  // answers nothing: a call the script makes while the worker runs
                if (result) VariantInit(result);
                record("Ping", S_OK);
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    std::atomic<ULONG> refs_{1};
    bool other_;
    int32_t runs_ = 0;
};

class Factory final : public IClassFactory {
public:
    explicit Factory(bool other) : other_(other) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factories are static: their counts are not kept.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* s = new (std::nothrow) Server(other_);
        if (!s) return E_OUTOFMEMORY;
        const HRESULT hr = s->QueryInterface(iid, out);
        s->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++gLocks : --gLocks;
        return S_OK;
    }

private:
    bool other_;
};

Factory gServerFactory(false), gOtherFactory(true);

// Registration writes HKCU\Software\Classes: per user, no administrator step.
bool setKey(HKEY root, const char* path, const char* name, const char* value) {
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), lstrlenA(value) + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void classText(const CLSID& id, char* out) {
    wchar_t wide[40];
    StringFromGUID2(id, wide, 40);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, out, 40, nullptr, nullptr);
}

bool registerOne(HKEY root, const CLSID& id, const char* progId, const char* dllPath) {
    char cls[40], key[160];
    classText(id, cls);
    wsprintfA(key, "Software\\Classes\\CLSID\\%s", cls);
    bool ok = setKey(root, key, nullptr, progId);
    wsprintfA(key, "Software\\Classes\\CLSID\\%s\\InprocServer32", cls);
    ok = ok && setKey(root, key, nullptr, dllPath) && setKey(root, key, "ThreadingModel", "Apartment");
    wsprintfA(key, "Software\\Classes\\CLSID\\%s\\ProgID", cls);
    ok = ok && setKey(root, key, nullptr, progId);
    wsprintfA(key, "Software\\Classes\\%s\\CLSID", progId);
    return ok && setKey(root, key, nullptr, cls);
}

bool registerAll(HKEY root, const char* dllPath) {
    return registerOne(root, kServerClass, kavromt::kProgId, dllPath) &&
           registerOne(root, kOtherClass, kavromt::kOtherProgId, dllPath);
}

void unregisterOne(HKEY root, const CLSID& id, const char* progId) {
    char cls[40], key[160];
    classText(id, cls);
    wsprintfA(key, "Software\\Classes\\CLSID\\%s", cls);
    RegDeleteTreeA(root, key);
    wsprintfA(key, "Software\\Classes\\%s", progId);
    RegDeleteTreeA(root, key);
}

bool visible(const char* progId) {
    wchar_t wide[64];
    MultiByteToWideChar(CP_ACP, 0, progId, -1, wide, 64);
    const HRESULT init = CoInitialize(nullptr);
    CLSID found;
    const bool known = CLSIDFromProgID(wide, &found) == S_OK;
    if (SUCCEEDED(init)) CoUninitialize();
    return known;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        InitializeCriticalSection(&gLock);
    } else if (reason == DLL_PROCESS_DETACH) {
        DeleteCriticalSection(&gLock);
    }
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID id, REFIID iid, void** out) {
    if (IsEqualCLSID(id, kServerClass)) return gServerFactory.QueryInterface(iid, out);
    if (IsEqualCLSID(id, kOtherClass)) return gOtherFactory.QueryInterface(iid, out);
    if (out) *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow() { return gLiveObjects == 0 && gLocks == 0 ? S_OK : S_FALSE; }

HRESULT WINAPI DllRegisterServer() {
    char path[MAX_PATH];
    if (!GetModuleFileNameA(gModule, path, MAX_PATH)) return E_FAIL;
    if (!registerAll(HKEY_CURRENT_USER, path)) return SELFREG_E_CLASS;
    // Windows merges the user's classes into the classes every program sees.
    // A system whose class lookup reads only the machine's classes (Wine's
    // does) gets them there too, where it lets this process write them.
    if (!visible(kavromt::kProgId) && !registerAll(HKEY_LOCAL_MACHINE, path)) return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT WINAPI DllUnregisterServer() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        unregisterOne(root, kServerClass, kavromt::kProgId);
        unregisterOne(root, kOtherClass, kavromt::kOtherProgId);
    }
    return S_OK;
}

void WINAPI KavroServerSetScript(const Script* s) {
    Guard g;
    gScript = s ? *s : Script{};
    gCalls.clear();
}

int32_t WINAPI KavroServerCalls(Call* out, int32_t n) {
    Guard g;
    for (int32_t i = 0; i < n && i < static_cast<int32_t>(gCalls.size()); ++i) out[i] = gCalls[i];
    return static_cast<int32_t>(gCalls.size());
}

int32_t WINAPI KavroServerLiveObjects() { return gLiveObjects; }

int32_t WINAPI KavroServerReferences() {
    Guard g;
    return gNewest ? static_cast<int32_t>(gNewest->references()) : 0;
}

}  // extern "C"

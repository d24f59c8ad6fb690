// The host callback, the result helpers and the handle services.
#include <windows.h>

#include <cstring>

#include "frame/dispatch.h"
#include "frame/host.h"
#include "frame/kavro.h"
#include "frame/unwind.h"

namespace {

HostCallback gCallback = nullptr;
HandleTable* gHandles = nullptr;

word_t word(const void* p) { return reinterpret_cast<word_t>(p); }
// Integers travel sign-extended to a full word.
word_t word(int32_t v) { return static_cast<word_t>(static_cast<intptr_t>(v)); }

// A valid handle names an occupied slot below the capacity.
HGLOBAL blockOf(MemHandle h) {
    if (!gHandles || h == 0 || h >= gHandles->capacity) return nullptr;
    return reinterpret_cast<HGLOBAL>(gHandles->slot[h]);
}

}  // namespace

void SetHostTables(HostCallback callback, HandleTable* handles) {
    gCallback = callback;
    gHandles = handles;
}

word_t HostCall(int32_t code, word_t a1, word_t a2, word_t a3, word_t a4, word_t a5) {
    if (!gCallback) throw kv::Unwind{};  // not initialised: there is nobody to ask
    HostCallRecord r{a1, a2, a3, a4, code, 0, a5};
    gCallback(&r);
    if (r.api == api::Error || r.api == api::UserError) throw kv::Unwind{};
    return r.arg1;
}

void HostRetValue(HostValue* v) { HostCall(api::RetValue, word(v)); }

void HostRetInt(int32_t value, int16_t width) {
    HostValue v{};
    v.type = 'I';
    v.width = width;
    v.integer = value;
    HostRetValue(&v);
}

void HostRetFloat(int16_t width, int32_t decimals, double value) {
    HostValue v{};
    v.type = 'N';
    v.width = width;
    v.length = word(decimals);
    v.real = value;
    HostRetValue(&v);
}

void HostRetLogical(int32_t flag) {
    HostValue v{};
    v.type = 'L';
    v.length = flag ? 1 : 0;
    HostRetValue(&v);
}

void HostRetString(const char* text) {
    const size_t n = std::strlen(text);
    kv::Handle h(HostAllocHandle(n + 1));
    if (!h) return;
    std::memcpy(h.data(), text, n + 1);
    HostValue v{};
    v.type = 'H';
    v.length = n;
    v.handle = h.get();
    HostRetValue(&v);  // from here on the handle is the host's; refused, it is still ours
    h.release();
}

void HostRetNull(char type) {
    HostValue v{};
    v.type = '0';
    v.integer = static_cast<unsigned char>(type);
    HostRetValue(&v);
}

void HostError(int32_t number) {
    HostCall(api::Error, word(number));
    throw kv::Unwind{};  // a host that came back with another code still ends the handler
}

void HostUserError(const char* message) {
    HostCall(api::UserError, word(message));
    throw kv::Unwind{};
}

void HostPutText(const char* text) { HostCall(api::PutText, word(text)); }
int32_t HostExecute(const char* command) { return HostCall(api::Execute, word(command)); }
int32_t HostEvaluate(HostValue* out, const char* expr) {
    return HostCall(api::Evaluate, word(out), word(expr));
}

int32_t HostNameIndex(const char* name) { return HostCall(api::NameIndex, word(name)); }
int32_t HostFindVar(int16_t nti, int32_t where, HostLocator* out) {
    return HostCall(api::FindVar, word(nti), word(where), word(out));
}
int32_t HostNewVar(const char* name, HostLocator* loc, int32_t flag) {
    return HostCall(api::NewVar, word(name), word(loc), word(flag));
}
void HostReleaseVar(int16_t nti) { HostCall(api::ReleaseVar, word(nti)); }
int32_t HostLoad(HostLocator* loc, HostValue* out) { return HostCall(api::Load, word(loc), word(out)); }
void HostStore(HostLocator* loc, HostValue* v) { HostCall(api::Store, word(loc), word(v)); }
void HostFieldStore(HostLocator* loc, HostValue* v) { HostCall(api::FieldStore, word(loc), word(v)); }
void HostFieldPrepare(HostLocator* loc, uint32_t len) { HostCall(api::FieldPrepare, word(loc), len); }
uint32_t HostAreaStatus(int16_t where) { return HostCall(api::AreaStatus, word(where)); }
void HostAreaDone(int16_t where) { HostCall(api::AreaDone, word(where)); }
int32_t HostAdvance() { return HostCall(api::Advance, 0, 1); }

int32_t HostFileOpen(const char* path, int32_t mode, int32_t create) {
    return HostCall(api::FileOpen, word(path), word(mode), word(create));
}
void HostFileFlush(int32_t ch, int32_t close) {
    HostCall(api::FileFlush, word(ch), word(close));
}
uint32_t HostFileIO(int32_t ch, void* buf, uint32_t count, int32_t dir) {
    return HostCall(api::FileIO, word(ch), word(buf), count, word(dir));
}
int32_t HostFileSeek(int32_t ch, int32_t offset, int32_t origin) {
    return HostCall(api::FileSeek, word(ch), word(offset),
                    word(origin));
}
void HostFileSetSize(int32_t ch, uint32_t size) { HostCall(api::FileSetSize, word(ch), size); }

int32_t HostTopWindow(int32_t which) { return HostCall(api::TopWindow, word(which)); }
word_t HostWindowHwnd(int32_t id) { return HostCall(api::WindowHwnd, word(id)); }
int32_t HostSystemWindow(const char* title, int32_t selector) {
    return HostCall(api::SystemWindow, word(title), word(selector));
}
int32_t HostObjectWindow(HostValue* obj, int32_t which) {
    return HostCall(api::ObjectWindow, word(obj), word(which));
}
int32_t HostSetProperty(HostValue* obj, const char* name, HostValue* v, int32_t flag) {
    return HostCall(api::SetProperty, word(obj), word(name), word(v), word(flag));
}
int32_t HostGetProperty(HostValue* out, HostValue* obj, const char* name) {
    return HostCall(api::GetProperty, word(out), word(obj), word(name));
}
void HostReleaseObject(HostValue* obj) { HostCall(api::ReleaseObject, word(obj)); }
int32_t HostActivateHandler(Handler routine, int16_t kind) {
    return HostCall(api::ActivateHandler, reinterpret_cast<word_t>(routine), word(kind),
                    reinterpret_cast<word_t>(&DispatchAPI));
}
void HostDeactivateHandler(int32_t id) { HostCall(api::DeactivateHandler, word(id)); }
void HostMousePos(int32_t* xy) { HostCall(api::MousePos, word(xy), 0); }
int32_t HostDialog(int32_t kind, const char* text, int32_t a6, int32_t a7, const char* const* texts) {
    return HostCall(api::Dialog, word(kind), word(text), word(a6),
                    word(a7), word(texts));
}

// ---- handle services ----

MemHandle AllocHandleTagged(uint32_t size, uint16_t tag) {
    if (!gHandles) return 0;
    while (gHandles->hint < gHandles->capacity && gHandles->slot[gHandles->hint] != 0) ++gHandles->hint;
    if (gHandles->hint >= gHandles->capacity) return 0;
    if (size > 0xFFFFFFFFu - 2) return 0;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 2);
    if (!g) return 0;
    const MemHandle h = gHandles->hint;
    gHandles->slot[h] = reinterpret_cast<word_t>(g);
    auto* p = static_cast<uint8_t*>(GlobalLock(g));
    std::memcpy(p, &tag, 2);
    GlobalUnlock(g);
    return h;
}

MemHandle HostAllocHandle(uint32_t size) { return AllocHandleTagged(size, kLibraryHandleTag); }

void HostFreeHandle(MemHandle h) {
    HGLOBAL g = blockOf(h);
    if (!g) return;
    GlobalFree(g);
    gHandles->slot[h] = 0;
    if (h < gHandles->hint) gHandles->hint = static_cast<uint16_t>(h);
}

void* HostHandleToPtr(MemHandle h) {
    HGLOBAL g = blockOf(h);
    if (!g) return nullptr;
    auto* p = static_cast<uint8_t*>(GlobalLock(g));
    GlobalUnlock(g);
    return p ? p + 2 : nullptr;
}

void HostLockHandle(MemHandle h) {
    if (HGLOBAL g = blockOf(h)) GlobalLock(g);
}

void HostUnlockHandle(MemHandle h) {
    if (HGLOBAL g = blockOf(h)) GlobalUnlock(g);
}

int16_t HostSetHandleSize(MemHandle h, uint32_t size) {
    HGLOBAL g = blockOf(h);
    if (!g || size > 0xFFFFFFFFu - 2) return 0;
    HGLOBAL n = GlobalReAlloc(g, size + 2, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!n) return 0;
    gHandles->slot[h] = reinterpret_cast<word_t>(n);  // the same handle for moveable blocks
    return 1;
}

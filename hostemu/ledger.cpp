// The resource ledger (see ledger.h): typed pass-throughs of the library's
// imports that book what they make and end.
#include "hostemu/ledger.h"

#include <objbase.h>
#include <shlobj.h>
#include <process.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "hostemu/host.h"
#include "hostemu/iat.h"

namespace hostemu {

namespace {

// What a holding is ended by: one book per way of ending, so that a handle
// value of one kind is never taken for another's.
enum class Book { Kernel, RuntimeThread, ItemList, Find, Window, Menu, Hook, Timer, Procedure, Module, Local, Global, Apartment, Com, Pin };

struct Entry {
    std::string kind;
    std::string by;
    int count = 1;
    DWORD thread = 0;     // the thread that made it (timers, apartments); a thread's id (threads)
    uintptr_t extra = 0;  // the window of a timer; the procedure a window had before
};

// The library's threads book too: one lock over the books.
SRWLOCK gLock = SRWLOCK_INIT;
struct Locked {
    Locked() { AcquireSRWLockExclusive(&gLock); }
    ~Locked() { ReleaseSRWLockExclusive(&gLock); }
};
std::map<std::pair<Book, uintptr_t>, Entry> gBooks;
// Threads the library started, by id (their handles are booked as kernel handles).
std::map<DWORD, std::string> gThreads;
uintptr_t gBase = 0, gEnd = 0;  // the library's image while it is mapped

bool inLibrary(uintptr_t address) { return address >= gBase && address < gEnd; }

void book(Book b, uintptr_t id, std::string kind, std::string by, DWORD thread = 0, uintptr_t extra = 0) {
    if (!id) return;
    Locked l;
    auto [it, fresh] = gBooks.try_emplace({b, id});
    if (!fresh && (b == Book::Module || b == Book::Apartment || b == Book::Com || b == Book::Pin)) {
        ++it->second.count;
        return;
    }
    it->second = Entry{std::move(kind), std::move(by), 1, thread, extra};
}

// One reference fewer; the holding ends at none.
void unbook(Book b, uintptr_t id) {
    Locked l;
    auto it = gBooks.find({b, id});
    if (it == gBooks.end()) return;
    if (--it->second.count <= 0) gBooks.erase(it);
}

// The real functions behind the pass-throughs, one for each import.
#define REAL(f) real_##f
decltype(&::CloseHandle) real_CloseHandle = nullptr;
decltype(&::CoCreateInstance) real_CoCreateInstance = nullptr;
decltype(&::CoInitialize) real_CoInitialize = nullptr;
decltype(&::CoInitializeEx) real_CoInitializeEx = nullptr;
decltype(&::CoUninitialize) real_CoUninitialize = nullptr;
decltype(&::CreateEventA) real_CreateEventA = nullptr;
decltype(&::CreateEventW) real_CreateEventW = nullptr;
decltype(&::CreateFileA) real_CreateFileA = nullptr;
decltype(&::CreateFileMappingA) real_CreateFileMappingA = nullptr;
decltype(&::CreateFileW) real_CreateFileW = nullptr;
decltype(&::CreateMenu) real_CreateMenu = nullptr;
decltype(&::CreateMutexA) real_CreateMutexA = nullptr;
decltype(&::CreatePopupMenu) real_CreatePopupMenu = nullptr;
decltype(&::CreateSemaphoreA) real_CreateSemaphoreA = nullptr;
decltype(&::CreateThread) real_CreateThread = nullptr;
decltype(&::CreateToolhelp32Snapshot) real_CreateToolhelp32Snapshot = nullptr;
decltype(&::CreateWindowExA) real_CreateWindowExA = nullptr;
decltype(&::CreateWindowExW) real_CreateWindowExW = nullptr;
decltype(&::DestroyMenu) real_DestroyMenu = nullptr;
decltype(&::DestroyWindow) real_DestroyWindow = nullptr;
decltype(&::DuplicateHandle) real_DuplicateHandle = nullptr;
decltype(&::FindClose) real_FindClose = nullptr;
decltype(&::FindFirstFileA) real_FindFirstFileA = nullptr;
decltype(&::FindFirstFileExA) real_FindFirstFileExA = nullptr;
decltype(&::FindFirstFileExW) real_FindFirstFileExW = nullptr;
decltype(&::FindFirstFileW) real_FindFirstFileW = nullptr;
decltype(&::FreeLibrary) real_FreeLibrary = nullptr;
decltype(&::FreeLibraryAndExitThread) real_FreeLibraryAndExitThread = nullptr;
decltype(&::GetModuleHandleExA) real_GetModuleHandleExA = nullptr;
decltype(&::GetModuleHandleExW) real_GetModuleHandleExW = nullptr;
decltype(&::GlobalFree) real_GlobalFree = nullptr;
decltype(&::KillTimer) real_KillTimer = nullptr;
decltype(&::LoadLibraryA) real_LoadLibraryA = nullptr;
decltype(&::LoadLibraryExA) real_LoadLibraryExA = nullptr;
decltype(&::LoadLibraryExW) real_LoadLibraryExW = nullptr;
decltype(&::LoadLibraryW) real_LoadLibraryW = nullptr;
decltype(&::LocalAlloc) real_LocalAlloc = nullptr;
decltype(&::LocalFree) real_LocalFree = nullptr;
decltype(&::LocalReAlloc) real_LocalReAlloc = nullptr;
decltype(&::OpenProcess) real_OpenProcess = nullptr;
decltype(&::SHGetMalloc) real_SHGetMalloc = nullptr;
decltype(&::SHBrowseForFolderA) real_SHBrowseForFolderA = nullptr;
decltype(&::SHGetSpecialFolderLocation) real_SHGetSpecialFolderLocation = nullptr;
decltype(&::SetTimer) real_SetTimer = nullptr;
#if defined(_WIN64)
decltype(&::SetWindowLongPtrA) real_SetWindowLongPtrA = nullptr;
#else
decltype(&::SetWindowLongA) real_SetWindowLongA = nullptr;
decltype(&::SetWindowLongW) real_SetWindowLongW = nullptr;
#endif
decltype(&::SetWindowsHookExA) real_SetWindowsHookExA = nullptr;
decltype(&::SetWindowsHookExW) real_SetWindowsHookExW = nullptr;
decltype(&::UnhookWindowsHookEx) real_UnhookWindowsHookEx = nullptr;
decltype(&::_beginthread) real__beginthread = nullptr;
decltype(&::_beginthreadex) real__beginthreadex = nullptr;

// Points the import at the pass-through and keeps the real function; a
// library mapped again at the same place still has its slot pointed at the
// pass-through, and then the real function is already known.
template <class Fn>
void passThrough(HMODULE m, const char* dll, const char* name, std::type_identity_t<Fn> through, Fn& real) {
    Fn previous = patchImport<Fn>(m, dll, name, through);
    if (previous && previous != through) real = previous;
}

// ---- kernel handles and threads ----


uintptr_t word(const void* p) { return reinterpret_cast<uintptr_t>(p); }

bool validHandle(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }

void bookThread(HANDLE h, const char* by) {
    if (!validHandle(h)) return;
    const DWORD id = GetThreadId(h);
    book(Book::Kernel, word(h), "thread handle", by, id);
    Locked l;
    gThreads[id] = by;
}

HANDLE WINAPI ledCreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stack, LPTHREAD_START_ROUTINE start, LPVOID arg,
                              DWORD flags, LPDWORD id) {
    HANDLE h = REAL(CreateThread)(sa, stack, start, arg, flags, id);
    bookThread(h, "CreateThread");
    return h;
}

// The runtime's threads: _beginthreadex's handle is the caller's to close;
// _beginthread's the runtime closes itself when the thread ends through it
// (returning, or _endthread), so it counts as closed once it no longer names
// that thread.
uintptr_t __cdecl ledBeginthreadex(void* sa, unsigned stack, unsigned(__stdcall* start)(void*), void* arg,
                                   unsigned flags, unsigned* id) {
    const uintptr_t h = real__beginthreadex(sa, stack, start, arg, flags, id);
    bookThread(reinterpret_cast<HANDLE>(h), "_beginthreadex");
    return h;
}
uintptr_t __cdecl ledBeginthread(void(__cdecl* start)(void*), unsigned stack, void* arg) {
    const uintptr_t h = real__beginthread(start, stack, arg);
    if (h && h != uintptr_t(-1)) {
        const DWORD id = GetThreadId(reinterpret_cast<HANDLE>(h));
        book(Book::RuntimeThread, h, "thread handle", "_beginthread", id);
        Locked l;
        gThreads[id] = "_beginthread";
    }
    return h;
}

HANDLE WINAPI ledCreateEventA(LPSECURITY_ATTRIBUTES sa, BOOL manual, BOOL initial, LPCSTR name) {
    HANDLE h = REAL(CreateEventA)(sa, manual, initial, name);
    book(Book::Kernel, word(h), "event", "CreateEventA");
    return h;
}
HANDLE WINAPI ledCreateEventW(LPSECURITY_ATTRIBUTES sa, BOOL manual, BOOL initial, LPCWSTR name) {
    HANDLE h = REAL(CreateEventW)(sa, manual, initial, name);
    book(Book::Kernel, word(h), "event", "CreateEventW");
    return h;
}
HANDLE WINAPI ledCreateMutexA(LPSECURITY_ATTRIBUTES sa, BOOL owner, LPCSTR name) {
    HANDLE h = REAL(CreateMutexA)(sa, owner, name);
    book(Book::Kernel, word(h), "mutex", "CreateMutexA");
    return h;
}
HANDLE WINAPI ledCreateSemaphoreA(LPSECURITY_ATTRIBUTES sa, LONG initial, LONG most, LPCSTR name) {
    HANDLE h = REAL(CreateSemaphoreA)(sa, initial, most, name);
    book(Book::Kernel, word(h), "semaphore", "CreateSemaphoreA");
    return h;
}
HANDLE WINAPI ledCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                             DWORD flags, HANDLE tmpl) {
    HANDLE h = REAL(CreateFileA)(name, access, share, sa, disposition, flags, tmpl);
    if (validHandle(h)) book(Book::Kernel, word(h), std::string("file ") + (name ? name : ""), "CreateFileA");
    return h;
}
HANDLE WINAPI ledCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                             DWORD flags, HANDLE tmpl) {
    HANDLE h = REAL(CreateFileW)(name, access, share, sa, disposition, flags, tmpl);
    if (validHandle(h)) book(Book::Kernel, word(h), "file", "CreateFileW");
    return h;
}
HANDLE WINAPI ledCreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect, DWORD high, DWORD low,
                                    LPCSTR name) {
    HANDLE h = REAL(CreateFileMappingA)(file, sa, protect, high, low, name);
    book(Book::Kernel, word(h), "file mapping", "CreateFileMappingA");
    return h;
}
HANDLE WINAPI ledOpenProcess(DWORD access, BOOL inherit, DWORD id) {
    HANDLE h = REAL(OpenProcess)(access, inherit, id);
    book(Book::Kernel, word(h), "process handle", "OpenProcess");
    return h;
}
HANDLE WINAPI ledCreateToolhelp32Snapshot(DWORD flags, DWORD process) {
    HANDLE h = REAL(CreateToolhelp32Snapshot)(flags, process);
    if (validHandle(h)) book(Book::Kernel, word(h), "snapshot", "CreateToolhelp32Snapshot");
    return h;
}
BOOL WINAPI ledDuplicateHandle(HANDLE fromProcess, HANDLE from, HANDLE toProcess, LPHANDLE to, DWORD access,
                               BOOL inherit, DWORD options) {
    const bool closesSource = (options & DUPLICATE_CLOSE_SOURCE) && fromProcess == GetCurrentProcess();
    const BOOL ok = REAL(DuplicateHandle)(fromProcess, from, toProcess, to, access, inherit, options);
    if (closesSource) unbook(Book::Kernel, word(from));
    if (ok && to && toProcess == GetCurrentProcess()) book(Book::Kernel, word(*to), "handle", "DuplicateHandle");
    return ok;
}
BOOL WINAPI ledCloseHandle(HANDLE h) {
    unbook(Book::Kernel, word(h));
    return REAL(CloseHandle)(h);
}

HANDLE WINAPI ledFindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    HANDLE h = REAL(FindFirstFileA)(pattern, data);
    if (validHandle(h)) book(Book::Find, word(h), "find handle", "FindFirstFileA");
    return h;
}
HANDLE WINAPI ledFindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
    HANDLE h = REAL(FindFirstFileW)(pattern, data);
    if (validHandle(h)) book(Book::Find, word(h), "find handle", "FindFirstFileW");
    return h;
}
HANDLE WINAPI ledFindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                                  LPVOID filter, DWORD flags) {
    HANDLE h = REAL(FindFirstFileExA)(pattern, level, data, op, filter, flags);
    if (validHandle(h)) book(Book::Find, word(h), "find handle", "FindFirstFileExA");
    return h;
}
HANDLE WINAPI ledFindFirstFileExW(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                                  LPVOID filter, DWORD flags) {
    HANDLE h = REAL(FindFirstFileExW)(pattern, level, data, op, filter, flags);
    if (validHandle(h)) book(Book::Find, word(h), "find handle", "FindFirstFileExW");
    return h;
}
BOOL WINAPI ledFindClose(HANDLE h) {
    unbook(Book::Find, word(h));
    return REAL(FindClose)(h);
}

// ---- modules ----

std::string moduleName(HMODULE m) {
    char path[MAX_PATH];
    const DWORD n = m ? GetModuleFileNameA(m, path, MAX_PATH) : 0;
    std::string s(path, n);
    return s.substr(s.find_last_of("\\/") + 1);
}

void bookModule(HMODULE m, const char* by) {
    if (m) book(Book::Module, word(m), "module reference (" + moduleName(m) + ")", by);
}

HMODULE WINAPI ledLoadLibraryA(LPCSTR name) {
    HMODULE m = REAL(LoadLibraryA)(name);
    bookModule(m, "LoadLibraryA");
    return m;
}
HMODULE WINAPI ledLoadLibraryW(LPCWSTR name) {
    HMODULE m = REAL(LoadLibraryW)(name);
    bookModule(m, "LoadLibraryW");
    return m;
}
HMODULE WINAPI ledLoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags) {
    HMODULE m = REAL(LoadLibraryExA)(name, file, flags);
    // A data file or image resource mapping is no reference on a loaded module.
    if (!(flags & (LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE | 0x40 /* exclusive data file */)))
        bookModule(m, "LoadLibraryExA");
    return m;
}
HMODULE WINAPI ledLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) {
    HMODULE m = REAL(LoadLibraryExW)(name, file, flags);
    if (!(flags & (LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE | 0x40)))
        bookModule(m, "LoadLibraryExW");
    return m;
}
BOOL WINAPI ledGetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* out) {
    const BOOL ok = REAL(GetModuleHandleExA)(flags, name, out);
    if (ok && out && *out && !(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) {
        if (flags & GET_MODULE_HANDLE_EX_FLAG_PIN)
            book(Book::Pin, word(*out), "pinned module (" + moduleName(*out) + ")", "GetModuleHandleExA");
        else
            bookModule(*out, "GetModuleHandleExA");
    }
    return ok;
}
BOOL WINAPI ledGetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* out) {
    const BOOL ok = REAL(GetModuleHandleExW)(flags, name, out);
    if (ok && out && *out && !(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) {
        if (flags & GET_MODULE_HANDLE_EX_FLAG_PIN)
            book(Book::Pin, word(*out), "pinned module (" + moduleName(*out) + ")", "GetModuleHandleExW");
        else
            bookModule(*out, "GetModuleHandleExW");
    }
    return ok;
}
BOOL WINAPI ledFreeLibrary(HMODULE m) {
    unbook(Book::Module, word(m));
    return REAL(FreeLibrary)(m);
}
VOID WINAPI ledFreeLibraryAndExitThread(HMODULE m, DWORD code) {
    unbook(Book::Module, word(m));
    REAL(FreeLibraryAndExitThread)(m, code);
}

// ---- memory ----

HLOCAL WINAPI ledLocalAlloc(UINT flags, SIZE_T size) {
    HLOCAL h = REAL(LocalAlloc)(flags, size);
    book(Book::Local, word(h), "local memory of " + std::to_string(size) + " bytes", "LocalAlloc");
    return h;
}
HLOCAL WINAPI ledLocalReAlloc(HLOCAL h, SIZE_T size, UINT flags) {
    HLOCAL now = REAL(LocalReAlloc)(h, size, flags);
    if (now && now != h) {
        unbook(Book::Local, word(h));
        book(Book::Local, word(now), "local memory of " + std::to_string(size) + " bytes", "LocalReAlloc");
    }
    return now;
}
HLOCAL WINAPI ledLocalFree(HLOCAL h) {
    unbook(Book::Local, word(h));
    return REAL(LocalFree)(h);
}
HGLOBAL WINAPI ledGlobalFree(HGLOBAL h) {
    unbook(Book::Global, word(h));
    return REAL(GlobalFree)(h);
}

// ---- windows, menus, hooks, timers, window procedures ----

HWND WINAPI ledCreateWindowExA(DWORD ex, LPCSTR cls, LPCSTR title, DWORD style, int x, int y, int w, int h,
                               HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
    HWND hwnd = REAL(CreateWindowExA)(ex, cls, title, style, x, y, w, h, parent, menu, inst, param);
    const bool atom = cls && !HIWORD(reinterpret_cast<uintptr_t>(cls));
    book(Book::Window, word(hwnd), std::string("window of class ") + (atom || !cls ? "(atom)" : cls),
         "CreateWindowExA");
    return hwnd;
}
HWND WINAPI ledCreateWindowExW(DWORD ex, LPCWSTR cls, LPCWSTR title, DWORD style, int x, int y, int w, int h,
                               HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
    HWND hwnd = REAL(CreateWindowExW)(ex, cls, title, style, x, y, w, h, parent, menu, inst, param);
    book(Book::Window, word(hwnd), "window", "CreateWindowExW");
    return hwnd;
}
BOOL WINAPI ledDestroyWindow(HWND w) {
    const BOOL ok = REAL(DestroyWindow)(w);
    if (ok) unbook(Book::Window, word(w));
    return ok;
}
HMENU WINAPI ledCreateMenu() {
    HMENU m = REAL(CreateMenu)();
    book(Book::Menu, word(m), "menu", "CreateMenu");
    return m;
}
HMENU WINAPI ledCreatePopupMenu() {
    HMENU m = REAL(CreatePopupMenu)();
    book(Book::Menu, word(m), "popup menu", "CreatePopupMenu");
    return m;
}
BOOL WINAPI ledDestroyMenu(HMENU m) {
    const BOOL ok = REAL(DestroyMenu)(m);
    if (ok) unbook(Book::Menu, word(m));
    return ok;
}
HHOOK WINAPI ledSetWindowsHookExA(int id, HOOKPROC proc, HINSTANCE inst, DWORD thread) {
    HHOOK h = REAL(SetWindowsHookExA)(id, proc, inst, thread);
    book(Book::Hook, word(h), "hook of type " + std::to_string(id), "SetWindowsHookExA");
    return h;
}
HHOOK WINAPI ledSetWindowsHookExW(int id, HOOKPROC proc, HINSTANCE inst, DWORD thread) {
    HHOOK h = REAL(SetWindowsHookExW)(id, proc, inst, thread);
    book(Book::Hook, word(h), "hook of type " + std::to_string(id), "SetWindowsHookExW");
    return h;
}
BOOL WINAPI ledUnhookWindowsHookEx(HHOOK h) {
    const BOOL ok = REAL(UnhookWindowsHookEx)(h);
    if (ok) unbook(Book::Hook, word(h));
    return ok;
}

// A timer goes by its window and id; a timer of no window by the id SetTimer gave.
uintptr_t timerKey(HWND w, UINT_PTR id) { return word(w) * 65599u + id; }

UINT_PTR WINAPI ledSetTimer(HWND w, UINT_PTR id, UINT ms, TIMERPROC proc) {
    const UINT_PTR t = REAL(SetTimer)(w, id, ms, proc);
    if (t) book(Book::Timer, timerKey(w, w ? id : t), "timer", "SetTimer", GetCurrentThreadId(), word(w));
    return t;
}
BOOL WINAPI ledKillTimer(HWND w, UINT_PTR id) {
    const BOOL ok = REAL(KillTimer)(w, id);
    if (ok) unbook(Book::Timer, timerKey(w, id));
    return ok;
}

// A window procedure of the library put in front of a window's: booked
// while the library's is the one in front. Putting back another procedure
// ends the holding only where the library's stood in front; under a foreign
// subclass the library's procedure stays in the chain.
void bookProcedure(HWND w, uintptr_t now, uintptr_t before, const char* by) {
    if (!before) return;  // refused: nothing changed
    if (inLibrary(now) && !inLibrary(before)) {
        book(Book::Procedure, word(w), "window procedure", by, 0, before);
    } else if (!inLibrary(now) && inLibrary(before)) {
        unbook(Book::Procedure, word(w));
    }
}

#if defined(_WIN64)
LONG_PTR WINAPI ledSetWindowLongPtrA(HWND w, int index, LONG_PTR value) {
    const LONG_PTR before = REAL(SetWindowLongPtrA)(w, index, value);
    if (index == GWLP_WNDPROC) bookProcedure(w, static_cast<uintptr_t>(value), static_cast<uintptr_t>(before), "SetWindowLongPtrA");
    return before;
}
#else
LONG WINAPI ledSetWindowLongA(HWND w, int index, LONG value) {
    const LONG before = REAL(SetWindowLongA)(w, index, value);
    if (index == GWL_WNDPROC)
        bookProcedure(w, static_cast<uint32_t>(value), static_cast<uint32_t>(before), "SetWindowLongA");
    return before;
}
LONG WINAPI ledSetWindowLongW(HWND w, int index, LONG value) {
    const LONG before = REAL(SetWindowLongW)(w, index, value);
    if (index == GWL_WNDPROC)
        bookProcedure(w, static_cast<uint32_t>(value), static_cast<uint32_t>(before), "SetWindowLongW");
    return before;
}
#endif

// ---- COM ----

HRESULT WINAPI ledCoInitialize(LPVOID reserved) {
    const HRESULT hr = REAL(CoInitialize)(reserved);
    if (SUCCEEDED(hr)) book(Book::Apartment, GetCurrentThreadId(), "COM apartment", "CoInitialize", GetCurrentThreadId());
    return hr;
}
HRESULT WINAPI ledCoInitializeEx(LPVOID reserved, DWORD model) {
    const HRESULT hr = REAL(CoInitializeEx)(reserved, model);
    if (SUCCEEDED(hr))
        book(Book::Apartment, GetCurrentThreadId(), "COM apartment", "CoInitializeEx", GetCurrentThreadId());
    return hr;
}
void WINAPI ledCoUninitialize() {
    unbook(Book::Apartment, GetCurrentThreadId());
    REAL(CoUninitialize)();
}

// COM objects: the library's references on the objects it creates are
// counted through their own AddRef, Release and QueryInterface, which the
// ledger replaces in each interface's table; a call counts when it comes
// from the library's code (its return address lies in the library).
using AddRefFn = ULONG(STDMETHODCALLTYPE*)(IUnknown*);
using QueryFn = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, REFIID, void**);
struct Methods {
    QueryFn query;
    AddRefFn addRef;
    AddRefFn release;
};
std::map<void*, Methods> gTables;  // by interface table, the real methods

void watchInterface(IUnknown* p);

const Methods& methodsOf(IUnknown* self) {
    Locked l;
    return gTables.at(*reinterpret_cast<void**>(self));
}

__attribute__((noinline)) HRESULT STDMETHODCALLTYPE ledQueryInterface(IUnknown* self, REFIID iid, void** out) {
    const uintptr_t from = word(__builtin_return_address(0));
    const HRESULT hr = methodsOf(self).query(self, iid, out);
    if (SUCCEEDED(hr) && out && *out && inLibrary(from)) {
        auto* p = static_cast<IUnknown*>(*out);
        watchInterface(p);
        book(Book::Com, word(p), "COM interface", "QueryInterface");
    }
    return hr;
}
__attribute__((noinline)) ULONG STDMETHODCALLTYPE ledAddRef(IUnknown* self) {
    const uintptr_t from = word(__builtin_return_address(0));
    if (inLibrary(from)) book(Book::Com, word(self), "COM interface", "AddRef");
    return methodsOf(self).addRef(self);
}
__attribute__((noinline)) ULONG STDMETHODCALLTYPE ledRelease(IUnknown* self) {
    const uintptr_t from = word(__builtin_return_address(0));
    const AddRefFn real = methodsOf(self).release;
    if (inLibrary(from)) unbook(Book::Com, word(self));
    return real(self);
}

// Replaces the first three methods of the interface's table (kept
// replaced: other objects of the class share the table, and count only
// when the library calls).
void watchInterface(IUnknown* p) {
    static const QueryFn kQuery = &ledQueryInterface;
    void** table = *reinterpret_cast<void***>(p);
    {
        Locked l;
        // Watched already, unless the table's module was mapped afresh since.
        if (gTables.count(table) && std::memcmp(&table[0], &kQuery, sizeof(void*)) == 0) return;
    }
    Methods m;
    std::memcpy(&m.query, &table[0], sizeof(void*));
    std::memcpy(&m.addRef, &table[1], sizeof(void*));
    std::memcpy(&m.release, &table[2], sizeof(void*));
    {
        Locked l;
        gTables[table] = m;
    }
    DWORD old;
    if (!VirtualProtect(table, 3 * sizeof(void*), PAGE_READWRITE, &old)) return;
    const QueryFn q = &ledQueryInterface;
    const AddRefFn a = &ledAddRef, r = &ledRelease;
    std::memcpy(&table[0], &q, sizeof(void*));
    std::memcpy(&table[1], &a, sizeof(void*));
    std::memcpy(&table[2], &r, sizeof(void*));
    VirtualProtect(table, 3 * sizeof(void*), old, &old);
}

HRESULT WINAPI ledCoCreateInstance(REFCLSID cls, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
    const HRESULT hr = REAL(CoCreateInstance)(cls, outer, context, iid, out);
    if (SUCCEEDED(hr) && out && *out) {
        auto* p = static_cast<IUnknown*>(*out);
        // Objects of another process arrive through a proxy of this one's:
        // its table is the proxy's and is watched all the same.
        watchInterface(p);
        book(Book::Com, word(p), "COM interface", "CoCreateInstance");
    }
    return hr;
}

// The shell's item id lists go back through its allocator's Free, which the
// ledger replaces in the allocator's table as it does the first three methods.
using FreeFn = void(STDMETHODCALLTYPE*)(IMalloc*, void*);
std::map<void*, FreeFn> gFrees;  // by allocator table, the real Free

void STDMETHODCALLTYPE ledFree(IMalloc* self, void* block) {
    FreeFn real;
    {
        Locked l;
        real = gFrees.at(*reinterpret_cast<void**>(self));
    }
    unbook(Book::ItemList, word(block));
    real(self, block);
}

void watchAllocator(IMalloc* m) {
    void** table = *reinterpret_cast<void***>(m);
    static const FreeFn kFree = &ledFree;
    if (std::memcmp(&table[5], &kFree, sizeof(void*)) == 0) return;
    FreeFn real;
    std::memcpy(&real, &table[5], sizeof(void*));
    {
        Locked l;
        gFrees[table] = real;
    }
    DWORD old;
    if (!VirtualProtect(&table[5], sizeof(void*), PAGE_READWRITE, &old)) return;
    std::memcpy(&table[5], &kFree, sizeof(void*));
    VirtualProtect(&table[5], sizeof(void*), old, &old);
}

PIDLIST_ABSOLUTE WINAPI ledSHBrowseForFolderA(LPBROWSEINFOA info) {
    PIDLIST_ABSOLUTE list = REAL(SHBrowseForFolderA)(info);
    book(Book::ItemList, word(list), "item id list", "SHBrowseForFolderA");
    return list;
}
HRESULT WINAPI ledSHGetSpecialFolderLocation(HWND owner, int folder, PIDLIST_ABSOLUTE* out) {
    const HRESULT hr = REAL(SHGetSpecialFolderLocation)(owner, folder, out);
    if (SUCCEEDED(hr) && out) book(Book::ItemList, word(*out), "item id list", "SHGetSpecialFolderLocation");
    return hr;
}

HRESULT WINAPI ledSHGetMalloc(IMalloc** out) {
    const HRESULT hr = REAL(SHGetMalloc)(out);
    if (SUCCEEDED(hr) && out && *out) {
        watchAllocator(*out);
        watchInterface(*out);
        book(Book::Com, word(*out), "COM interface (the shell's allocator)", "SHGetMalloc");
    }
    return hr;
}

#undef REAL

// ---- liveness: what ended without the library ----

bool threadRunning(DWORD id) {
    HANDLE h = OpenThread(SYNCHRONIZE, FALSE, id);
    if (!h) return false;
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

bool ended(Book b, uintptr_t id, const Entry& e) {
    switch (b) {
        case Book::Window: return !IsWindow(reinterpret_cast<HWND>(id));
        case Book::Menu: return !IsMenu(reinterpret_cast<HMENU>(id));
        case Book::Timer: return e.extra ? !IsWindow(reinterpret_cast<HWND>(e.extra)) : !threadRunning(e.thread);
        case Book::Procedure: return !IsWindow(reinterpret_cast<HWND>(id));
        case Book::Apartment: return !threadRunning(e.thread);
        case Book::RuntimeThread: return GetThreadId(reinterpret_cast<HANDLE>(id)) != e.thread;
        default: return false;
    }
}

// The null security attributes record of S_NULLSA: a local block holding a
// security descriptor without a DACL, built once and kept while mapped.
bool nullSecurityRecord(Book b, uintptr_t id) {
    if (b != Book::Local) return false;
    auto* sd = reinterpret_cast<PSECURITY_DESCRIPTOR>(id);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    return LocalSize(reinterpret_cast<HLOCAL>(id)) == SECURITY_DESCRIPTOR_MIN_LENGTH && IsValidSecurityDescriptor(sd) &&
           GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) && present && !dacl;
}

// References on the system libraries a family keeps for a function it looks up once.
bool keptSystemModule(Book b, const Entry& e) {
    return b == Book::Module &&
           (e.kind == "module reference (shlwapi.dll)" || e.kind == "module reference (svrapi.dll)");
}

// A block that lies in a slot of the host's handle table.
bool inHandleTable(Host& host, uintptr_t block) {
    HandleTable* t = host.handles();
    for (uint32_t k = 1; k < t->capacity; ++k)
        if (t->slot[k] == block) return true;
    return false;
}

}  // namespace

const std::vector<LongLived>& longLived() {
    static const std::vector<LongLived> list = {
        {"local memory", "one block of a security descriptor without a DACL",
         "the null security attributes record S_NULLSA builds once and hands out while the library is mapped"},
        {"semaphore", "two, from CreateSemaphoreA",
         "the statically linked runtime's unwinder makes its two locks the first time an error unwinds a call and "
         "never closes them; the library itself makes no semaphore"},
        {"module reference", "shlwapi.dll, svrapi.dll, once each",
         "the checksum and share functions look HashData and the older share route up once and keep them"},
        {"pinned module", "the library itself",
         "a hooked window whose procedure chain still runs through the library after a foreign subclass keeps it "
         "mapped"},
        {"window procedure", "in a window's chain under a foreign subclass, while the library is pinned",
         "taking it out would cut the other subclass off; it passes every message on"},
    };
    return list;
}

namespace {
// The holdings still live, by their book; the ones that ended are struck off.
std::vector<std::pair<std::pair<Book, uintptr_t>, Entry>> live() {
    std::vector<std::pair<std::pair<Book, uintptr_t>, Entry>> out;
    Locked l;
    for (auto it = gBooks.begin(); it != gBooks.end();) {
        if (ended(it->first.first, it->first.second, it->second)) {
            it = gBooks.erase(it);
            continue;
        }
        out.push_back(*it);
        ++it;
    }
    return out;
}
Holding holding(uintptr_t id, const Entry& e) { return Holding{e.kind, id, e.by, e.count}; }
}  // namespace

std::vector<Holding> ledger() {
    std::vector<Holding> out;
    for (auto& [key, e] : live()) out.push_back(holding(key.second, e));
    return out;
}

std::string describe(const Holding& h) {
    char id[32];
    std::snprintf(id, sizeof id, "%#llx", static_cast<unsigned long long>(h.id));
    return h.kind + " " + id + " (" + h.by + (h.count > 1 ? ", " + std::to_string(h.count) + " references" : "") + ")";
}

void ledgerForget(uintptr_t id) {
    Locked l;
    for (auto it = gBooks.begin(); it != gBooks.end();)
        it = it->first.second == id ? gBooks.erase(it) : std::next(it);
}

void freeLibraryBlock(HGLOBAL block) {
    ledgerForget(word(block));
    GlobalFree(block);
}

void hostFreed(HGLOBAL block) {
    Locked l;
    gBooks.erase({Book::Global, word(block)});
}

void bookGlobal(HGLOBAL now, HGLOBAL before, SIZE_T size, const char* by) {
    if (!now) return;
    if (before && now != before) unbook(Book::Global, word(before));
    if (!before || now != before) book(Book::Global, word(now), "global memory of " + std::to_string(size) + " bytes", by);
}

void patchLedger(Host&, HMODULE m) {
    {
        Locked l;
        gBooks.clear();
        gThreads.clear();
    }
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(m);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(reinterpret_cast<uint8_t*>(m) + dos->e_lfanew);
    gBase = word(m);
    gEnd = gBase + nt->OptionalHeader.SizeOfImage;
#define THROUGH(dll, fn) passThrough<decltype(&::fn)>(m, dll, #fn, &led##fn, real_##fn)
    THROUGH("kernel32.dll", CreateThread);
    passThrough<decltype(&::_beginthread)>(m, "msvcrt.dll", "_beginthread", &ledBeginthread, real__beginthread);
    passThrough<decltype(&::_beginthreadex)>(m, "msvcrt.dll", "_beginthreadex", &ledBeginthreadex,
                                             real__beginthreadex);
    THROUGH("kernel32.dll", CreateEventA);
    THROUGH("kernel32.dll", CreateEventW);
    THROUGH("kernel32.dll", CreateMutexA);
    THROUGH("kernel32.dll", CreateSemaphoreA);
    THROUGH("kernel32.dll", CreateFileA);
    THROUGH("kernel32.dll", CreateFileW);
    THROUGH("kernel32.dll", CreateFileMappingA);
    THROUGH("kernel32.dll", OpenProcess);
    THROUGH("kernel32.dll", CreateToolhelp32Snapshot);
    THROUGH("kernel32.dll", DuplicateHandle);
    THROUGH("kernel32.dll", CloseHandle);
    THROUGH("kernel32.dll", FindFirstFileA);
    THROUGH("kernel32.dll", FindFirstFileW);
    THROUGH("kernel32.dll", FindFirstFileExA);
    THROUGH("kernel32.dll", FindFirstFileExW);
    THROUGH("kernel32.dll", FindClose);
    THROUGH("kernel32.dll", LoadLibraryA);
    THROUGH("kernel32.dll", LoadLibraryW);
    THROUGH("kernel32.dll", LoadLibraryExA);
    THROUGH("kernel32.dll", LoadLibraryExW);
    THROUGH("kernel32.dll", GetModuleHandleExA);
    THROUGH("kernel32.dll", GetModuleHandleExW);
    THROUGH("kernel32.dll", FreeLibrary);
    THROUGH("kernel32.dll", FreeLibraryAndExitThread);
    THROUGH("kernel32.dll", LocalAlloc);
    THROUGH("kernel32.dll", LocalReAlloc);
    THROUGH("kernel32.dll", LocalFree);
    THROUGH("kernel32.dll", GlobalFree);
    THROUGH("user32.dll", CreateWindowExA);
    THROUGH("user32.dll", CreateWindowExW);
    THROUGH("user32.dll", DestroyWindow);
    THROUGH("user32.dll", CreateMenu);
    THROUGH("user32.dll", CreatePopupMenu);
    THROUGH("user32.dll", DestroyMenu);
    THROUGH("user32.dll", SetWindowsHookExA);
    THROUGH("user32.dll", SetWindowsHookExW);
    THROUGH("user32.dll", UnhookWindowsHookEx);
    THROUGH("user32.dll", SetTimer);
    THROUGH("user32.dll", KillTimer);
#if defined(_WIN64)
    THROUGH("user32.dll", SetWindowLongPtrA);
#else
    THROUGH("user32.dll", SetWindowLongA);
    THROUGH("user32.dll", SetWindowLongW);
#endif
    THROUGH("ole32.dll", CoInitialize);
    THROUGH("ole32.dll", CoInitializeEx);
    THROUGH("ole32.dll", CoUninitialize);
    THROUGH("ole32.dll", CoCreateInstance);
    THROUGH("shell32.dll", SHGetMalloc);
    THROUGH("shell32.dll", SHBrowseForFolderA);
    THROUGH("shell32.dll", SHGetSpecialFolderLocation);
#undef THROUGH
}

void forgetLedger() {
    Locked l;
    gBooks.clear();
    gThreads.clear();
    gBase = gEnd = 0;
}

void checkLedger(Host& host) {
    // Threads the library started end on their own once told to: a moment's grace.
    std::vector<std::pair<DWORD, std::string>> threads;
    {
        Locked l;
        threads.assign(gThreads.begin(), gThreads.end());
    }
    const DWORD until = GetTickCount() + 3000;
    for (auto& [id, by] : threads) {
        while (threadRunning(id) && static_cast<LONG>(until - GetTickCount()) > 0) Sleep(10);
        if (threadRunning(id))
            host.violation("thread " + std::to_string(id) + " (" + by + ") still runs after the library was unloaded");
    }
    const auto left = live();
    bool pinned = false;
    for (auto& [key, e] : left) pinned |= key.first == Book::Pin && key.second == gBase;
    int nullRecords = 0, runtimeLocks = 0;
    for (auto& [key, e] : left) {
        const Book b = key.first;
        if (b == Book::Pin) continue;  // reported by what it keeps alive, if anything
        if (b == Book::Procedure && pinned) continue;
        if (nullSecurityRecord(b, key.second) && ++nullRecords == 1) continue;
        if (keptSystemModule(b, e)) continue;
        if (e.kind == "semaphore" && e.by == "CreateSemaphoreA" && ++runtimeLocks <= 2) continue;
        if (b == Book::Global && inHandleTable(host, key.second)) continue;  // the host's own check sees those
        host.violation("the library still holds " + describe(holding(key.second, e)) + " after it was unloaded");
    }
    Locked l;
    gBooks.clear();
    gThreads.clear();
    gBase = gEnd = 0;
}

}  // namespace hostemu

// Owners for the system's objects: a handle, menu, window, hook, key or block
// the library made is closed when its owner goes out of scope, whatever ends
// the call (a return, or a host error unwinding to DispatchAPI). Where the
// object passes to someone else (the script, another thread), release() hands
// it over and the owner forgets it.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace kv {

// An owner of one object of a kind. A kind names the object's type, the value
// that stands for none, whether a value holds an object, and how it is closed.
template <class Kind>
class Own {
public:
    using type = typename Kind::type;

    Own() = default;
    explicit Own(type v) noexcept : v_(v) {}
    Own(Own&& o) noexcept : v_(std::exchange(o.v_, Kind::none())) {}
    Own& operator=(Own&& o) noexcept {
        if (this != &o) reset(std::exchange(o.v_, Kind::none()));
        return *this;
    }
    Own(const Own&) = delete;
    Own& operator=(const Own&) = delete;
    ~Own() { reset(); }

    type get() const noexcept { return v_; }
    explicit operator bool() const noexcept { return Kind::holds(v_); }
    type release() noexcept { return std::exchange(v_, Kind::none()); }
    void reset(type v = Kind::none()) noexcept {
        if (Kind::holds(v_)) Kind::close(v_);
        v_ = v;
    }

private:
    type v_ = Kind::none();
};

namespace kind {

// The kinds whose "none" is a null value.
template <class T, auto Close>
struct Plain {
    using type = T;
    static constexpr T none() noexcept { return T{}; }
    static bool holds(T v) noexcept { return v != T{}; }
    static void close(T v) noexcept { Close(v); }
};

// A kernel object: threads, events, processes, files. Some calls answer
// INVALID_HANDLE_VALUE for none, others null; neither is closed.
struct Kernel {
    using type = HANDLE;
    static constexpr HANDLE none() noexcept { return nullptr; }
    static bool holds(HANDLE h) noexcept { return h && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};

// A directory search of FindFirstFile, which answers INVALID_HANDLE_VALUE for none.
struct Find {
    using type = HANDLE;
    static HANDLE none() noexcept { return INVALID_HANDLE_VALUE; }
    static bool holds(HANDLE h) noexcept { return h && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { FindClose(h); }
};

inline void destroyMenu(HMENU h) noexcept { DestroyMenu(h); }
inline void destroyWindow(HWND h) noexcept { DestroyWindow(h); }
inline void unhook(HHOOK h) noexcept { UnhookWindowsHookEx(h); }
inline void closeKey(HKEY h) noexcept { RegCloseKey(h); }
inline void freeGlobal(HGLOBAL h) noexcept { GlobalFree(h); }
inline void freeLocal(HLOCAL h) noexcept { LocalFree(h); }

}  // namespace kind

using OwnHandle = Own<kind::Kernel>;
using OwnFind = Own<kind::Find>;
using OwnMenu = Own<kind::Plain<HMENU, kind::destroyMenu>>;
using OwnWindow = Own<kind::Plain<HWND, kind::destroyWindow>>;
using OwnHook = Own<kind::Plain<HHOOK, kind::unhook>>;
using OwnKey = Own<kind::Plain<HKEY, kind::closeKey>>;
using OwnGlobal = Own<kind::Plain<HGLOBAL, kind::freeGlobal>>;
using OwnLocal = Own<kind::Plain<HLOCAL, kind::freeLocal>>;

// A COM interface pointer: one reference, released with its owner.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) noexcept : p_(p) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) reset(std::exchange(o.p_, nullptr));
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // For a call that answers a new reference through a void** (empties the owner first).
    void** out() noexcept {
        reset();
        return reinterpret_cast<void**>(&p_);
    }
    // For a call that answers a new reference through a T**.
    T** put() noexcept {
        reset();
        return &p_;
    }
    T* release() noexcept { return std::exchange(p_, nullptr); }
    // Lets the reference go now; the answer is the count the object reports (for a trace).
    ULONG drop() noexcept { return p_ ? std::exchange(p_, nullptr)->Release() : 0; }
    void reset(T* p = nullptr) noexcept {
        if (p_) p_->Release();
        p_ = p;
    }

private:
    T* p_ = nullptr;
};

}  // namespace kv

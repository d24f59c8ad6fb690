// What the library's threads take and give back: the handle of every thread
// it creates and every reference it takes on its own module, counted through
// pass-through patches of its imports. A thread's last act (giving back its
// module reference) is counted too, so a balanced count means every thread
// has ended.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <set>

#include "hostemu/iat.h"

namespace kavro_test {

class ThreadLedger {
public:
    explicit ThreadLedger(HMODULE library) {
        std::lock_guard<std::mutex> g(lock_);
        library_ = library;
        open_.clear();
        started_ = 0;
        references_ = 0;
        create_ = hostemu::importPatch<decltype(&::CreateThread)>(library, "kernel32.dll", "CreateThread", &create);
        close_ = hostemu::importPatch<decltype(&::CloseHandle)>(library, "kernel32.dll", "CloseHandle", &close);
        take_ = hostemu::importPatch<decltype(&::GetModuleHandleExA)>(library, "kernel32.dll", "GetModuleHandleExA",
                                                                      &take);
        free_ = hostemu::importPatch<decltype(&::FreeLibrary)>(library, "kernel32.dll", "FreeLibrary", &give);
        exit_ = hostemu::importPatch<decltype(&::FreeLibraryAndExitThread)>(library, "kernel32.dll",
                                                                            "FreeLibraryAndExitThread", &giveAndExit);
        // Each passes on to what the library called before (the host's own
        // ledger of what the library holds), not around it.
        next_ = {create_->original(), close_->original(), take_->original(), free_->original(), exit_->original()};
    }
    ~ThreadLedger() { settle(); }
    ThreadLedger(const ThreadLedger&) = delete;
    ThreadLedger& operator=(const ThreadLedger&) = delete;

    bool active() const {
        return create_->active() && close_->active() && take_->active() && free_->active() && exit_->active();
    }
    // Threads created through the library's CreateThread.
    int started() { return locked(started_); }
    // Their handles that the library has not closed.
    int openHandles() { return locked(static_cast<int>(open_.size())); }
    // Module references taken and not given back.
    int references() { return locked(references_); }
    // Waits up to `millis` for every thread to give back its reference; true when they have.
    bool settle(DWORD millis = 30000) {
        for (DWORD waited = 0; references() > 0 && waited < millis; waited += 10) Sleep(10);
        return references() == 0;
    }

private:
    template <class T>
    static T locked(const T& v) {
        std::lock_guard<std::mutex> g(lock_);
        return v;
    }
    static HANDLE WINAPI create(LPSECURITY_ATTRIBUTES sa, SIZE_T stack, LPTHREAD_START_ROUTINE start, LPVOID arg,
                                DWORD flags, LPDWORD id) {
        const HANDLE h = (next_.create ? next_.create : &::CreateThread)(sa, stack, start, arg, flags, id);
        std::lock_guard<std::mutex> g(lock_);
        if (h) {
            ++started_;
            open_.insert(h);
        }
        return h;
    }
    static BOOL WINAPI close(HANDLE h) {
        {
            std::lock_guard<std::mutex> g(lock_);
            open_.erase(h);
        }
        return (next_.close ? next_.close : &::CloseHandle)(h);
    }
    static BOOL WINAPI take(DWORD flags, LPCSTR name, HMODULE* out) {
        const BOOL ok = (next_.take ? next_.take : &::GetModuleHandleExA)(flags, name, out);
        std::lock_guard<std::mutex> g(lock_);
        if (ok && out && *out == library_ && !(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) ++references_;
        return ok;
    }
    static BOOL WINAPI give(HMODULE m) {
        {
            std::lock_guard<std::mutex> g(lock_);
            if (m == library_) --references_;
        }
        return (next_.give ? next_.give : &::FreeLibrary)(m);
    }
    static void WINAPI giveAndExit(HMODULE m, DWORD code) {
        {
            std::lock_guard<std::mutex> g(lock_);
            if (m == library_) --references_;
        }
        (next_.giveAndExit ? next_.giveAndExit : &::FreeLibraryAndExitThread)(m, code);
    }

    struct Next {
        decltype(&::CreateThread) create;
        decltype(&::CloseHandle) close;
        decltype(&::GetModuleHandleExA) take;
        decltype(&::FreeLibrary) give;
        decltype(&::FreeLibraryAndExitThread) giveAndExit;
    };
    static inline Next next_{};
    static inline std::mutex lock_;
    static inline HMODULE library_ = nullptr;
    static inline std::set<HANDLE> open_;
    static inline int started_ = 0;
    static inline int references_ = 0;
    std::unique_ptr<hostemu::ImportPatch<decltype(&::CreateThread)>> create_;
    std::unique_ptr<hostemu::ImportPatch<decltype(&::CloseHandle)>> close_;
    std::unique_ptr<hostemu::ImportPatch<decltype(&::GetModuleHandleExA)>> take_;
    std::unique_ptr<hostemu::ImportPatch<decltype(&::FreeLibrary)>> free_;
    std::unique_ptr<hostemu::ImportPatch<decltype(&::FreeLibraryAndExitThread)>> exit_;
};

}  // namespace kavro_test

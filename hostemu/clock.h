// The host's fake clock. It stands in for a library's GetTickCount and its
// timed WaitForSingleObject, so that minutes of the library's time pass in
// moments and every step falls at its exact time.
//
// Only the test moves it (step()), and only while every party waits on it:
// then it goes to the nearest time one of them waits for. A party is the
// library's thread other than the script thread (a watcher), one in each
// process that joins in; the clock's face may lie in memory those
// processes share, so that all of them keep one time. A party's wait first
// waits for real a short while, so that the library's other threads (a
// warning box asked to go) get real time too; a timed wait on the script
// thread only waits for real, at most kScriptWait.
#pragma once

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "hostemu/iat.h"

namespace hostemu {

struct ClockFace {
    volatile LONG now;
    volatile LONG parties;     // the processes whose waits the clock waits for: 1 or 2
    volatile LONG waiting[2];  // 1 while that process's party waits on the clock
    volatile LONG until[2];    // and until when
};

class FakeClock {
public:
    static constexpr DWORD kScriptWait = 500;

    // From now on the clock reads `face`, this process is party `side`, and
    // the calling thread is the script thread.
    static void use(ClockFace* face, int side) {
        face_ = face;
        side_ = side;
        scriptThread_ = GetCurrentThreadId();
    }
    static DWORD scriptThread() { return scriptThread_; }
    static bool onScriptThread() { return GetCurrentThreadId() == scriptThread_; }
    static DWORD now() { return static_cast<DWORD>(face_->now); }
    static void moveBy(DWORD ms) { InterlockedExchangeAdd(&face_->now, static_cast<LONG>(ms)); }

    // Moves the clock to the nearest time a party waits for, once every party
    // waits and none has yet to see its time come; false when it may not.
    static bool step() {
        ClockFace& f = *face_;
        const DWORD at = now();
        LONG nearest = 0;
        for (LONG k = 0; k < f.parties; ++k) {
            const LONG left = static_cast<LONG>(static_cast<DWORD>(f.until[k]) - at);
            if (!f.waiting[k] || left <= 0) return false;
            nearest = k == 0 ? left : std::min(nearest, left);
        }
        InterlockedExchange(&f.now, static_cast<LONG>(at + static_cast<DWORD>(nearest)));
        return true;
    }

    // Puts the clock into `library`'s imports for as long as `patches` holds them.
    static bool patch(HMODULE library, std::vector<std::shared_ptr<void>>& patches) {
        return keepPatch<decltype(&::GetTickCount)>(patches, library, "kernel32.dll", "GetTickCount", &tickCount) &&
               keepPatch<decltype(&::WaitForSingleObject)>(patches, library, "kernel32.dll", "WaitForSingleObject",
                                                           &wait);
    }

private:
    static DWORD WINAPI tickCount() { return now(); }
    static DWORD WINAPI wait(HANDLE h, DWORD ms) {
        if (ms == 0 || ms == INFINITE) return WaitForSingleObject(h, ms);
        if (onScriptThread()) return WaitForSingleObject(h, std::min(ms, kScriptWait));
        const DWORD r = WaitForSingleObject(h, ms < 20 ? ms : ms >= 5000 ? 500 : 20);
        if (r != WAIT_TIMEOUT) return r;
        ClockFace& f = *face_;
        const DWORD until = now() + ms;
        InterlockedExchange(&f.until[side_], static_cast<LONG>(until));
        InterlockedExchange(&f.waiting[side_], 1);
        DWORD w;
        while ((w = WaitForSingleObject(h, 1)) == WAIT_TIMEOUT && static_cast<LONG>(now() - until) < 0) {
        }
        InterlockedExchange(&f.waiting[side_], 0);
        return w;
    }

    static inline ClockFace* face_ = nullptr;
    static inline int side_ = 0;
    static inline DWORD scriptThread_ = 0;
};

}  // namespace hostemu

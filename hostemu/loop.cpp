// The host's message loop, and the routines the library registers to be
// called back from it (HostActivateHandler 58, HostDeactivateHandler 59).
//
// The real host runs its message loop between script statements: window and
// timer procedures run from there, and so do the registered routines, which
// the host calls through DispatchAPI like any handler. Here the loop runs
// when a test or the shell asks for it (pump); every message is dispatched in
// a request frame of its own, so that the host calls a window procedure makes
// are answered and checked like any other.
#include <windows.h>

#include <algorithm>

#include "hostemu/host.h"

namespace hostemu {

void Host::inLoop(const std::function<void()>& fn) {
    frames_.push_back(makeFrame("(message loop)"));
    try {
        fn();
    } catch (...) {
        frames_.pop_back();
        throw;
    }
    const Frame done = std::move(frames_.back());
    frames_.pop_back();
    if (done.error) {
        Result r;
        r.error = done.error;
        r.message = done.message;
        loopErrors.push_back(r);
    }
    if (frames_.empty()) checkLeaks("a message of the loop");
}

LRESULT Host::send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    inLoop([&] { result = SendMessageA(window, message, wParam, lParam); });
    return result;
}

void Host::runActivations() {
    // A routine may register or deregister routines: call from a copy, and
    // only those still registered.
    const auto registered = activations_;
    for (const auto& [id, a] : registered) {
        if (!activations_.count(id)) continue;
        DispatchRecord r{};
        r.opcode = opcode::Call;
        r.routine = a.routine;
        runInFrame(r, makeFrame("(registered routine)"));
        if (frames_.empty()) checkLeaks("a registered routine");
    }
}

bool Host::pumpUntil(const std::function<bool()>& done, int ms) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::max(ms, 0));
    for (;;) {
        if (done && done()) return true;
        for (bool got = true; got;) {
            inLoop([&] {
                MSG m;
                got = PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) != 0;
                if (got) {
                    TranslateMessage(&m);
                    DispatchMessageA(&m);
                }
            });
        }
        runActivations();  // between two statements
        if (done && done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10)),
                                  QS_ALLINPUT);
    }
}

void Host::pump(int ms) { pumpUntil(nullptr, ms); }

int32_t Host::activate(word_t routine, int16_t kind, word_t entry) {
    if (entry != reinterpret_cast<word_t>(entry_))
        violation("a routine was registered with an entry that is not the library's DispatchAPI");
    if (!routine) {
        violation("a null routine was registered");
        return 0;
    }
    const int32_t id = nextActivation_++;
    activations_[id] = {routine, kind};
    return id;
}

void Host::deactivate(int32_t id) {
    if (!activations_.erase(id)) violation("handler id " + std::to_string(id) + " is not registered");
}

namespace {

// Arguments: routine, kind (i16, sign-extended), the library's DispatchAPI.
ApiRegistration activateHandler(api::ActivateHandler, [](Host& h, HostCallRecord& r) {
    r.arg1 = static_cast<word_t>(h.activate(r.arg1, static_cast<int16_t>(r.arg2), r.arg3));
});

ApiRegistration deactivateHandler(api::DeactivateHandler, [](Host& h, HostCallRecord& r) {
    h.deactivate(static_cast<int32_t>(r.arg1));
});

}  // namespace

}  // namespace hostemu

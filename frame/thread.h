// The threads the library starts: the worker, bulk file runs, the forced-quit
// watcher and its warning box. Each one holds a reference on the library's
// module for its whole run, so that an unload that stops waiting for it cannot
// unmap the code it runs, and gives that reference back as its very last act.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace kv {

// A thread's work. It runs on the new thread; anything it throws ends there.
using ThreadBody = void (*)(void* context);

// Starts `body(context)` on a new thread that holds a reference on the
// library. The answer is the thread's handle, which the caller owns and
// closes (`id` receives the thread's id); nullptr when no thread could be
// started, and then nothing is held and the body never runs.
HANDLE startThread(ThreadBody body, void* context, DWORD* id = nullptr);

// The same for a thread that nobody waits for: its handle is closed at once.
// False when no thread could be started.
bool startDetachedThread(ThreadBody body, void* context);

// State a thread shares with the thread that started it: each holds a share
// (one more for each further thread given it), and whichever lets go last
// frees it, so that a thread nobody waits for any more finishes on state of
// its own.
struct SharedState {
    std::atomic<int32_t> shares{2};
};
template <class State>
void letGo(State* s) {
    if (--s->shares == 0) delete s;
}

}  // namespace kv

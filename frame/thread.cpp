#include "frame/thread.h"

#include <new>

#include "frame/own.h"

namespace kv {
namespace {

struct Start {
    ThreadBody body;
    void* context;
    HMODULE module;  // the thread's reference on the library
};

const char kInsideLibrary = 0;  // an address inside the library's image

DWORD WINAPI threadEntry(LPVOID p) {
    const Start start = *static_cast<Start*>(p);
    delete static_cast<Start*>(p);
    try {
        start.body(start.context);
    } catch (...) {
    }
    // Returns nowhere: the thread ends inside the system, after the library
    // may have been unmapped.
    FreeLibraryAndExitThread(start.module, 0);
}

}  // namespace

HANDLE startThread(ThreadBody body, void* context, DWORD* id) {
    auto* start = new (std::nothrow) Start{body, context, nullptr};
    if (!start) return nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, &kInsideLibrary, &start->module)) {
        delete start;
        return nullptr;
    }
    const HMODULE module = start->module;
    DWORD ignored;
    const HANDLE thread = CreateThread(nullptr, 0, threadEntry, start, 0, id ? id : &ignored);
    if (!thread) {
        delete start;
        FreeLibrary(module);
    }
    return thread;
}

bool startDetachedThread(ThreadBody body, void* context) {
    return static_cast<bool>(OwnHandle(startThread(body, context)));
}

}  // namespace kv

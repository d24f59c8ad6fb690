// MT_ functions: one worker thread that drives an automation server's "Run"
// and "Clean" methods through COM.
#pragma once

#include "frame/records.h"

void MT_CREATE(ParamBlock*);
void MT_DESTROY(ParamBlock*);
void MT_OBJECT(ParamBlock*);
void MT_POINTER(ParamBlock*);
void MT_DEBUG(ParamBlock*);

// Asks the worker to stop and waits a bounded time for it (MT_DESTROY, and
// the library's unload).
void StopWorker();

namespace kv::worker {
inline constexpr FoxEntry kWorkerRows[] = {
    {"MT_CREATE", MT_CREATE, 3, ".?.?.?"},
    {"MT_DESTROY", MT_DESTROY, 0, ""},
    {"MT_OBJECT", MT_OBJECT, 0, ""},
    {"MT_POINTER", MT_POINTER, 0, ""},
    {"MT_DEBUG", MT_DEBUG, 1, ".L"},
};
}  // namespace kv::worker

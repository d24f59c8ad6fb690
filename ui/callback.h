// Script code run from procedures that Windows calls (window, timer and hook
// procedures). Nothing may unwind out of those into Windows' own frames: a
// host error raised into a call made from there ends at that call.
#pragma once

#include <cstdint>

#include "frame/kavro.h"

namespace kv::ui {

enum class Ran { Ok, Failed, Raised };  // Failed: the host reported an error; Raised: it raised one

inline Ran executeFromCallback(const char* command) {
    try {
        return HostExecute(command) == 0 ? Ran::Ok : Ran::Failed;
    } catch (...) {
        return Ran::Raised;
    }
}

inline Ran evaluateFromCallback(OwnedValue& out, const char* expression) {
    try {
        return HostEvaluate(&out.v, expression) == 0 ? Ran::Ok : Ran::Failed;
    } catch (...) {
        return Ran::Raised;
    }
}

// A 32-bit word of the protocol as a window handle, and back.
inline uint32_t word32(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

}  // namespace kv::ui

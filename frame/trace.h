// The diagnostic trace: lines to the debugger output when the environment
// variable TOLVA begins with "debug", read once per process.
#pragma once

#include <cstdint>

// Writes text followed by the library's label when tracing is on; with a
// null text only reports the switch. Returns 1 when tracing is on, else 0.
int32_t DebugTrace(const char* text);

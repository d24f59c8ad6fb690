#include "frame/trace.h"

#include <windows.h>

#include <cstdlib>

#include "frame/diagnostics.h"
#include "frame/state.h"

namespace {
// -1 until the first call reads the switch; then 0 or 1 for good.
int32_t gTraceEnabled = -1;
const char* gTraceLabel = nullptr;
}  // namespace

int32_t DebugTrace(const char* text) {
    if (gTraceEnabled == -1) {
        gTraceLabel = CompanionMode ? "      KavroMT (plume)" : "      Kavro (plume)";
        gTraceEnabled = kv::traceSwitchOn(std::getenv("TOLVA")) ? 1 : 0;
    }
    if (!text || !gTraceEnabled) return gTraceEnabled;
    char line[kv::kTraceBufferSize];
    kv::composeTraceLine(line, sizeof line, text, gTraceLabel);
    OutputDebugStringA(line);
    return gTraceEnabled;
}

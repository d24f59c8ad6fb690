// The machine-wide forced quit of every application that watches one signal
// file, and the message entry for the Windows command-line DLL runner.
#pragma once

#include "frame/records.h"

void FF_QUIT(ParamBlock*);
// Ends this process's watcher, if one runs, and waits for it to be gone.
void StopQuitWatcher();

namespace kv::quit {
inline constexpr FoxEntry kQuitRows[] = {
    {"FF_QUIT", FF_QUIT, 3, "C,C,C"},
};
}  // namespace kv::quit

// The window argument: how a script names one of the host's windows.
//
//   int32_t kv::editor::windowArgument(const kv::Args& args, int position);
//
// - character: the window's title, looked up among the host's windows; the
//   empty string names the host's main window;
// - integer, or numeric (truncated toward zero): a host window id; 0 names
//   the main window; any other id must be a live window whose own title leads
//   back to it, else it names no window;
// - logical: .T. the window on top (HostTopWindow 0), .F. the one the host
//   gives for HostTopWindow 1;
// - anything else raises error 901.
// The result is the host window id, 0 for no window. A character argument is
// terminated in place (its handle grows by one byte).
#pragma once

#include <cstdint>

#include "frame/kavro.h"

namespace kv::editor {

// The host window that a script's window argument names (title, "", id,
// logical); 0 for none. Raises 901 for any other type. `position` is the
// 1-based parameter position.
int32_t windowArgument(const kv::Args& args, int position);

// A non-zero host window id that is live and whose title names it again.
bool validWindowId(int32_t id);

// The size of the title buffer handed to the host.
constexpr int kTitleBufferSize = 128;

}  // namespace kv::editor

// Thrown when the host has raised a script error: the handler's work is
// abandoned and the innermost DispatchAPI returns to the host. Destructors on
// the way release whatever the handler held.
#pragma once

namespace kv {
struct Unwind {};
}  // namespace kv

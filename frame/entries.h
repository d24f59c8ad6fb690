// System entry points looked up by name at run time.
#pragma once

#include <windows.h>

#include <type_traits>

namespace kv {

// The entry `name` of `module` as a pointer of type Fn, or null. This is the
// one place where a looked-up address becomes a function pointer: Fn must be
// the entry's own type, calling convention included (WINAPI for the system's
// entries), since nothing can check it.
template <class Fn>
Fn systemEntry(HMODULE module, const char* name) {
    static_assert(std::is_pointer_v<Fn> && std::is_function_v<std::remove_pointer_t<Fn>>);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace kv

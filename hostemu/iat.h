// Replacing a loaded module's imports, so that tests can see and answer the
// calls a library makes to Windows without the machine being changed.
//
// A replacement always has exactly the type of the function it stands in for,
// calling convention included: on i686 a cdecl stand-in for a stdcall import
// leaves the caller's stack off by the size of the arguments. So the typed
// forms below take the function's own type from its declaration, and there is
// no cast for a stand-in of another convention to hide behind: it does not
// compile.
//
//     HOSTEMU_PATCH(patch, module, "kernel32.dll", GetWindowsDirectoryA, &fakeWindowsDirectory);
//     auto p = hostemu::importPatch<decltype(&::SetLocalTime)>(module, "kernel32.dll", "SetLocalTime", &fake);
#pragma once

#include <windows.h>

#include <memory>
#include <vector>
#include <type_traits>

namespace hostemu {

// Points `module`'s import of `function` from `dll` at `replacement`.
// Returns the previous target, or nullptr when the module does not import it.
// The untyped form: use the typed ones below.
void* patchImportAddress(HMODULE module, const char* dll, const char* function, void* replacement);

// The typed one-way patch: Fn is the type of the Windows function
// (decltype(&::Name)), and the previous target comes back with that type.
template <class Fn>
Fn patchImport(HMODULE module, const char* dll, const char* function, std::type_identity_t<Fn> replacement) {
    static_assert(std::is_pointer_v<Fn> && std::is_function_v<std::remove_pointer_t<Fn>>);
    // An import slot holds a code address; this is the one place a function
    // pointer is turned into a plain address and back, always of type Fn.
    return reinterpret_cast<Fn>(patchImportAddress(module, dll, function, reinterpret_cast<void*>(replacement)));
}

// Replaces an import for a scope and puts the original back afterwards.
template <class Fn>
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const char* function, std::type_identity_t<Fn> replacement)
        : module_(module), dll_(dll), function_(function),
          original_(patchImport<Fn>(module, dll, function, replacement)) {}
    ~ImportPatch() {
        if (original_) patchImport<Fn>(module_, dll_, function_, original_);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool active() const { return original_ != nullptr; }
    // What the module called before the patch, typed as the function itself.
    Fn original() const { return original_; }

private:
    HMODULE module_;
    const char* dll_;
    const char* function_;
    Fn original_;
};

template <class Fn>
std::unique_ptr<ImportPatch<Fn>> importPatch(HMODULE module, const char* dll, const char* function,
                                             std::type_identity_t<Fn> replacement) {
    return std::make_unique<ImportPatch<Fn>>(module, dll, function, replacement);
}

// Keeps a typed import patch in `patches` until they are cleared; true when
// the module imports the function.
template <class Fn>
bool keepPatch(std::vector<std::shared_ptr<void>>& patches, HMODULE module, const char* dll, const char* function,
               std::type_identity_t<Fn> replacement) {
    auto p = std::make_shared<hostemu::ImportPatch<Fn>>(module, dll, function, replacement);
    patches.push_back(p);
    return p->active();
}

// A test double handed out as a looked-up entry by a stand-in for
// GetProcAddress: Fn is the entry's own type, which the double must have
// exactly. This is the one place a double travels as FARPROC; the library
// turns it back into Fn where it looks the entry up.
template <class Fn>
FARPROC lookedUpEntry(std::type_identity_t<Fn> entry) {
    static_assert(std::is_pointer_v<Fn> && std::is_function_v<std::remove_pointer_t<Fn>>);
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(entry));
}

}  // namespace hostemu

// Declares `var`, a scoped patch of `module`'s import of the Windows function
// `fn` from `dll`; `replacement` must have fn's exact type.
#define HOSTEMU_PATCH(var, module, dll, fn, replacement) \
    ::hostemu::ImportPatch<decltype(&::fn)> var((module), (dll), #fn, (replacement))

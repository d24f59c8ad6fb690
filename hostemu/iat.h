// Replacing a loaded module's imports, so that tests can see and answer the
// calls a library makes to Windows without the machine being changed.
#pragma once

#include <windows.h>

namespace hostemu {

// Points `module`'s import of `function` from `dll` at `replacement`.
// Returns the previous target, or nullptr when the module does not import it.
void* patchImport(HMODULE module, const char* dll, const char* function, void* replacement);

// Replaces an import for a scope and puts the original back afterwards.
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool active() const { return original_ != nullptr; }
    void* original() const { return original_; }

private:
    HMODULE module_;
    const char* dll_;
    const char* function_;
    void* original_;
};

}  // namespace hostemu

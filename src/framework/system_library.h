#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace framework {

// A function looked up by name in a loaded DLL, or null: for calls that not every supported
// Windows has, and for DLLs that are not worth loading before they are needed.
template <class Function> Function* LookUp(HMODULE module, const char* name) noexcept {
    // Through void (*)(), the one cast between function types the compilers take silently.
    return module != nullptr ? reinterpret_cast<Function*>(
                                   reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                             : nullptr;
}

// A DLL loaded at run time, freed when this goes out of scope.
struct FreeLibraryCall {
    void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
using LoadedLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, FreeLibraryCall>;

} // namespace framework

#include "platform/library.h"

#include <windows.h>

#include <string>

namespace platform {

LibraryFunction loadLibraryFunction(const std::filesystem::path& library, const char* function)
{
    // The DLL's own folder is searched for the DLLs it needs, not the current folder.
    HMODULE module = ::LoadLibraryExW(library.wstring().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr)
        return {};
    FARPROC entry = ::GetProcAddress(module, function);
    if (entry == nullptr)
        ::FreeLibrary(module);
    return {true, reinterpret_cast<void*>(entry)};
}

std::filesystem::path libraryFileName(std::string_view name)
{
    return std::string(name) + ".dll";
}

} // namespace platform

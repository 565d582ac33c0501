#include "platform/library.h"

#include <dlfcn.h>
#include <string>

namespace platform {

LibraryFunction loadLibraryFunction(const std::filesystem::path& library, const char* function)
{
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return {};
    void* entry = ::dlsym(handle, function);
    if (entry == nullptr)
        ::dlclose(handle);
    return {true, entry};
}

std::filesystem::path libraryFileName(std::string_view name)
{
    return "lib" + std::string(name) + ".so";
}

} // namespace platform

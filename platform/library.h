#pragma once
// Functions of a library loaded by its file name at their first use. A loaded library
// stays loaded for the rest of the program, as a DLL does.

#include <filesystem>
#include <string_view>

namespace platform {

struct LibraryFunction {
    bool libraryLoaded = false; // false: the library was not found or could not be loaded
    void* address = nullptr;    // null when the library has no such function
};

LibraryFunction loadLibraryFunction(const std::filesystem::path& library, const char* function);

// The file name of the library of that name here: "libDiskID32.so", "DiskID32.dll".
std::filesystem::path libraryFileName(std::string_view name);

} // namespace platform

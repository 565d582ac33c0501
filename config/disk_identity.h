#pragma once
// The disk's maker and serial number as the DiskID32 library delivers them: two 21-byte
// buffers of code page 936 text.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace config {

constexpr std::size_t diskIdBufferSize = 21;

using DiskID32Function = std::function<int(char* first, char* second)>;

struct DiskIdEntry {
    DiskID32Function call; // empty when the library or its entry cannot be found
    std::u16string problem;
};

// Loads the library by its file name and looks up its entry DiskID32. A loaded library
// stays loaded for the rest of the program, as a DLL does.
DiskIdEntry loadDiskID32(const std::filesystem::path& library);

// A whole buffer as a text box shows it: converted from code page 936, optionally
// without leading and trailing blanks, then up to its first NUL.
std::u16string diskIdText(std::string_view buffer, bool trimBlanks);

} // namespace config

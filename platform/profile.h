#pragma once
// The profile (INI) functions of kernel32, by their rules: sections and keys matched
// without regard to case, a value cut to the buffer less one byte, the file created by
// the first write, every other line kept. Values are code page 936 bytes on disk.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file_save.h"

namespace platform {

// Copies the value (or the default) into a buffer of bufferSize bytes and returns what
// was copied: at most bufferSize - 1 bytes of it, as text.
std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, std::size_t bufferSize,
                                       std::u16string_view fileName);

// Creates the file, the section or the key as needed and replaces an existing value.
// The rewrite is atomic; false when the file cannot be written.
bool WritePrivateProfileString(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                               std::u16string_view fileName, FileAccess access = FileAccess::Shared);

} // namespace platform

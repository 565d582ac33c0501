#pragma once
// The system's ANSI code page: code page 936 on disk, UTF-16 in memory.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Nothing when a character cannot be written in code page 936: a file never gets a
// silent "?" in place of what the user typed.
std::optional<std::string> toAnsi(std::u16string_view text);

// Bytes that are no code page 936 sequence become U+FFFD.
std::u16string fromAnsi(std::string_view bytes);

} // namespace platform

#pragma once
// The system's ANSI code page: code page 936 on disk, UTF-16 in memory. And other code
// pages, named by their Windows numbers, for files that declare their own encoding.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Nothing when a character cannot be written in code page 936: a file never gets a
// silent "?" in place of what the user typed.
std::optional<std::string> toAnsi(std::u16string_view text);

// Bytes that are no code page 936 sequence become U+FFFD.
std::u16string fromAnsi(std::string_view bytes);

// The code page of an encoding name as a file declares it (case does not count): the
// code pages of Windows that convert alike here and on Windows. Nothing for any other
// name, and for the Unicode encodings and ASCII, which need no code page.
std::optional<unsigned> codePageNamed(std::string_view name);

// Whether this host converts the code page (1252, 950, 54936, ...) both ways.
bool codePageAvailable(unsigned codePage);

// Nothing when a character cannot be written in the code page, or the host lacks it.
std::optional<std::string> toCodePage(unsigned codePage, std::u16string_view text);

struct CodePageText {
    std::u16string text;
    // The offset of the first byte that is no sequence of the code page; the text then
    // holds what comes before it.
    std::optional<std::size_t> invalidAt;
};

// Nothing when the host lacks the code page.
std::optional<CodePageText> fromCodePage(unsigned codePage, std::string_view bytes);

} // namespace platform

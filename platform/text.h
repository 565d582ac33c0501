#pragma once
// Text helpers with the counting rules of the original strings: UTF-16 code units,
// positions from 1, lengths cut at the end of the text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform::text {

std::string toUtf8(std::u16string_view s);
std::u16string fromUtf8(std::string_view s);

// The first n characters (the whole text when it is shorter).
std::u16string left(std::u16string_view s, std::size_t n);
// From position start (counted from 1) on, at most len characters; empty past the end.
std::u16string mid(std::u16string_view s, std::size_t start, std::size_t len = std::u16string_view::npos);

// Blanks are U+0020 only, as the original's Trim removes them.
std::u16string trim(std::u16string_view s);
std::u16string trimStart(std::u16string_view s);
std::u16string trimEnd(std::u16string_view s);

// Split at every separator; two separators in a row give an empty piece between them,
// and the empty text gives no pieces at all.
std::vector<std::u16string> split(std::u16string_view s, std::u16string_view separator);

// Lower and upper case of the ASCII letters; every other character stays as it is.
std::u16string toLowerAscii(std::u16string_view s);
std::u16string toUpperAscii(std::u16string_view s);

std::u16string number(long long value);

} // namespace platform::text

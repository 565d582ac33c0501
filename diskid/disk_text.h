#pragma once
// The two texts of the disk-identity library as they go into its 21-byte buffers.

#include <algorithm>
#include <cstring>
#include <string>

namespace diskid {

constexpr std::size_t bufferSize = 21;

// Drivers pad with blanks and end with a line end; only printable ASCII is certain to
// be the same text in code page 936.
inline std::string clean(std::string s)
{
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            c = ' ';
    auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// At most 20 bytes and a terminating zero.
inline void put(char* buffer, const std::string& text)
{
    std::size_t n = std::min(text.size(), bufferSize - 1);
    while (n > 0 && text[n - 1] == ' ') // a cut may end at a blank
        --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

} // namespace diskid

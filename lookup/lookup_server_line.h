#pragma once
// The server directive on line 7 of the service configuration: "remote ", the address,
// and whatever follows the address (a port, a protocol). It is found in the file's bytes,
// so that a rewrite changes that line alone and leaves every other byte as it was.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lookup {

struct ServerLine {
    // The first word after "remote ".
    std::u16string address;
    // What follows the address on the line, from the blank after it.
    std::u16string rest;
    // The line's bytes in the file, without its line end.
    std::size_t begin = 0;
    std::size_t end = 0;
};

// Nothing when the file has fewer than 7 lines. Lines end in CR LF or LF alone; a last
// line without a line end counts, an empty text after the last line end does not.
std::optional<ServerLine> findServerLine(std::string_view configBytes);

// The file with that line made "remote ", the address and the rest, its line end and
// every other line unchanged. Nothing when the line cannot be written in code page 936.
std::optional<std::string> withServerAddress(std::string_view configBytes, const ServerLine& line,
                                             std::u16string_view address);

} // namespace lookup

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
    // What stands before "remote" as OpenVPN reads it: blanks or tabs, then "--" or nothing.
    std::u16string lead;
    // The first word after "remote ".
    std::u16string address;
    // What follows the address on the line, from the blank after it.
    std::u16string rest;
    // The line's bytes in the file, without its line end.
    std::size_t begin = 0;
    std::size_t end = 0;
    // The line is a remote directive: after the lead, "remote" alone or followed by a
    // blank or a tab; or the line is empty (or blanks only), and a rewrite loses nothing.
    // Any other line 7 is no server line, and a rewrite would turn it into one.
    bool remote = false;
    // The whole line as read.
    std::u16string text;
};

// Nothing when the file has fewer than 7 lines. Lines end in CR LF or LF alone; a last
// line without a line end counts, an empty text after the last line end does not.
std::optional<ServerLine> findServerLine(std::string_view configBytes);

// The file with that line made the lead, "remote ", the address and the rest, its line
// end and every other line unchanged. Nothing when the line is no remote directive or cannot be
// written in code page 936.
std::optional<std::string> withServerAddress(std::string_view configBytes, const ServerLine& line,
                                             std::u16string_view address);

// One word of the characters that a host name or an IPv4 or IPv6 address is made of
// (letters, digits, ".", "-", ":"), beginning with a letter, a digit or ":", at most as
// long as the longest host name. Anything else in a remote line would add a directive
// (a line break) or an argument (a blank) to the configuration.
bool isServerAddress(std::u16string_view address);

} // namespace lookup

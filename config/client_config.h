#pragma once
// The OpenVPN client configuration config.ovpn that the parameter window writes and
// reads back by line position.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace config {

// The list entries, in the order the lists show them.
const std::vector<std::u16string>& cipherEntries();
const std::vector<std::u16string>& protoEntries();
const std::vector<std::u16string>& digestEntries();

// A whole number from 1 to 65535, blanks around it allowed; nothing otherwise.
std::optional<int> parsePort(std::u16string_view text);

struct ClientConfig {
    int port = 0;
    std::u16string proto;  // as typed; written in lower case
    std::u16string server; // as typed
    std::u16string cipher; // a list entry, or any text (which writes no cipher line)
    std::u16string digest; // likewise for the digest line
    bool otp = false;      // dynamic password
};

// The 23 to 26 lines of the file, in order.
std::vector<std::u16string> clientConfigLines(const ClientConfig& c);

// What the opening puts into the fields: a field whose line is missing, or a list whose
// line matches no entry, stays as it was (nothing here).
struct ClientConfigReadBack {
    std::optional<std::u16string> port, proto, server, cipher, digest;
};

// Lines 1 to 5 of the file as read; lines after them play no part.
ClientConfigReadBack readBackClientConfig(const std::vector<std::u16string>& lines);

} // namespace config

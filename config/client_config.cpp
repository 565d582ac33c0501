#include "config/client_config.h"

#include <array>

#include "platform/text.h"

namespace config {

namespace {

using platform::text::mid;

struct Choice {
    std::u16string_view entry;   // the list's text
    std::u16string_view written; // the value after the directive
};

constexpr std::array<Choice, 4> ciphers{{
    {u"默认", u"none"},
    {u"AES", u"AES-128-CBC"},
    {u"BLOWFISH", u"BF-CBC"},
    {u"SM4-128-CBC", u"sm4-cbc"},
}};

constexpr std::array<Choice, 4> digests{{
    {u"默认", u"none"},
    {u"MD5", u"md5"},
    {u"SHA1", u"sha1"},
    {u"SM3", u"sm3"},
}};

const Choice* byEntry(const std::array<Choice, 4>& table, std::u16string_view entry)
{
    for (const auto& c : table)
        if (c.entry == entry)
            return &c;
    return nullptr;
}

std::optional<std::u16string> byWritten(const std::array<Choice, 4>& table, std::u16string_view written)
{
    for (const auto& c : table)
        if (c.written == written)
            return std::u16string(c.entry);
    return std::nullopt;
}

std::vector<std::u16string> entriesOf(const std::array<Choice, 4>& table)
{
    std::vector<std::u16string> out;
    for (const auto& c : table)
        out.emplace_back(c.entry);
    return out;
}

} // namespace

const std::vector<std::u16string>& cipherEntries()
{
    static const auto entries = entriesOf(ciphers);
    return entries;
}

const std::vector<std::u16string>& protoEntries()
{
    static const std::vector<std::u16string> entries{u"UDP", u"TCP"};
    return entries;
}

const std::vector<std::u16string>& digestEntries()
{
    static const auto entries = entriesOf(digests);
    return entries;
}

std::optional<int> parsePort(std::u16string_view text)
{
    std::u16string t = platform::text::trim(text);
    if (t.empty())
        return std::nullopt;
    long value = 0;
    for (char16_t c : t) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > 65535)
            return std::nullopt;
    }
    if (value < 1)
        return std::nullopt;
    return static_cast<int>(value);
}

std::vector<std::u16string> clientConfigLines(const ClientConfig& c)
{
    // A number's text begins with a blank for its sign, so "port" and the digits stand two blanks apart.
    std::vector<std::u16string> lines{
        u"port  " + platform::text::number(c.port),
        u"proto " + platform::text::toLowerAscii(c.proto),
        u"remote " + c.server,
    };
    if (const Choice* cipher = byEntry(ciphers, c.cipher))
        lines.push_back(u"cipher " + std::u16string(cipher->written));
    if (const Choice* digest = byEntry(digests, c.digest))
        lines.push_back(u"auth " + std::u16string(digest->written));
    for (auto line : {u"client", u"dev tap", u";remote-random", u"script-security 3", u"float", u"resolv-retry infinite",
                      u"nobind"})
        lines.emplace_back(line);
    if (c.otp)
        lines.emplace_back(u"reneg-sec 0");
    for (auto line : {u"persist-key", u"persist-tun", u"comp-lzo adaptive", u"route-method exe", u"route-delay 2",
                      u"verb 1", u"mute 2", u"ca ca.crt", u"status-version 2", u"status status", u"ping 10",
                      u"ping-restart 60"})
        lines.emplace_back(line);
    // With the dynamic password OpenVPN asks for the credentials instead of reading the file.
    lines.emplace_back(c.otp ? u"auth-user-pass " : u"auth-user-pass pwd.txt");
    return lines;
}

ClientConfigReadBack readBackClientConfig(const std::vector<std::u16string>& lines)
{
    ClientConfigReadBack r;
    auto line = [&](std::size_t n) -> const std::u16string* { return n <= lines.size() ? &lines[n - 1] : nullptr; };
    if (auto l = line(1))
        r.port = mid(*l, 7, 6);
    if (auto l = line(2))
        r.proto = mid(*l, 7, 4);
    if (auto l = line(3))
        r.server = mid(*l, 8); // whole: an address longer than the old 20 characters survives
    if (auto l = line(4))
        r.cipher = byWritten(ciphers, mid(*l, 8, 12));
    if (auto l = line(5))
        r.digest = byWritten(digests, mid(*l, 6, 10));
    return r;
}

} // namespace config

#include "lookup/lookup_server_line.h"

#include "platform/codepage.h"

namespace lookup {

namespace {

constexpr std::size_t serverLineNumber = 7;
constexpr std::u16string_view directive = u"remote ";
constexpr std::u16string_view keyword = u"remote";
// The longest host name the name system allows.
constexpr std::size_t longestAddress = 253;

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

std::optional<ServerLine> findServerLine(std::string_view configBytes)
{
    std::size_t begin = 0;
    for (std::size_t number = 1; begin < configBytes.size(); ++number) {
        std::size_t newline = configBytes.find('\n', begin);
        std::size_t end = newline == std::string_view::npos ? configBytes.size() : newline;
        if (newline != std::string_view::npos && end > begin && configBytes[end - 1] == '\r')
            --end;
        if (number == serverLineNumber) {
            ServerLine line;
            line.text = platform::fromAnsi(configBytes.substr(begin, end - begin));
            line.begin = begin;
            line.end = end;
            std::u16string_view text = line.text;
            std::size_t lead = 0;
            while (lead < text.size() && isBlank(text[lead]))
                ++lead;
            if (lead == text.size()) {
                line.remote = true;
                return line;
            }
            // OpenVPN takes "--" before a directive in a file as it does on its command line.
            if (text.substr(lead).starts_with(u"--"))
                lead += 2;
            std::u16string_view named = text.substr(lead);
            line.remote = named.starts_with(keyword) && (named.size() == keyword.size() || isBlank(named[keyword.size()]));
            if (!line.remote)
                return line;
            line.lead = text.substr(0, lead);
            std::u16string_view after = named.substr(keyword.size());
            std::size_t from = 0;
            while (from < after.size() && isBlank(after[from]))
                ++from;
            std::size_t to = from;
            while (to < after.size() && !isBlank(after[to]))
                ++to;
            line.address = after.substr(from, to - from);
            line.rest = after.substr(to);
            return line;
        }
        if (newline == std::string_view::npos)
            break;
        begin = newline + 1;
    }
    return std::nullopt;
}

std::optional<std::string> withServerAddress(std::string_view configBytes, const ServerLine& line,
                                             std::u16string_view address)
{
    if (!line.remote)
        return std::nullopt;
    std::u16string text = line.lead;
    text += directive;
    text += address;
    text += line.rest;
    auto bytes = platform::toAnsi(text);
    if (!bytes)
        return std::nullopt;
    std::string out(configBytes.substr(0, line.begin));
    out += *bytes;
    out += configBytes.substr(line.end);
    return out;
}

bool isServerAddress(std::u16string_view address)
{
    auto letterOrDigit = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'); };
    if (address.empty() || address.size() > longestAddress)
        return false;
    if (!letterOrDigit(address[0]) && address[0] != u':')
        return false;
    for (char16_t c : address)
        if (!letterOrDigit(c) && c != u'.' && c != u'-' && c != u':')
            return false;
    return true;
}

} // namespace lookup

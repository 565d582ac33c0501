#include "lookup/lookup_server_line.h"

#include "platform/codepage.h"

namespace lookup {

namespace {

constexpr std::size_t serverLineNumber = 7;
constexpr std::u16string_view directive = u"remote ";

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
            std::u16string text = platform::fromAnsi(configBytes.substr(begin, end - begin));
            std::u16string_view after = text.size() > directive.size()
                ? std::u16string_view(text).substr(directive.size()) : std::u16string_view();
            std::size_t from = 0;
            while (from < after.size() && isBlank(after[from]))
                ++from;
            std::size_t to = from;
            while (to < after.size() && !isBlank(after[to]))
                ++to;
            return ServerLine{std::u16string(after.substr(from, to - from)), std::u16string(after.substr(to)), begin, end};
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
    std::u16string text(directive);
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

} // namespace lookup

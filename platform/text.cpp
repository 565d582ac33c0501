#include "platform/text.h"

namespace platform::text {

std::string toUtf8(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string fromUtf8(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        char32_t c = 0xFFFD;
        std::size_t extra = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        }
        ++i;
        bool ok = b < 0x80 || extra > 0;
        for (std::size_t k = 0; ok && k < extra; ++k, ++i) {
            if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        }
        if (!ok)
            c = 0xFFFD;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u16string left(std::u16string_view s, std::size_t n)
{
    return std::u16string(s.substr(0, n));
}

std::u16string mid(std::u16string_view s, std::size_t start, std::size_t len)
{
    if (start == 0 || start > s.size())
        return {};
    return std::u16string(s.substr(start - 1, len));
}

std::u16string trimStart(std::u16string_view s)
{
    std::size_t b = 0;
    while (b < s.size() && s[b] == u' ')
        ++b;
    return std::u16string(s.substr(b));
}

std::u16string trimEnd(std::u16string_view s)
{
    std::size_t e = s.size();
    while (e > 0 && s[e - 1] == u' ')
        --e;
    return std::u16string(s.substr(0, e));
}

std::u16string trim(std::u16string_view s)
{
    return trimEnd(trimStart(s));
}

std::vector<std::u16string> split(std::u16string_view s, std::u16string_view separator)
{
    std::vector<std::u16string> pieces;
    if (s.empty())
        return pieces;
    if (separator.empty()) {
        pieces.emplace_back(s);
        return pieces;
    }
    std::size_t from = 0;
    for (;;) {
        std::size_t at = s.find(separator, from);
        if (at == std::u16string_view::npos) {
            pieces.emplace_back(s.substr(from));
            return pieces;
        }
        pieces.emplace_back(s.substr(from, at - from));
        from = at + separator.size();
    }
}

std::u16string toLowerAscii(std::u16string_view s)
{
    std::u16string out(s);
    for (auto& c : out)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

std::u16string toUpperAscii(std::u16string_view s)
{
    std::u16string out(s);
    for (auto& c : out)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return out;
}

std::u16string number(long long value)
{
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace platform::text

#include "platform/codepage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace platform {

namespace {

// One conversion descriptor; iconv keeps no other state between calls once it has been
// reset.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (*this)
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    explicit operator bool() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts until the end or the first sequence that it cannot convert (an invalid or
    // unconvertible one); the offset of that sequence then.
    std::optional<std::size_t> convert(std::string_view in, std::string& out)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[4096];
        auto* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        while (left > 0) {
            char* dst = buffer;
            std::size_t room = sizeof buffer;
            std::size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG)
                return in.size() - left;
        }
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        return std::nullopt;
    }

    // Converts as much as possible; on a sequence it cannot convert it calls onBad and
    // either stops (onBad false) or skips `unit` bytes and goes on.
    template <class OnBad>
    bool run(std::string_view in, std::string& out, std::size_t unit, OnBad onBad)
    {
        if (!*this)
            return false;
        while (auto bad = convert(in, out)) {
            if (!onBad(out))
                return false;
            in.remove_prefix(std::min(in.size(), *bad + unit));
        }
        return true;
    }

private:
    iconv_t cd_;
};

std::string_view bytesOf(std::u16string_view text)
{
    return {reinterpret_cast<const char*>(text.data()), text.size() * 2};
}

std::u16string fromUtf16Le(std::string_view bytes)
{
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return text;
}

// iconv's names of the code pages that files may declare.
const char* iconvName(unsigned codePage)
{
    static constexpr struct {
        unsigned codePage;
        const char* name;
    } names[] = {
        {874, "CP874"},         {932, "CP932"},         {936, "CP936"},         {949, "CP949"},
        {950, "CP950"},         {1250, "CP1250"},       {1251, "CP1251"},       {1252, "CP1252"},
        {1253, "CP1253"},       {1254, "CP1254"},       {1256, "CP1256"},       {1257, "CP1257"},
        {20866, "KOI8-R"},      {21866, "KOI8-U"},      {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},
        {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},
        {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},  {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
        {54936, "GB18030"},
    };
    for (const auto& n : names)
        if (n.codePage == codePage)
            return n.name;
    return nullptr;
}

} // namespace

std::optional<std::string> toAnsi(std::u16string_view text)
{
    thread_local Converter conv("CP936", "UTF-16LE");
    std::string out;
    if (!conv.run(bytesOf(text), out, 2, [](std::string&) { return false; }))
        return std::nullopt;
    return out;
}

std::u16string fromAnsi(std::string_view bytes)
{
    thread_local Converter conv("UTF-16LE", "CP936");
    std::string out;
    conv.run(bytes, out, 1, [](std::string& o) {
        o.append("\xFD\xFF", 2); // U+FFFD, little-endian
        return true;
    });
    return fromUtf16Le(out);
}

bool codePageAvailable(unsigned codePage)
{
    const char* name = iconvName(codePage);
    return name && Converter("UTF-16LE", name) && Converter(name, "UTF-16LE");
}

std::optional<std::string> toCodePage(unsigned codePage, std::u16string_view text)
{
    const char* name = iconvName(codePage);
    if (!name)
        return std::nullopt;
    Converter conv(name, "UTF-16LE");
    std::string out;
    if (!conv || conv.convert(bytesOf(text), out))
        return std::nullopt;
    return out;
}

std::optional<CodePageText> fromCodePage(unsigned codePage, std::string_view bytes)
{
    const char* name = iconvName(codePage);
    if (!name)
        return std::nullopt;
    Converter conv("UTF-16LE", name);
    if (!conv)
        return std::nullopt;
    std::string out;
    CodePageText result;
    result.invalidAt = conv.convert(bytes, out);
    result.text = fromUtf16Le(out);
    return result;
}

} // namespace platform

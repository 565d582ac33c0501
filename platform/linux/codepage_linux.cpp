#include "platform/codepage.h"

#include <cerrno>
#include <iconv.h>

namespace platform {

namespace {

// One conversion descriptor per direction and thread; iconv keeps no other state
// between calls once it has been reset.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible; on an invalid or unconvertible sequence it calls
    // onBad with the input position and either stops (onBad false) or skips the bytes.
    template <class OnBad>
    bool run(const char* in, std::size_t inLen, std::string& out, std::size_t unit, OnBad onBad)
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[4096];
        auto* src = const_cast<char*>(in);
        std::size_t left = inLen;
        while (left > 0) {
            char* dst = buffer;
            std::size_t room = sizeof buffer;
            std::size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                if (!onBad(out))
                    return false;
                std::size_t skip = unit <= left ? unit : left;
                src += skip;
                left -= skip;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        return true;
    }

private:
    iconv_t cd_;
};

} // namespace

std::optional<std::string> toAnsi(std::u16string_view text)
{
    thread_local Converter conv("CP936", "UTF-16LE");
    std::string out;
    bool ok = conv.run(reinterpret_cast<const char*>(text.data()), text.size() * 2, out, 2,
                       [](std::string&) { return false; });
    if (!ok)
        return std::nullopt;
    return out;
}

std::u16string fromAnsi(std::string_view bytes)
{
    thread_local Converter conv("UTF-16LE", "CP936");
    std::string out;
    conv.run(bytes.data(), bytes.size(), out, 1, [](std::string& o) {
        o.append("\xFD\xFF", 2); // U+FFFD, little-endian
        return true;
    });
    std::u16string text(out.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                        (static_cast<unsigned char>(out[2 * i + 1]) << 8));
    return text;
}

} // namespace platform

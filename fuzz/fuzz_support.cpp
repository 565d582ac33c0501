#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unistd.h>

#include "platform/text.h"

namespace fuzz {

void fail(const char* property, const std::string& detail)
{
    std::fprintf(stderr, "\n== property broken: %s\n%s\n", property, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

Fields::Fields(const std::uint8_t* data, std::size_t size)
{
    std::string_view all(reinterpret_cast<const char*>(data), size);
    for (;;) {
        auto nul = all.find('\0');
        fields_.push_back(all.substr(0, nul));
        if (nul == std::string_view::npos)
            break;
        all.remove_prefix(nul + 1);
    }
}

std::string_view Fields::bytes(std::size_t index) const
{
    return index < fields_.size() ? fields_[index] : std::string_view();
}

std::u16string Fields::text(std::size_t index) const
{
    return decodeUtf8(bytes(index));
}

std::u16string decodeUtf8(std::string_view s)
{
    std::u16string out;
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
        bool ok = n > 0 && i + n <= s.size();
        for (std::size_t k = 1; ok && k < n; ++k) {
            auto t = static_cast<unsigned char>(s[i + k]);
            ok = (t >> 6) == 2;
            c = (c << 6) | (t & 0x3F);
        }
        static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && c >= least[n] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        if (!ok) {
            out += static_cast<char16_t>(0xDC00 | b);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += n;
    }
    return out;
}

std::string show(std::u16string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
        if (pair) {
            out += platform::text::toUtf8(text.substr(i, 2));
            ++i;
        } else if ((c >= 0xD800 && c < 0xE000) || c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += platform::text::toUtf8(text.substr(i, 1));
        }
    }
    return "\"" + out + "\"";
}

std::string show(std::string_view bytes)
{
    std::string out = "\"";
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
            out += ch;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        }
    }
    return out + "\"";
}

namespace {

struct Scratch {
    std::filesystem::path path;
    Scratch()
    {
        std::error_code ec;
        std::string base = std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
            ? "/dev/shm"
            : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/corvane-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            fail("a scratch folder can be made", pattern);
        path = pattern;
    }
    ~Scratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

const std::filesystem::path& scratch()
{
    static Scratch s;
    return s.path;
}

void clearScratch()
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(scratch(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

std::u16string scratchFile(std::string_view name)
{
    return platform::text::fromUtf8((scratch() / name).string());
}

void writeBytes(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        fail("a scratch file can be written", file.string());
}

std::optional<std::string> readBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> scratchNames()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(scratch(), ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace fuzz

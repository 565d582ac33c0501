// The profile (INI) functions on any file: a value written reads back, every other line
// of the file stays, every other key reads as before, a second identical write changes
// no byte, a read into a small buffer is the start of the whole value, and a write that
// cannot hold a character leaves the file as it was.

#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// What the format can hold: no line end anywhere, no blanks around a name or value, no
// "]" in a section, no "=" in a key, which does not begin as a comment or a section,
// and no value in matching quotes (the read takes them off).
std::u16string shaped(std::u16string s, std::u16string_view forbidden)
{
    std::erase_if(s, [&](char16_t c) { return c == u'\r' || c == u'\n' || forbidden.find(c) != forbidden.npos; });
    while (!s.empty() && isBlank(s.back()))
        s.pop_back();
    while (!s.empty() && isBlank(s.front()))
        s.erase(0, 1);
    return s;
}

std::vector<std::string> lines(std::string_view bytes)
{
    std::vector<std::string> out;
    while (!bytes.empty()) {
        auto nl = bytes.find('\n');
        std::string_view l = bytes.substr(0, nl);
        if (!l.empty() && l.back() == '\r')
            l.remove_suffix(1);
        out.emplace_back(l);
        bytes = nl == std::string_view::npos ? std::string_view() : bytes.substr(nl + 1);
    }
    return out;
}

// The new file is the old one with one line changed, one line added, or a section added
// at its end.
bool keepsOtherLines(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    if (b.size() == a.size()) {
        std::size_t differ = 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            differ += a[i] != b[i];
        return differ <= 1;
    }
    if (b.size() == a.size() + 1) {
        std::size_t i = 0;
        while (i < a.size() && a[i] == b[i])
            ++i;
        return std::equal(a.begin() + static_cast<std::ptrdiff_t>(i), a.end(), b.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    return b.size() == a.size() + 2 && std::equal(a.begin(), a.end(), b.begin());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Fields f(data, size);
    const auto path = fuzz::scratchFile("server.ini");
    const auto file = fuzz::scratch() / "server.ini";
    const std::string before(f.bytes(0));
    fuzz::writeBytes(file, before);

    std::u16string section = shaped(f.text(1), u"]");
    std::u16string key = shaped(f.text(2), u"=");
    while (!key.empty() && (key[0] == u';' || key[0] == u'['))
        key = shaped(key.substr(1), u"=");
    std::u16string value = shaped(f.text(3), u"");
    while (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0])
        value = shaped(value.substr(0, value.size() - 1), u"");
    if (section.empty() || key.empty())
        return 0;
    const std::u16string otherSection = f.text(4), otherKey = f.text(5);
    const std::size_t smallBuffer = f.bytes(6).empty() ? 1 : 1 + static_cast<unsigned char>(f.bytes(6)[0]) % 64;
    const std::u16string none = u"\x01none";
    bool samePair = platform::text::toLowerAscii(otherSection) == platform::text::toLowerAscii(section) &&
                    platform::text::toLowerAscii(otherKey) == platform::text::toLowerAscii(key);
    const auto otherBefore = platform::GetPrivateProfileString(otherSection, otherKey, none, 4096, path);

    std::string detail = "file " + fuzz::show(before) + "\n[" + fuzz::show(section) + "] " + fuzz::show(key) + " = " +
                         fuzz::show(value);
    bool writable = platform::toAnsi(section) && platform::toAnsi(key) && platform::toAnsi(value);
    bool written = platform::WritePrivateProfileString(section, key, value, path);
    fuzz::check(written == writable, "a write fails exactly when a character cannot be written", detail);
    auto after = fuzz::readBytes(file).value_or("");
    if (!written) {
        fuzz::check(after == before, "a failed write leaves the file as it was", detail);
        return 0;
    }
    detail += "\nwritten " + fuzz::show(after);
    auto back = platform::GetPrivateProfileString(section, key, none, 4096, path);
    fuzz::check(back == value, "a value written reads back", detail + "\nread " + fuzz::show(back));
    fuzz::check(keepsOtherLines(lines(before), lines(after)), "every other line of the file stays", detail);
    if (!samePair) {
        auto otherAfter = platform::GetPrivateProfileString(otherSection, otherKey, none, 4096, path);
        fuzz::check(otherAfter == otherBefore, "every other key reads as before",
                    detail + "\n[" + fuzz::show(otherSection) + "] " + fuzz::show(otherKey) + " was " +
                        fuzz::show(otherBefore) + ", is " + fuzz::show(otherAfter));
    }
    fuzz::check(platform::WritePrivateProfileString(section, key, value, path) &&
                    fuzz::readBytes(file).value_or("") == after,
                "writing the same value again changes no byte", detail);

    auto cut = platform::GetPrivateProfileString(section, key, none, smallBuffer, path);
    auto cutBytes = platform::toAnsi(cut);
    fuzz::check(cutBytes && cutBytes->size() < smallBuffer && value.starts_with(cut),
                "a small buffer gets the start of the value, one byte less than its size",
                detail + "\nbuffer " + std::to_string(smallBuffer) + " got " + fuzz::show(cut));
    return 0;
}

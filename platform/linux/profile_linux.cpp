#include "platform/profile.h"

#include <filesystem>
#include <optional>
#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/text_file.h"

namespace platform {

namespace {

// The file is worked on as code page 936 bytes, so that every line the call does not
// change is written back byte for byte. '=', ';', quotes and blanks are never the
// second byte of a double-byte character; ']' can be, so it is looked for pair-wise.
bool isLeadByte(char c)
{
    auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

std::size_t charLength(std::string_view s, std::size_t at)
{
    return isLeadByte(s[at]) && at + 1 < s.size() ? 2 : 1;
}

std::size_t findClosingBracket(std::string_view s)
{
    for (std::size_t i = 0; i < s.size(); i += charLength(s, i))
        if (s[i] == ']')
            return i;
    return std::string_view::npos;
}

// The first bytes of s that fit in n bytes without splitting a character.
std::string_view cut(std::string_view s, std::size_t n)
{
    std::size_t i = 0;
    while (i < s.size() && i + charLength(s, i) <= n)
        i += charLength(s, i);
    return s.substr(0, i);
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view bytes, std::u16string_view name)
{
    return text::toLowerAscii(fromAnsi(bytes)) == text::toLowerAscii(name);
}

std::vector<std::string> lines(std::string_view bytes)
{
    std::vector<std::string> out;
    while (!bytes.empty()) {
        auto nl = bytes.find('\n');
        std::string_view line = bytes.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.emplace_back(line);
        bytes = nl == std::string_view::npos ? std::string_view() : bytes.substr(nl + 1);
    }
    return out;
}

struct Entry {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // a key's value, trimmed
};

Entry entry(std::string_view line)
{
    std::string_view t = trimmed(line);
    if (t.empty() || t.front() == ';')
        return {};
    if (t.front() == '[') {
        auto close = findClosingBracket(t.substr(1));
        if (close == std::string_view::npos)
            return {};
        return {Entry::Kind::Section, trimmed(t.substr(1, close)), {}};
    }
    auto eq = t.find('=');
    if (eq == std::string_view::npos || trimmed(t.substr(0, eq)).empty())
        return {};
    return {Entry::Kind::Key, trimmed(t.substr(0, eq)), trimmed(t.substr(eq + 1))};
}

// Where a key is, or would go, in the first section of that name.
struct Place {
    std::optional<std::size_t> section; // the section's line
    std::optional<std::size_t> key;     // the key's line
    std::size_t lastKey = 0;            // the section's last key line (or its header)
};

Place find(const std::vector<std::string>& ls, std::u16string_view section, std::u16string_view key)
{
    Place place;
    for (std::size_t i = 0; i < ls.size(); ++i) {
        Entry e = entry(ls[i]);
        if (e.kind == Entry::Kind::Section) {
            if (place.section)
                break;
            if (sameName(e.name, section))
                place.section = place.lastKey = i;
        } else if (e.kind == Entry::Kind::Key && place.section) {
            place.lastKey = i;
            if (sameName(e.name, key)) {
                place.key = i;
                break;
            }
        }
    }
    return place;
}

} // namespace

std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, std::size_t bufferSize,
                                       std::u16string_view fileName)
{
    if (bufferSize == 0)
        return {};
    std::optional<std::string> value;
    if (auto bytes = readFileBytes(fileName)) {
        auto ls = lines(*bytes);
        if (auto at = find(ls, section, key).key) {
            std::string_view v = entry(ls[*at]).value;
            // A value in matching quotes loses them.
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            value = std::string(v);
        }
    }
    if (!value) {
        // The default loses its trailing blanks.
        std::u16string d(defaultValue);
        while (!d.empty() && d.back() == u' ')
            d.pop_back();
        value = toAnsi(d);
        if (!value)
            return text::left(d, bufferSize - 1);
    }
    return fromAnsi(cut(*value, bufferSize - 1));
}

bool WritePrivateProfileString(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                               std::u16string_view fileName, FileAccess access)
{
    auto s = toAnsi(section);
    auto k = toAnsi(key);
    auto v = toAnsi(value);
    if (!s || !k || !v || s->empty() || k->empty())
        return false;

    std::vector<std::string> ls;
    std::error_code ec;
    if (std::filesystem::exists(localPath(fileName), ec)) {
        auto bytes = readFileBytes(fileName);
        if (!bytes)
            return false; // never overwrite what could not be read
        ls = lines(*bytes);
    }
    Place place = find(ls, section, key);
    if (place.key) {
        // The key keeps the spelling it has in the file.
        ls[*place.key] = std::string(entry(ls[*place.key]).name) + "=" + *v;
    } else if (place.section) {
        ls.insert(ls.begin() + static_cast<std::ptrdiff_t>(place.lastKey) + 1, *k + "=" + *v);
    } else {
        ls.push_back("[" + *s + "]");
        ls.push_back(*k + "=" + *v);
    }
    std::string out;
    for (const auto& l : ls)
        out += l + "\r\n";
    return replaceFileBytes(fileName, out, access);
}

} // namespace platform

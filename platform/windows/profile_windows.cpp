// The profile functions of kernel32 themselves, through their ANSI entry points as the
// system calls them.

#include "platform/profile.h"

#include <windows.h>
// The header's names for the wide entry points would rename ours.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/windows/file_access_windows.h"

namespace platform {

namespace {

std::optional<std::string> ansiPath(std::u16string_view fileName)
{
    return toAnsi(localPath(fileName).u16string());
}

} // namespace

std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, std::size_t bufferSize,
                                       std::u16string_view fileName)
{
    auto s = toAnsi(section), k = toAnsi(key), d = toAnsi(defaultValue);
    auto f = ansiPath(fileName);
    if (!s || !k || !d || !f || bufferSize == 0)
        return {};
    std::vector<char> buffer(bufferSize, '\0');
    DWORD n = ::GetPrivateProfileStringA(s->c_str(), k->c_str(), d->c_str(), buffer.data(), DWORD(bufferSize),
                                         f->c_str());
    // Wine counts a null into the result where a cut would split a character.
    std::string_view value(buffer.data(), n);
    return fromAnsi(value.substr(0, value.find('\0')));
}

bool WritePrivateProfileString(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                               std::u16string_view fileName, FileAccess access)
{
    auto s = toAnsi(section), k = toAnsi(key), v = toAnsi(value);
    auto f = ansiPath(fileName);
    if (!s || !k || !v || !f)
        return false;
    if (!::WritePrivateProfileStringA(s->c_str(), k->c_str(), v->c_str(), f->c_str()))
        return false;
    return access != FileAccess::OwnerOnly || win::makeOwnerOnly(localPath(fileName));
}

} // namespace platform

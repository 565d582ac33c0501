// The profile functions of kernel32 themselves. Their wide entry points keep the file in
// the ANSI code page as the ANSI ones do, and take the path as it is, so that a folder
// whose name the code page lacks still works.

#include "platform/profile.h"

#include <windows.h>
// The header's names for the wide entry points would rename ours.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/windows/file_access_windows.h"
#include "platform/windows/win_text.h"

namespace platform {

namespace {

// What the wide call gives, cut as the ANSI call's buffer of that many bytes would cut
// it: whole characters only, at most bufferSize - 1 bytes in the code page.
std::u16string cutToBytes(std::u16string_view value, std::size_t bufferSize)
{
    std::size_t bytes = 0, i = 0;
    while (i < value.size()) {
        std::size_t n = value[i] >= 0xD800 && value[i] <= 0xDBFF && i + 1 < value.size() ? 2 : 1;
        auto encoded = toAnsi(value.substr(i, n));
        std::size_t size = encoded ? encoded->size() : 1;
        if (bytes + size > bufferSize - 1)
            break;
        bytes += size;
        i += n;
    }
    return std::u16string(value.substr(0, i));
}

// A file that will hold a password gets its access list before the first byte: a new one
// is made empty with it (`made`), an existing one is given it before it is written.
bool prepareOwnerOnly(const std::filesystem::path& file, bool& made)
{
    win::PasswordFileSecurity security;
    if (!security.valid())
        return false;
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, security.attributes(), CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        made = true;
        return true;
    }
    return ::GetLastError() == ERROR_FILE_EXISTS && win::makeOwnerOnly(file);
}

} // namespace

std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, std::size_t bufferSize,
                                       std::u16string_view fileName)
{
    // Texts that the code page cannot hold could match nothing in the file: the ANSI call
    // would have been given "?" in their place.
    if (!toAnsi(section) || !toAnsi(key) || !toAnsi(defaultValue) || bufferSize == 0)
        return {};
    const std::wstring s = win::wide(section), k = win::wide(key), d = win::wide(defaultValue);
    const std::wstring f = localPath(fileName).wstring();
    // bufferSize characters hold at least as many characters as bufferSize bytes.
    std::vector<wchar_t> buffer(bufferSize, L'\0');
    DWORD n = ::GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buffer.data(), DWORD(bufferSize), f.c_str());
    std::u16string value(reinterpret_cast<const char16_t*>(buffer.data()), n);
    return cutToBytes(value.substr(0, value.find(u'\0')), bufferSize);
}

bool WritePrivateProfileString(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                               std::u16string_view fileName, FileAccess access)
{
    // The wide call would write "?" for a character the code page lacks.
    if (!toAnsi(section) || !toAnsi(key) || !toAnsi(value))
        return false;
    const std::filesystem::path file = localPath(fileName);
    bool made = false;
    if (access == FileAccess::OwnerOnly && !prepareOwnerOnly(file, made))
        return false;
    const std::wstring s = win::wide(section), k = win::wide(key), v = win::wide(value);
    if (::WritePrivateProfileStringW(s.c_str(), k.c_str(), v.c_str(), file.c_str()))
        return true;
    // A failed first write leaves no file, as before.
    if (made)
        ::DeleteFileW(file.c_str());
    return false;
}

} // namespace platform

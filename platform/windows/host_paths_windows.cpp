#include "platform/host_paths.h"

#include <windows.h>

#include <cstdlib>

#include "platform/windows/win_text.h"

namespace platform {

std::filesystem::path executableFile()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::optional<std::filesystem::path> environmentPath(const char* name)
{
    std::wstring wideName(name, name + std::char_traits<char>::length(name));
    if (const wchar_t* env = ::_wgetenv(wideName.c_str()); env != nullptr && *env != L'\0')
        return std::filesystem::path(env);
    return std::nullopt;
}

std::filesystem::path defaultWindowsFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    UINT n = ::GetWindowsDirectoryW(folder, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH)
        return L"C:\\windows";
    return std::filesystem::path(std::wstring(folder, n));
}

std::filesystem::path pathFromText(std::u16string_view text)
{
    return std::filesystem::path(win::wide(text));
}

std::u16string pathText(const std::filesystem::path& path)
{
    return win::text(path.native());
}

} // namespace platform

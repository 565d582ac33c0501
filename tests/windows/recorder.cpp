// A stand-in for a program that the system starts (or that someone planted where a
// badly built command line would lead): it appends its command line, in UTF-8, to
// "<its own file>.started" and ends.

#include <windows.h>

#include <string>

int main()
{
    std::wstring file(MAX_PATH, L'\0');
    DWORD n = 0;
    while ((n = ::GetModuleFileNameW(nullptr, file.data(), DWORD(file.size()))) >= file.size())
        file.resize(file.size() * 2);
    file.resize(n);
    file += L".started";

    const std::wstring line = ::GetCommandLineW();
    int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), bytes.data(), size, nullptr, nullptr);
    bytes += '\n';

    HANDLE out = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    ::CloseHandle(out);
    return 0;
}

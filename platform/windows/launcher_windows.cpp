#include "platform/windows/launcher_windows.h"

#include <windows.h>

#include "platform/windows/win_text.h"

namespace platform {

bool WindowsLauncher::launch(std::u16string_view commandLine, int windowStyle)
{
    // CreateProcessW may write into the command line: it gets a copy of its own.
    std::wstring line = win::wide(commandLine);
    if (line.empty())
        return false;
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = windowStyle == vbHide ? SW_HIDE : SW_SHOWNORMAL;
    PROCESS_INFORMATION process {};
    // No application name: the program is the command line's first word, found as the
    // system finds it (the application folder, the system folders, PATH).
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

} // namespace platform

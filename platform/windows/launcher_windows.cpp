#include "platform/windows/launcher_windows.h"

#include <windows.h>

#include <string_view>

#include "platform/text.h"
#include "platform/windows/win_text.h"

namespace platform {

namespace {

std::wstring systemFolder()
{
    std::wstring folder(MAX_PATH, L'\0');
    UINT n = ::GetSystemDirectoryW(folder.data(), UINT(folder.size()));
    if (n >= folder.size()) {
        folder.resize(n);
        n = ::GetSystemDirectoryW(folder.data(), UINT(folder.size()));
    }
    folder.resize(n < folder.size() ? n : 0);
    return folder;
}

// The tool that a bare first word names, as its file in the system folder; empty for
// anything else.
std::wstring systemTool(std::wstring_view word)
{
    std::u16string name = text::toLowerAscii(win::text(word));
    if (name.size() > 4 && name.ends_with(u".exe"))
        name.resize(name.size() - 4);
    for (std::u16string_view tool : {u"cmd", u"net", u"sc", u"taskkill"})
        if (name == tool)
            return win::wide(name) + L".exe";
    return {};
}

} // namespace

WindowsLaunch planWindowsLaunch(std::u16string_view commandLine)
{
    WindowsLaunch plan{{}, win::wide(commandLine), {}};
    std::wstring_view line = plan.commandLine;
    std::size_t start = line.find_first_not_of(L" \t");
    // A quoted program is a path someone chose.
    if (start == std::wstring_view::npos || line[start] == L'"')
        return plan;
    std::size_t end = line.find_first_of(L" \t", start);
    std::wstring_view word = line.substr(start, end == std::wstring_view::npos ? end : end - start);
    std::wstring tool = systemTool(word);
    if (tool.empty())
        return plan;
    std::wstring folder = systemFolder();
    if (folder.empty())
        return plan;
    plan.application = folder + L"\\" + tool;
    plan.directory = folder;
    return plan;
}

bool WindowsLauncher::launch(std::u16string_view commandLine, int windowStyle)
{
    WindowsLaunch plan = planWindowsLaunch(commandLine);
    if (plan.commandLine.empty())
        return false;
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = windowStyle == vbHide ? SW_HIDE : SW_SHOWNORMAL;
    PROCESS_INFORMATION process {};
    // CreateProcessW may write into the command line: it gets the plan's own copy.
    if (!::CreateProcessW(plan.application.empty() ? nullptr : plan.application.c_str(), plan.commandLine.data(),
                          nullptr, nullptr, FALSE, 0, nullptr, plan.directory.empty() ? nullptr : plan.directory.c_str(),
                          &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

} // namespace platform

#pragma once
// Starting programs on Windows: CreateProcessW with the command line as it stands, the
// window shown or hidden, never waited for. Windows' own tools (cmd, net, sc, taskkill,
// named bare, with or without ".exe") are started from the system folder, with the
// system folder as their current folder, so that neither they nor what cmd runs are
// found first in the program's folder or the current one.

#include <string>

#include "platform/launcher.h"

namespace platform {

struct WindowsLaunch {
    std::wstring application; // CreateProcessW's application name; empty: the command line's first word
    std::wstring commandLine;
    std::wstring directory;   // the new process's current folder; empty: this process's
};

WindowsLaunch planWindowsLaunch(std::u16string_view commandLine);

class WindowsLauncher final : public Launcher {
public:
    bool launch(std::u16string_view commandLine, int windowStyle) override;
};

} // namespace platform

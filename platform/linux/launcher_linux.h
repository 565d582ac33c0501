#pragma once
// Starting programs on Linux: a Windows command line is split by the Windows rules, its
// backslash paths mapped onto this file system, the program looked up in the tools
// folder and then on PATH, and spawned detached: in a session of its own, never waited
// for, and reaped by init rather than left behind as a zombie. The window style has no
// meaning here.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/launcher.h"

namespace platform {

struct LaunchPlan {
    std::filesystem::path program;
    std::vector<std::string> arguments; // without the program itself
};

// The program that the command line names and its arguments, as they would be started;
// nothing when there is no such program or it is not executable.
std::optional<LaunchPlan> planLaunch(std::u16string_view commandLine);

class LinuxLauncher final : public Launcher {
public:
    bool launch(std::u16string_view commandLine, int windowStyle) override;
};

} // namespace platform

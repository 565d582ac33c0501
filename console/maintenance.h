#pragma once
// Command lines of the programs that the maintenance window starts from the application
// folder (each program's path in quotes), and the start of a program that tells the user
// when it cannot be started.

#include <string>
#include <string_view>

namespace console {

// A path built from the application folder, in double quotes when it holds a blank, so
// that the command line still names the whole path as its program or argument.
std::u16string commandPath(std::u16string_view path);

// The warning for a program that cannot be started, naming its file.
void warnCannotStart(std::u16string_view program);

// Starts the command line; when its program cannot be started, a warning names the file
// and false comes back.
bool launchOrWarn(std::u16string_view commandLine, int windowStyle, std::u16string_view program);

namespace maintenance {

struct Command {
    std::u16string commandLine;
    int windowStyle;
    // The program file, for the warning when it cannot be started.
    std::u16string program;
};

Command addAdapter(std::u16string_view appPath);
Command removeAdapters(std::u16string_view appPath);
Command installVpnService(std::u16string_view appPath);
Command installLookupService(std::u16string_view appPath);

bool run(const Command& command);

} // namespace maintenance
} // namespace console

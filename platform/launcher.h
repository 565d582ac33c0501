#pragma once
// Starting outside programs from a command line, never waiting for them.

#include <string>
#include <string_view>
#include <vector>

#include "platform/service.h"

namespace platform {

enum WindowStyle {
    vbHide = 0,
    vbNormalFocus = 1,
};

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts the program in a new process and returns at once; false only when the
    // program cannot be started.
    virtual bool launch(std::u16string_view commandLine, int windowStyle) = 0;
};

inline Launcher& launcher()
{
    return service<Launcher>();
}

// The system's Shell(): starts and forgets.
inline bool shell(std::u16string_view commandLine, int windowStyle)
{
    return launcher().launch(commandLine, windowStyle);
}

// A program's path as the first word of a command line: in double quotes, since Windows
// reads an unquoted path with a blank as a shorter program first ("D:\Corvane VPN\x.exe"
// runs "D:\Corvane.exe" when there is one).
std::u16string quotedProgram(std::u16string_view path);

// The arguments of a Windows command line, split by the rules of the Windows C runtime
// (blanks separate, double quotes group, backslashes escape only before a quote).
std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine);

} // namespace platform

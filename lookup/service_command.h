#pragma once
// The command line of the service program: what its argument text asks for.

#include <string>
#include <string_view>

namespace lookup {

enum class ServiceCommand {
    Install,   // "/i"
    Uninstall, // "/u"
    Run,       // no argument: run as the service
    Invalid,   // anything else
};

// Compared whole and with case: "/I" and "/i " are invalid.
ServiceCommand serviceCommand(std::u16string_view argument);

// The argument text after the program name, as the original runtime gives it (on
// Windows the command line itself, elsewhere the arguments joined by one blank).
std::u16string commandText(int argc, const char* const* argv);

} // namespace lookup

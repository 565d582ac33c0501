#pragma once
// The program's own command line.

#include <string>

namespace platform {

// The argument text after the program name. On Windows it is the command line as the
// program was started with it (UTF-16), from the first character after the program name
// and the blanks behind it; elsewhere the arguments (UTF-8) joined by one blank.
std::u16string commandArguments(int argc, const char* const* argv);

} // namespace platform

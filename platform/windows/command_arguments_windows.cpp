#include "platform/command_arguments.h"

#include <windows.h>

#include "platform/windows/win_text.h"

namespace platform {

std::u16string commandArguments(int, const char* const*)
{
    std::u16string line = win::text(::GetCommandLineW());
    std::size_t i = 0;
    // The program name ends at the closing quote when it starts with one, else at the
    // first blank; the runtime's Command drops the blanks after it.
    if (i < line.size() && line[i] == u'"') {
        auto close = line.find(u'"', 1);
        i = close == std::u16string::npos ? line.size() : close + 1;
    }
    while (i < line.size() && line[i] != u' ' && line[i] != u'\t')
        ++i;
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t'))
        ++i;
    return line.substr(i);
}

} // namespace platform

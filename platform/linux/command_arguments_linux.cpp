#include "platform/command_arguments.h"

#include "platform/text.h"

namespace platform {

std::u16string commandArguments(int argc, const char* const* argv)
{
    std::u16string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += u' ';
        text += text::fromUtf8(argv[i]);
    }
    return text;
}

} // namespace platform

#include "lookup/service_command.h"

#include "platform/text.h"

namespace lookup {

ServiceCommand serviceCommand(std::u16string_view argument)
{
    if (argument == u"/i")
        return ServiceCommand::Install;
    if (argument == u"/u")
        return ServiceCommand::Uninstall;
    if (argument.empty())
        return ServiceCommand::Run;
    return ServiceCommand::Invalid;
}

std::u16string commandText(int argc, const char* const* argv)
{
    std::u16string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += u' ';
        text += platform::text::fromUtf8(argv[i]);
    }
    return text;
}

} // namespace lookup

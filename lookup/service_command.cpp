#include "lookup/service_command.h"

#include "platform/command_arguments.h"

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
    return platform::commandArguments(argc, argv);
}

} // namespace lookup

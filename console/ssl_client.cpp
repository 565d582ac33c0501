#include "console/ssl_client.h"

#include <filesystem>
#include <system_error>

#include "console/maintenance.h"
#include "platform/launcher.h"
#include "platform/paths.h"

namespace console::ssl_client {

std::u16string iniPath(std::u16string_view appPath)
{
    return std::u16string(appPath) + u"\\server.ini";
}

std::u16string agentArchive(std::u16string_view appPath)
{
    return std::u16string(appPath) + u"\\adito-agent.jar";
}

std::u16string agentCommandLine(std::u16string_view appPath)
{
    return u"cmd.exe /c java -cp " + commandPath(agentArchive(appPath)) +
           u" com.adito.agent.client.Agent host=127.0.0.1:8080 protocol=http username=admin password=730528 javaw";
}

std::u16string loginCommandLine(std::u16string_view appPath)
{
    return u"cmd.exe /c start javaw -cp " + commandPath(agentArchive(appPath)) + u" com.adito.agent.client.Login";
}

bool launch(std::u16string_view appPath, std::u16string_view commandLine)
{
    const std::u16string archive = agentArchive(appPath);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(platform::localPath(archive), ec)) {
        warnCannotStart(archive);
        return false;
    }
    return launchOrWarn(commandLine, platform::vbHide, u"cmd.exe");
}

} // namespace console::ssl_client

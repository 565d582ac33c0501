#include "console/ssl_client.h"

#include <filesystem>
#include <system_error>

#include "console/maintenance.h"
#include "platform/codepage.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/paths.h"

namespace console::ssl_client {

std::u16string iniPath(std::u16string_view appPath)
{
    return std::u16string(appPath) + u"\\server.ini";
}

bool valuesFitOrWarn(std::initializer_list<platform::LineField> fields)
{
    if (!platform::singleLinesOrWarn(fields))
        return false;
    for (const auto& field : fields) {
        // The profile functions end a value at its first NUL.
        if (field.value.find(u'\0') != std::u16string_view::npos || !platform::toAnsi(field.value)) {
            platform::msgBox(u"“" + std::u16string(field.name) + u"”中含有无法保存的字符，设置未保存！",
                             platform::vbInformation, u"警告");
            return false;
        }
    }
    return true;
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

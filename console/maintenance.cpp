#include "console/maintenance.h"

#include "platform/host_paths.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace console {

std::u16string commandPath(std::u16string_view path)
{
    if (path.find(u' ') == std::u16string_view::npos)
        return std::u16string(path);
    // Built piece by piece: GCC 12 warns (-Wrestrict) on a literal + a string at -O2.
    std::u16string quoted(1, u'"');
    quoted += path;
    quoted += u'"';
    return quoted;
}

void warnCannotStart(std::u16string_view program)
{
    const std::u16string file = platform::pathText(platform::localPath(program));
    platform::msgBox(u"无法启动程序 " + file + u"，请检查文件是否存在！", platform::vbInformation, u"警告");
}

bool launchOrWarn(std::u16string_view commandLine, int windowStyle, std::u16string_view program)
{
    if (platform::shell(commandLine, windowStyle))
        return true;
    warnCannotStart(program);
    return false;
}

namespace maintenance {

namespace {

Command make(std::u16string_view appPath, std::u16string_view tail, std::u16string_view arguments, int style)
{
    const std::u16string program = std::u16string(appPath) + std::u16string(tail);
    return {platform::quotedProgram(program) + std::u16string(arguments), style, program};
}

} // namespace

Command addAdapter(std::u16string_view appPath)
{
    return make(appPath, u"\\bin\\addtap.bat", u"", platform::vbNormalFocus);
}

Command removeAdapters(std::u16string_view appPath)
{
    return make(appPath, u"\\bin\\deltapall.bat", u"", platform::vbNormalFocus);
}

Command installVpnService(std::u16string_view appPath)
{
    return make(appPath, u"\\bin\\openvpnserv.exe", u" -install", platform::vbHide);
}

Command installLookupService(std::u16string_view appPath)
{
    return make(appPath, u"\\mulu.exe", u" /i", platform::vbHide);
}

bool run(const Command& command)
{
    return launchOrWarn(command.commandLine, command.windowStyle, command.program);
}

} // namespace maintenance
} // namespace console

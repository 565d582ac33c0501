#include "lookup/watchdog.h"

#include "console/console_texts.h"
#include "platform/launcher.h"
#include "platform/paths.h"

namespace lookup {

std::u16string openVpnServiceStartCommand()
{
    return platform::quotedProgram(platform::appPath() + u"\\bin\\openvpnserv.exe") + u" -start";
}

void watchdogCheck(std::optional<std::size_t> running, ConsoleView& view)
{
    if (!running || *running != 0)
        return;
    if (!platform::shell(openVpnServiceStartCommand(), platform::vbHide))
        return;
    // Not tested again: the start is taken for a running service.
    view.setPanelText(2, console::RunningText);
}

} // namespace lookup

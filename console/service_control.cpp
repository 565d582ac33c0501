#include "console/service_control.h"

#include "console/console_texts.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/wmi.h"

namespace console {

namespace {

using platform::msgBox;
using platform::vbHide;
using platform::vbInformation;

constexpr std::u16string_view Notice = u"提示";
constexpr std::u16string_view Warning = u"警告";

constexpr std::u16string_view StartWarning =
    u"请检查网络是否正常，这台电脑好像不能上网\r\n"
    u"请确认网线已接好、网络设置正确，\r\n"
    u"并确认VPN服务程序已正确安装，然后再启动VPN。";

constexpr int StartedInterval = 5000;
constexpr int TreeStopInterval = 3000;
constexpr int TreeStartPause = 3000;

} // namespace

std::optional<std::size_t> ServiceStateQuery()
{
    auto answer = platform::wmi().execQuery(ServiceMoniker, ServiceQuery);
    if (!answer)
        return std::nullopt;
    return answer->Count();
}

void queryAction()
{
    // No failure path of its own: a state that cannot be told is not reported as either.
    auto count = ServiceStateQuery();
    if (!count)
        return;
    msgBox(*count != 0 ? u"VPN服务处于启动状态！" : u"VPN服务处于停止状态！", vbInformation, Notice);
}

void startAction(ServiceConsole& console, EntryPoint from)
{
    // Any failing step from here on ends the action with the start warning; what ran
    // before it stays done.
    auto warn = [] { msgBox(StartWarning, vbInformation, Warning); };

    auto count = ServiceStateQuery();
    if (!count)
        return warn();
    if (*count != 0) {
        msgBox(u"VPN服务已经在运行，不需要重复启动！", vbInformation, Notice);
        return;
    }
    if (!platform::shell(u"taskkill /f /im openvpn.exe", vbHide))
        return warn();
    if (!platform::shell(StartServiceCommand, vbHide))
        return warn();
    console.resetLogGrid();
    if (from != EntryPoint::Toolbar)
        console.relayout();
    console.setLogInterval(StartedInterval);
    if (from == EntryPoint::Tree)
        platform::Sleep(TreeStartPause);
    console.setServiceText(RunningText);
    msgBox(u"VPN服务启动成功！", vbInformation, Notice);
}

void stopAction(ServiceConsole& console, EntryPoint from)
{
    constexpr std::u16string_view notRunning = u"VPN服务处于停止状态，不需要再次停止！";
    constexpr std::u16string_view stopped = u"VPN服务停止成功！！！";

    auto count = ServiceStateQuery();
    if (from == EntryPoint::Toolbar) {
        // Skip and continue: a state test that fails counts as a stopped service, and a
        // launch that fails does not keep the rest from running.
        if (!count || *count == 0) {
            msgBox(notRunning, vbInformation, Notice);
            return;
        }
        platform::shell(StopServiceCommand, vbHide);
        console.setServiceText(StoppedText);
        msgBox(stopped, vbInformation, Notice);
        console.setLogInterval(StartedInterval);
        return;
    }

    // Menu and tree have no failure path of their own: a failing step ends the action
    // silently rather than reporting a stop that did not happen.
    if (!count)
        return;
    if (*count == 0) {
        msgBox(notRunning, vbInformation, Notice);
        return;
    }
    if (!platform::shell(StopServiceCommand, vbHide))
        return;
    msgBox(stopped, vbInformation, Notice);
    if (from == EntryPoint::Menu) {
        console.setLogInterval(StartedInterval);
    } else {
        console.setServiceText(StoppedText);
        console.setLogInterval(TreeStopInterval);
    }
}

void resetLog(ServiceConsole& console)
{
    console.resetLogGrid();
    console.relayout();
}

namespace {

template <class Command>
struct KeyCommand {
    std::u16string_view key;
    Command command;
};

// The command of the key, compared whole and case-sensitively; None for any other key.
template <class Command, std::size_t N>
Command commandOf(std::u16string_view key, const KeyCommand<Command> (&table)[N])
{
    for (const auto& entry : table)
        if (entry.key == key)
            return entry.command;
    return Command::None;
}

} // namespace

TreeCommand treeCommand(std::u16string_view key)
{
    // "PING测试" and every other key: nothing.
    static constexpr KeyCommand<TreeCommand> table[] = {
        {u"参数设置", TreeCommand::OpenCansu}, {u"帐号设置", TreeCommand::OpenZhanghao},
        {u"启动VPN", TreeCommand::Start},      {u"停止VPN", TreeCommand::Stop},
        {u"查询状态", TreeCommand::Query},     {u"最新日志", TreeCommand::ResetLog},
    };
    return commandOf(key, table);
}

ToolbarCommand toolbarCommand(std::u16string_view key)
{
    static constexpr KeyCommand<ToolbarCommand> table[] = {
        {u"退出", ToolbarCommand::Exit},      {u"启动", ToolbarCommand::Start},
        {u"停止", ToolbarCommand::Stop},      {u"配置", ToolbarCommand::OpenCansu},
        {u"关于", ToolbarCommand::OpenAbout}, {u"帮助", ToolbarCommand::Help},
    };
    return commandOf(key, table);
}

} // namespace console

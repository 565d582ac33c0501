// The console's service actions (state, start, stop, query, log reset) and the keys that pick them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/service_control.h"
#include "platform/fakes/fakes.h"
#include "platform/text.h"

using console::EntryPoint;
using platform::text::toUtf8;

namespace {

// Everything an action does, in the order it does it: state changes of the console,
// launches, pauses and boxes.
struct Recorder : console::ServiceConsole {
    platform::fakes::FakeServices fakes;
    std::vector<std::string> events;

    struct Launcher final : platform::Launcher {
        Recorder& r;
        explicit Launcher(Recorder& rec) : r(rec) {}
        bool launch(std::u16string_view commandLine, int style) override
        {
            bool started = r.fakes.launcher.launch(commandLine, style);
            if (started)
                r.events.push_back("launch " + toUtf8(commandLine) + (style == platform::vbHide ? " (hidden)" : ""));
            return started;
        }
    } launcher{*this};
    struct Sleeper final : platform::Sleeper {
        Recorder& r;
        explicit Sleeper(Recorder& rec) : r(rec) {}
        void sleep(int ms) override { r.events.push_back("sleep " + std::to_string(ms)); }
    } sleeper{*this};
    platform::ScopedService<platform::Launcher> launcherScope{launcher};
    platform::ScopedService<platform::Sleeper> sleeperScope{sleeper};

    Recorder()
    {
        fakes.boxes.onShow = [this](const auto& b) {
            events.push_back("box " + toUtf8(b.text) + " | " + toUtf8(b.title) + " | " + std::to_string(b.style));
        };
    }

    void resetLogGrid() override { events.push_back("grid cleared, header"); }
    void relayout() override { events.push_back("layout"); }
    void setLogInterval(int ms) override { events.push_back("interval " + std::to_string(ms)); }
    void setServiceText(std::u16string_view t) override { events.push_back("panel2 " + toUtf8(t)); }
};

using Events = std::vector<std::string>;

const std::string Taskkill = "launch taskkill /f /im openvpn.exe (hidden)";
const std::string NetStart = "launch cmd /c NET START openvpnservice (hidden)";
const std::string NetStop = "launch cmd /c NET STOP openvpnservice (hidden)";
const std::string Running = "panel2 VPN服务：正在运行中...";
const std::string Stopped = "panel2 VPN服务：处于停止状态...";
const std::string Started = "box VPN服务启动成功！ | 提示 | 64";
const std::string StopDone = "box VPN服务停止成功！！！ | 提示 | 64";
const std::string AlreadyRunning = "box VPN服务已经在运行，不需要重复启动！ | 提示 | 64";
const std::string NotRunning = "box VPN服务处于停止状态，不需要再次停止！ | 提示 | 64";
const std::string Warning = "box 请检查网络是否正常，这台电脑好像不能上网\r\n"
                            "请确认网线已接好、网络设置正确，\r\n"
                            "并确认VPN服务程序已正确安装，然后再启动VPN。 | 警告 | 64";

const char* name(EntryPoint e)
{
    return e == EntryPoint::Menu ? "menu" : e == EntryPoint::Tree ? "tree" : "toolbar";
}

// An entry point, the service state it finds, the programs it cannot start, and what
// it must do.
struct ActionCase {
    EntryPoint from;
    std::optional<int> running;
    std::set<std::u16string> missing;
    Events expected;
};

template <std::size_t N>
void expectEach(const ActionCase (&cases)[N], void (*action)(console::ServiceConsole&, EntryPoint))
{
    for (const auto& c : cases) {
        Recorder r;
        r.fakes.wmi.setServiceRunning(c.running);
        r.fakes.launcher.missingPrograms = c.missing;
        action(r, c.from);
        EXPECT_EQ(r.events, c.expected) << name(c.from) << " running " << c.running.value_or(-1);
    }
}

} // namespace

TEST(ServiceState, CountsTheServiceProgramsThatWmiFinds)
{
    platform::fakes::FakeServices fakes;
    for (int count : {0, 1, 3}) {
        fakes.wmi.setServiceRunning(count);
        EXPECT_EQ(console::ServiceStateQuery(), static_cast<std::size_t>(count));
    }
    fakes.wmi.setServiceRunning(std::nullopt);
    EXPECT_EQ(console::ServiceStateQuery(), std::nullopt);
    // A fresh connection every time, with the moniker and query as given, no flags.
    ASSERT_EQ(fakes.wmi.calls.size(), 4u);
    EXPECT_EQ(toUtf8(fakes.wmi.calls[0].moniker), "winmgmts:{impersonationlevel=impersonate}!\\\\.\\root\\cimv2");
    EXPECT_EQ(toUtf8(fakes.wmi.calls[0].wql), "Select * from Win32_Process Where Name='openvpnserv.exe'");
    EXPECT_EQ(fakes.wmi.calls[0].flags, 0);
}

TEST(ServiceActions, Start)
{
    const ActionCase cases[] = {
        {EntryPoint::Menu, 0, {}, {Taskkill, NetStart, "grid cleared, header", "layout", "interval 5000", Running, Started}},
        {EntryPoint::Tree, 0, {}, {Taskkill, NetStart, "grid cleared, header", "layout", "interval 5000", "sleep 3000", Running, Started}},
        {EntryPoint::Toolbar, 0, {}, {Taskkill, NetStart, "grid cleared, header", "interval 5000", Running, Started}},
        {EntryPoint::Menu, 1, {}, {AlreadyRunning}},
        {EntryPoint::Tree, 2, {}, {AlreadyRunning}},
        {EntryPoint::Toolbar, 1, {}, {AlreadyRunning}},
        // WMI not reachable: the warning before anything is launched.
        {EntryPoint::Menu, std::nullopt, {}, {Warning}},
        {EntryPoint::Tree, std::nullopt, {}, {Warning}},
        {EntryPoint::Toolbar, std::nullopt, {}, {Warning}},
        // A command that cannot be started: the warning after the launches before it.
        {EntryPoint::Menu, 0, {u"taskkill"}, {Warning}},
        {EntryPoint::Tree, 0, {u"taskkill"}, {Warning}},
        {EntryPoint::Toolbar, 0, {u"taskkill"}, {Warning}},
        {EntryPoint::Menu, 0, {u"cmd"}, {Taskkill, Warning}},
        {EntryPoint::Toolbar, 0, {u"cmd"}, {Taskkill, Warning}},
    };
    expectEach(cases, console::startAction);
}

TEST(ServiceActions, Stop)
{
    const ActionCase cases[] = {
        // Menu: panel 2 keeps its text, the interval changes after OK.
        {EntryPoint::Menu, 1, {}, {NetStop, StopDone, "interval 5000"}},
        {EntryPoint::Tree, 1, {}, {NetStop, StopDone, Stopped, "interval 3000"}},
        {EntryPoint::Toolbar, 1, {}, {NetStop, Stopped, StopDone, "interval 5000"}},
        {EntryPoint::Menu, 0, {}, {NotRunning}},
        {EntryPoint::Tree, 0, {}, {NotRunning}},
        {EntryPoint::Toolbar, 0, {}, {NotRunning}},
        // The toolbar takes a failing state test for a stopped service...
        {EntryPoint::Toolbar, std::nullopt, {}, {NotRunning}},
        // ...and goes on past a launch that fails.
        {EntryPoint::Toolbar, 1, {u"cmd"}, {Stopped, StopDone, "interval 5000"}},
        // Menu and tree stop where a step fails, and never report success for it.
        {EntryPoint::Menu, std::nullopt, {}, {}},
        {EntryPoint::Tree, std::nullopt, {}, {}},
        {EntryPoint::Menu, 1, {u"cmd"}, {}},
        {EntryPoint::Tree, 1, {u"cmd"}, {}},
    };
    expectEach(cases, console::stopAction);
}

TEST(ServiceActions, QueryOnlyTellsTheState)
{
    struct Case {
        std::optional<int> running;
        Events expected;
    };
    const Case cases[] = {
        {1, {"box VPN服务处于启动状态！ | 提示 | 64", "box VPN服务处于启动状态！ | 提示 | 64"}},
        {0, {"box VPN服务处于停止状态！ | 提示 | 64", "box VPN服务处于停止状态！ | 提示 | 64"}},
        // A state that cannot be told is reported as neither.
        {std::nullopt, {}},
    };
    for (const auto& c : cases) {
        Recorder r;
        r.fakes.wmi.setServiceRunning(c.running);
        console::queryAction();
        console::queryAction();
        EXPECT_EQ(r.events, c.expected);
        EXPECT_TRUE(r.fakes.launcher.launches.empty());
    }
}

TEST(ServiceActions, LogResetLeavesTimerAndPanel)
{
    Recorder r;
    console::resetLog(r);
    EXPECT_EQ(r.events, (Events{"grid cleared, header", "layout"}));
}

TEST(Dispatch, KeysAreComparedWholeAndExactly)
{
    using console::ToolbarCommand;
    using console::TreeCommand;
    const std::pair<std::u16string, TreeCommand> tree[] = {
        {u"参数设置", TreeCommand::OpenCansu}, {u"帐号设置", TreeCommand::OpenZhanghao},
        {u"启动VPN", TreeCommand::Start},      {u"停止VPN", TreeCommand::Stop},
        {u"查询状态", TreeCommand::Query},     {u"最新日志", TreeCommand::ResetLog},
        {u"PING测试", TreeCommand::None},      {u"", TreeCommand::None},
        {u"VPN配置", TreeCommand::None},       {u"查看日志", TreeCommand::None},
        {u"启动vpn", TreeCommand::None},       {u"启动VPN ", TreeCommand::None},
        {u" 启动VPN", TreeCommand::None},      {u"停止vpn", TreeCommand::None},
    };
    for (const auto& [key, command] : tree)
        EXPECT_EQ(console::treeCommand(key), command) << toUtf8(key);

    const std::pair<std::u16string, ToolbarCommand> toolbar[] = {
        {u"退出", ToolbarCommand::Exit},        {u"启动", ToolbarCommand::Start},
        {u"停止", ToolbarCommand::Stop},        {u"配置", ToolbarCommand::OpenCansu},
        {u"关于", ToolbarCommand::OpenAbout},   {u"帮助", ToolbarCommand::Help},
        {u"启动 ", ToolbarCommand::None},       {u"启动VPN", ToolbarCommand::None},
        {u"", ToolbarCommand::None},
    };
    for (const auto& [key, command] : toolbar)
        EXPECT_EQ(console::toolbarCommand(key), command) << toUtf8(key);
}

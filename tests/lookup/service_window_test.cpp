// The service window: its command line, the service events and their event-log entries,
// the tray icon, and the watchdog its timer drives.

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "console/form_zuye.h"
#include "lookup/form_update.h"
#include "platform/fakes/fakes.h"
#include "platform/fakes/service_fakes.h"
#include "platform/gui/cstray.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace {

using platform::fakes::FakeEventLog;
using platform::fakes::FakeLauncher;
using platform::fakes::FakeMessageBoxes;
using platform::fakes::FakeServiceManager;
using Entry = FakeEventLog::Entry;
using Box = FakeMessageBoxes::Box;
using Setting = FakeServiceManager::Setting;

class FakeConsoleView final : public lookup::ConsoleView {
public:
    std::vector<std::u16string> writes;
    void clearGrid() override { writes.push_back(u"clear"); }
    void setCell(int row, int column, std::u16string_view text) override
    {
        writes.push_back(u"cell " + num(row) + u" " + num(column) + u" " + std::u16string(text));
    }
    void setColumnWidth(int column, int twips) override { writes.push_back(u"width " + num(column) + u" " + num(twips)); }
    void setTimerInterval(int milliseconds) override { writes.push_back(u"interval " + num(milliseconds)); }
    void setPanelText(int panel, std::u16string_view text) override
    {
        writes.push_back(u"panel " + num(panel) + u" " + std::u16string(text));
    }

private:
    static std::u16string num(int n) { return platform::text::number(n); }
};

class ServiceWindow : public ::testing::Test {
protected:
    ServiceWindow() { platform::setAppFolder(app.path()); }
    ~ServiceWindow() override
    {
        delete window.data();
        platform::setAppFolder(std::filesystem::path());
    }

    lookup::form_update& open(std::u16string command, lookup::ConsoleView* console)
    {
        window = new lookup::form_update(std::move(command), console);
        return *window;
    }
    lookup::form_update& open(std::u16string command = u"") { return open(std::move(command), &view); }

    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            window->Timer1_Timer();
    }

    std::u16string startCommand() const { return u"\"" + platform::appPath() + u"\\bin\\openvpnserv.exe\" -start"; }

    testsupport::TempFolder app;
    platform::fakes::FakeServices fakes;
    FakeServiceManager manager;
    platform::ScopedService<platform::ServiceManager> managerSlot{manager};
    FakeConsoleView view;
    QPointer<lookup::form_update> window;
};

struct CommandCase {
    const char* name;
    std::u16string command;
    bool accepted; // what Install / Uninstall answer
    int installs, uninstalls, runs;
    std::vector<Setting> settings;
    std::u16string box; // empty: no box
    std::optional<int> exitCode;
};

TEST_F(ServiceWindow, CommandLineDecidesWhatTheProgramDoes)
{
    const std::vector<Setting> saved = {{u"Parameters", u"TimerInterval", u"300"}};
    const std::vector<CommandCase> cases = {
        {"install", u"/i", true, 1, 0, 0, saved, u"", 0},
        {"install refused", u"/i", false, 1, 0, 0, {}, u"目录服务: 安装失败！", 1},
        {"remove", u"/u", true, 0, 1, 0, {}, u"", 0},
        {"remove refused", u"/u", false, 0, 1, 0, {}, u"目录服务: 卸载失败！", 1},
        {"upper case", u"/I", true, 0, 0, 0, {}, u"无效参数", 1},
        {"trailing blank", u"/i ", true, 0, 0, 0, {}, u"无效参数", 1},
        {"leading blank", u" /i", true, 0, 0, 0, {}, u"无效参数", 1},
        {"two switches", u"/i /u", true, 0, 0, 0, {}, u"无效参数", 1},
        {"unknown", u"-u", true, 0, 0, 0, {}, u"无效参数", 1},
        {"run as the service", u"", true, 0, 0, 1, {}, u"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServiceManager m;
        m.installResult = m.uninstallResult = c.accepted;
        platform::ScopedService<platform::ServiceManager> slot(m);
        platform::fakes::FakeServices f;

        auto* w = new lookup::form_update(c.command, &view);
        EXPECT_EQ(m.installs.size(), static_cast<std::size_t>(c.installs));
        EXPECT_EQ(m.uninstalls.size(), static_cast<std::size_t>(c.uninstalls));
        EXPECT_EQ(m.runs.size(), static_cast<std::size_t>(c.runs));
        EXPECT_EQ(m.settings, c.settings);
        std::vector<Box> boxes;
        if (!c.box.empty())
            boxes.push_back({c.box, platform::vbOKOnly, platform::applicationTitle()});
        EXPECT_EQ(f.boxes.boxes, boxes);
        if (c.exitCode)
            EXPECT_EQ(f.program.ends, std::vector<int>{*c.exitCode});
        else
            EXPECT_FALSE(f.program.ended());
        // Every start puts the icon in the tray and hides the window.
        EXPECT_TRUE(w->trayIcon->intray());
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(f.eventLog.entries.empty());
        for (const auto& s : m.installs) {
            EXPECT_EQ(s.serviceName, u"ip_update");
            EXPECT_EQ(s.displayName, u"目录服务");
            EXPECT_EQ(s.startMode, platform::svcStartAutomatic);
            EXPECT_TRUE(s.interactive);
        }
        for (const auto& s : m.runs)
            EXPECT_EQ(s.controlsAccepted, platform::svcCtrlPauseContinue);
        delete w;
    }
}

TEST_F(ServiceWindow, SecondCopyEndsBeforeItsTrayIcon)
{
    fakes.instances.another = true;
    for (std::u16string command : {u"/i", u""}) {
        fakes.program.ends.clear();
        auto& w = open(command);
        EXPECT_EQ(fakes.program.ends, std::vector<int>{0});
        EXPECT_FALSE(w.trayIcon->intray());
        delete window.data();
    }
    EXPECT_TRUE(manager.installs.empty());
    EXPECT_TRUE(manager.runs.empty());
    EXPECT_TRUE(fakes.boxes.boxes.empty());
}

TEST_F(ServiceWindow, RunsAsServiceHiddenWithItsWatchdogTimer)
{
    auto& w = open();
    EXPECT_FALSE(fakes.program.ended());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 60000);
    EXPECT_EQ(w.WatchdogTicks, 0);
    EXPECT_EQ(w.trayIcon->traytip(), QStringLiteral("寻址服务"));
    EXPECT_FALSE(w.cmd_start->isVisibleTo(&w));
    EXPECT_FALSE(w.Command1->isVisibleTo(&w));
    EXPECT_TRUE(manager.start());
}

TEST_F(ServiceWindow, PauseAndContinueWriteTwoEntriesAndTheWatchdogRunsOn)
{
    fakes.wmi.setServiceRunning(0);
    auto& w = open();
    ASSERT_TRUE(manager.start());

    EXPECT_TRUE(manager.pause());
    EXPECT_TRUE(w.Timer1->isActive());
    ticks(2);
    EXPECT_EQ(fakes.launcher.commandLines(), std::vector<std::u16string>{startCommand()});
    EXPECT_TRUE(manager.resume());

    EXPECT_EQ(fakes.eventLog.entries,
              (std::vector<Entry>{{1, 109, u"服务中止运行"}, {4, 110, u"服务继续运行"}}));
}

TEST_F(ServiceWindow, StopUnloadsTheWindowWithoutAnEntry)
{
    open();
    manager.start();
    manager.stop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(manager.events, nullptr);
    EXPECT_TRUE(fakes.eventLog.entries.empty());
}

TEST_F(ServiceWindow, FailedStartIsLoggedAndTheWindowStaysLoaded)
{
    manager.runError = platform::ServiceError(1063, u"服务进程无法连接到服务控制器。");
    auto& w = open();
    EXPECT_EQ(fakes.eventLog.entries, (std::vector<Entry>{{1, 109, u"[1063] 服务进程无法连接到服务控制器。"}}));
    EXPECT_FALSE(fakes.program.ended());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(w.trayIcon->intray());
}

TEST_F(ServiceWindow, TrayIconShowsTheWindowAndMinimiseHidesIt)
{
    auto& w = open();
    w.Form_MouseMove(2, 0, 0, 0);
    EXPECT_FALSE(w.isVisible());
    // Any activity over the icon arrives as the icon's identifier, 1.
    w.trayIcon->activate();
    EXPECT_TRUE(w.isVisible());

    w.cmd_exit_Click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.findChildren<platform::cstray*>().size(), 1);
    EXPECT_TRUE(w.trayIcon->intray());

    // The close box hides; the service window goes on working.
    w.trayIcon->activate();
    w.close();
    EXPECT_FALSE(window.isNull());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.Timer1->isActive());
}

struct WatchdogCase {
    const char* name;
    std::optional<int> running; // nothing: the state test fails
    bool programMissing;
    int launches;   // after four ticks
    int wmiQueries; // after four ticks
    bool panelWritten;
};

TEST_F(ServiceWindow, WatchdogChecksOnEverySecondTick)
{
    const std::vector<WatchdogCase> cases = {
        {"running", 1, false, 0, 2, false},
        {"missing", 0, false, 2, 2, true},
        {"program file missing", 0, true, 0, 2, false},
        {"state test fails", std::nullopt, false, 0, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::fakes::FakeServices f;
        f.wmi.setServiceRunning(c.running);
        if (c.programMissing)
            f.launcher.missingPrograms.insert(platform::appPath() + u"\\bin\\openvpnserv.exe");
        FakeConsoleView v;
        auto& w = open(u"", &v);

        ticks(1);
        EXPECT_TRUE(f.wmi.calls.empty());
        ticks(1);
        EXPECT_EQ(w.WatchdogTicks, 0);
        EXPECT_EQ(f.wmi.calls.size(), 1u);
        ticks(2);
        EXPECT_EQ(f.wmi.calls.size(), static_cast<std::size_t>(c.wmiQueries));

        std::vector<FakeLauncher::Launch> launches(static_cast<std::size_t>(c.launches),
                                                   {startCommand(), platform::vbHide});
        EXPECT_EQ(f.launcher.launches, launches);
        std::vector<std::u16string> writes;
        if (c.panelWritten)
            writes.assign(static_cast<std::size_t>(c.launches), u"panel 2 VPN服务：正在运行中...");
        EXPECT_EQ(v.writes, writes);
        EXPECT_TRUE(f.eventLog.entries.empty());
        delete window.data();
    }
}

TEST_F(ServiceWindow, WatchdogLoadsTheConsoleWindowHiddenOnItsFirstWrite)
{
    auto& console = platform::windowInstance<console::form_zuye>();
    ASSERT_TRUE(console.isNull());
    fakes.wmi.setServiceRunning(1);
    open(u"", nullptr);
    ticks(4);
    EXPECT_TRUE(console.isNull());

    fakes.wmi.setServiceRunning(0);
    ticks(2);
    ASSERT_FALSE(console.isNull());
    EXPECT_FALSE(console->isVisible());
    EXPECT_EQ(console->StatusBar1->panelText(2), QStringLiteral("VPN服务：正在运行中..."));
    delete console.data();
}

} // namespace

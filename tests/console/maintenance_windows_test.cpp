// The maintenance, about and log-test windows: what their buttons start or open, failed starts.
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "console/form_about.h"
#include "console/form_log.h"
#include "console/form_weihu.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/gui_services.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/text.h"
#include "support/temp_folder.h"
#include "support/windows.h"

using platform::fakes::FakeLauncher;
using platform::fakes::FakeMessageBoxes;
using platform::text::fromUtf8;

namespace {

using testsupport::flushDeletes;
using testsupport::isLoaded;

class SmallWindows : public ::testing::Test {
protected:
    void TearDown() override
    {
        delete platform::windowInstance<console::form_weihu>().data();
        delete platform::windowInstance<console::form_about>().data();
        delete platform::windowInstance<console::form_log>().data();
        flushDeletes();
    }

    platform::fakes::FakeServices fakes;
    testsupport::TempFolder temp;
};

TEST_F(SmallWindows, MaintenanceButtonsLaunchFromTheApplicationFolder)
{
    struct Case {
        std::string folder;
        std::vector<FakeLauncher::Launch> expected;
    };
    const std::string plain = (temp / "corvane").string();
    const std::string blank = (temp / "Corvane VPN").string();
    const std::u16string p = fromUtf8(plain), b = fromUtf8(blank);
    const Case cases[] = {
        {plain,
         {{u"\"" + p + u"\\bin\\addtap.bat\"", 1},
          {u"\"" + p + u"\\bin\\deltapall.bat\"", 1},
          {u"\"" + p + u"\\bin\\openvpnserv.exe\" -install", 0},
          {u"\"" + p + u"\\mulu.exe\" /i", 0}}},
        {blank,
         {{u"\"" + b + u"\\bin\\addtap.bat\"", 1},
          {u"\"" + b + u"\\bin\\deltapall.bat\"", 1},
          {u"\"" + b + u"\\bin\\openvpnserv.exe\" -install", 0},
          {u"\"" + b + u"\\mulu.exe\" /i", 0}}},
    };
    for (const auto& c : cases) {
        platform::setAppFolder(c.folder);
        fakes.launcher.launches.clear();
        auto& w = platform::showWindow<console::form_weihu>();
        // Each twice: nothing stops a second install.
        for (QPushButton* button : {w.cmd_setupwin32, w.cmd_setupwin32, w.cmd_uninstall, w.cmd_uninstall,
                                    w.cmd_setupvpn, w.cmd_setupvpn, w.cmd_update_ip, w.cmd_update_ip})
            QTest::mouseClick(button, Qt::LeftButton);

        std::vector<FakeLauncher::Launch> twice;
        for (const auto& l : c.expected) {
            twice.push_back(l);
            twice.push_back(l);
        }
        EXPECT_EQ(fakes.launcher.launches, twice) << c.folder;
        EXPECT_TRUE(fakes.boxes.boxes.empty()) << c.folder;
        EXPECT_TRUE(w.isVisible()) << c.folder;
        // What the launcher receives names the whole path as one program.
        EXPECT_EQ(platform::splitCommandLine(fakes.launcher.launches.back().commandLine),
                  (std::vector<std::u16string>{fromUtf8(c.folder) + u"\\mulu.exe", u"/i"}));
    }
}

TEST_F(SmallWindows, MaintenanceProgramThatCannotBeStartedIsNamed)
{
    const std::string folder = (temp / "Corvane VPN").string();
    platform::setAppFolder(folder);
    const std::u16string addtap = fromUtf8(folder) + u"\\bin\\addtap.bat";
    const std::u16string mulu = fromUtf8(folder) + u"\\mulu.exe";
    fakes.launcher.missingPrograms = {addtap, mulu};
    auto& w = platform::showWindow<console::form_weihu>();

    w.cmd_setupwin32_Click();
    w.cmd_update_ip_Click();
    w.cmd_setupvpn_Click();

    const std::u16string local = fromUtf8(folder);
    EXPECT_EQ(fakes.boxes.boxes,
              (std::vector<FakeMessageBoxes::Box>{
                  {u"无法启动程序 " + local + u"/bin/addtap.bat，请检查文件是否存在！", 64, u"警告"},
                  {u"无法启动程序 " + local + u"/mulu.exe，请检查文件是否存在！", 64, u"警告"}}));
    EXPECT_EQ(fakes.launcher.launches.size(), 1u) << "the other buttons still work";
    EXPECT_TRUE(isLoaded<console::form_weihu>());
}

TEST_F(SmallWindows, MaintenanceCloseButtonUnloads)
{
    auto& w = platform::showWindow<console::form_weihu>();
    QTest::mouseClick(w.cmd_ok, Qt::LeftButton);
    EXPECT_FALSE(isLoaded<console::form_weihu>());
    EXPECT_TRUE(fakes.launcher.launches.empty());
}

TEST_F(SmallWindows, AboutManualOpensTheHelpFileOfTheApplicationFolder)
{
    platform::setAppFolder(temp.path());
    platform::setHelpFile(u"");
    platform::installHelpKey();
    auto& w = platform::showWindow<console::form_about>();
    EXPECT_EQ(platform::helpFile(), fromUtf8(temp.path().string()) + u"\\help.chm");

    QTest::mouseClick(w.Command1, Qt::LeftButton);
    EXPECT_EQ(fakes.desktop.keys, std::vector<std::u16string>{u"{F1}"});

    // The key, once it arrives, opens the help file set above.
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_EQ(fakes.desktop.helpOpened, std::vector<std::filesystem::path>{temp / "help.chm"});

    QTest::mouseClick(w.cmd_ok, Qt::LeftButton);
    EXPECT_FALSE(isLoaded<console::form_about>());
    EXPECT_EQ(platform::helpFile(), fromUtf8(temp.path().string()) + u"\\help.chm") << "outlives the window";
}

TEST_F(SmallWindows, AboutLinkOpensTheHomePage)
{
    auto& w = platform::showWindow<console::form_about>();
    EXPECT_EQ(w.Label3->text(), "欢迎访问CorvaneVPN网站");
    QTest::mouseClick(w.Label3, Qt::LeftButton);
    EXPECT_EQ(fakes.desktop.urls, std::vector<std::u16string>{u"https://www.corvane.example/"});
    EXPECT_TRUE(w.isVisible());
}

TEST_F(SmallWindows, LogTestButtonChangesNothingVisible)
{
    auto& w = platform::showWindow<console::form_log>();
    w.Text1->setPlainText("Wed Dec 09 08:09:11 2026 OpenVPN 2.1");
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    EXPECT_EQ(w.Timer1->interval(), 1);
    EXPECT_EQ(w.Text1->toPlainText(), "Wed Dec 09 08:09:11 2026 OpenVPN 2.1");
    for (int r = 0; r < w.loggrid->rowCount(); ++r)
        for (int c = 0; c < w.loggrid->columnCount(); ++c)
            EXPECT_EQ(w.loggrid->item(r, c), nullptr);
    EXPECT_TRUE(fakes.boxes.boxes.empty());
    EXPECT_TRUE(fakes.launcher.launches.empty());
}

} // namespace

// Every small window of the three programs on a real desktop, opened as the programs
// open it and filled as a user meets it: each of its texts is shown whole, with glyphs.
#include <QPointer>
#include <QTableWidget>
#include <QTest>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

#include "config/form_cansu.h"
#include "config/form_hard.h"
#include "config/form_zhanghao.h"
#include "console/form_about.h"
#include "console/form_gaimima.h"
#include "console/form_kaiji.h"
#include "console/form_log.h"
#include "console/form_login.h"
#include "console/form_ssl_login.h"
#include "console/form_weihu.h"
#include "lookup/form_update.h"
#include "lookup/form_xunzi.h"
#include "platform/fakes/fakes.h"
#include "platform/fakes/service_fakes.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "support/no_console_view.h"
#include "support/temp_folder.h"
#include "support/text_fit.h"
#include "support/virtual_desktop.h"

namespace {

using testsupport::gbk;

// The longest texts the files may hold: 20 characters of server, user and password,
// the 32-digit hardware feature code, the longest list entry.
const char* const code = "DBA2A53A888B75EDF0FA1EF67D5990FA";

class Windows : public ::testing::Test {
public:
    Windows() { platform::setAppFolder(app.path()); }
    ~Windows() override { platform::setAppFolder({}); }

    template <class W>
    QWidget* open()
    {
        return &platform::showWindow<W>();
    }

    testsupport::TempFolder app;
    platform::fakes::FakeServices fakes;
    platform::fakes::FakeServiceManager manager;
    platform::ScopedService<platform::ServiceManager> managerSlot{manager};
    testsupport::NoConsoleView console;
};

struct WindowCase {
    const char* name;
    std::function<QWidget*(Windows&)> open;
};

TEST_F(Windows, EveryTextIsShownWhole)
{
    const std::vector<WindowCase> cases = {
        {"form_login",
         [](Windows& t) {
             auto* w = static_cast<console::form_login*>(t.open<console::form_login>());
             w->Text1->setText(QStringLiteral("a password typed"));
             return w;
         }},
        {"form_gaimima",
         [](Windows& t) {
             auto* w = static_cast<console::form_gaimima*>(t.open<console::form_gaimima>());
             w->txt_old->setText(QStringLiteral("old password 20 char"));
             w->txt_new->setText(QStringLiteral("new password 20 char"));
             w->txt_renew->setText(QStringLiteral("new password 20 char"));
             return w;
         }},
        {"form_kaiji", [](Windows& t) { return t.open<console::form_kaiji>(); }},
        {"form_weihu", [](Windows& t) { return t.open<console::form_weihu>(); }},
        {"form_about", [](Windows& t) { return t.open<console::form_about>(); }},
        {"form_log",
         [](Windows& t) {
             auto* w = static_cast<console::form_log*>(t.open<console::form_log>());
             w->loggrid->setItem(0, 0, new QTableWidgetItem(QStringLiteral("2026年12月09日")));
             w->loggrid->setItem(0, 1, new QTableWidgetItem(QStringLiteral(" 08:09:11")));
             return w;
         }},
        {"form_ssl_login",
         [](Windows& t) {
             t.app.write("server.ini", gbk("[option]\r\nserver=ssl.vpn.example.cn\r\nuser=zhangsan\r\npwd=secret\r\n"));
             return t.open<console::form_ssl_login>();
         }},
        {"form_cansu",
         [](Windows& t) {
             t.app.write("config.ovpn", "port  1194\r\nproto udp\r\nremote vpn20.example.com.cn\r\n"
                                        "cipher sm4-cbc\r\nauth sha1\r\nclient\r\n");
             t.app.write("pwd.txt", gbk(std::string("zhangsan01234567890a\r\n") + code +
                                        "+secret01234567890ab\r\n1\r\n0\r\n"));
             return t.open<config::form_cansu>();
         }},
        {"form_zhanghao",
         [](Windows& t) {
             t.app.write("pwd.txt", "zhangsan01234567890a\r\nsecret\r\n0\r\n0\r\n");
             return t.open<config::form_zhanghao>();
         }},
        {"form_hard",
         [](Windows& t) {
             auto* w = static_cast<config::form_hard*>(t.open<config::form_hard>());
             w->loadDiskId = [] {
                 return config::DiskIdEntry{[](char* maker, char* serial) {
                                                std::strcpy(maker, "WDC WD10EZEX-08WN4A0");
                                                std::strcpy(serial, "  WD-WCC6Y0ABCDEF   ");
                                                return 1;
                                            },
                                            {}};
             };
             w->Command1_Click();
             return w;
         }},
        {"form_update",
         [](Windows& t) {
             // As the tray icon brings it up.
             auto* w = new lookup::form_update(u"", &t.console);
             w->Form_MouseMove(1, 0, 0, 0);
             return w;
         }},
        {"form_xunzi",
         [](Windows& t) {
             t.app.write("config/config.xml", "<?xml version=\"1.0\"?>\r\n<newdataset><url>"
                                              "http://dir.example.cn:8080/lookup</url></newdataset>\r\n");
             return t.open<lookup::form_xunzi>();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QPointer<QWidget> w = c.open(*this);
        ASSERT_TRUE(w);
        ASSERT_EQ(w->objectName(), QLatin1String(c.name));
        ASSERT_TRUE(testsupport::waitUntilManaged(w));
        QCoreApplication::processEvents();
        const auto faults = testsupport::textFaults(w);
        EXPECT_TRUE(faults.empty()) << testsupport::describe(faults);
        delete w.data();
    }
}

TEST_F(Windows, TextsSetWhileTheWindowIsShownFitToo)
{
    auto& w = platform::showWindow<config::form_cansu>();
    ASSERT_TRUE(testsupport::waitUntilManaged(&w));
    const int width = w.width();
    w.cmd_gethardinfo->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.hardinfo->text().size(), 32);
    const auto faults = testsupport::textFaults(&w);
    EXPECT_TRUE(faults.empty()) << testsupport::describe(faults);
    EXPECT_EQ(w.width(), width); // the code's label grew inside the window
    delete &w;
}

} // namespace

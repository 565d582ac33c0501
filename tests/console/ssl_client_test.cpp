// The SSL VPN client window: server.ini and the agent's two command lines.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "console/form_ssl_login.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/temp_folder.h"
#include "support/windows.h"

using platform::fakes::FakeLauncher;
using platform::fakes::FakeMessageBoxes;
using platform::text::fromUtf8;
using testsupport::gbk;

namespace {

using testsupport::flushDeletes;
using testsupport::isLoaded;

class SslClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setAppFolder(app.path());
        app.write("adito-agent.jar", "PK");
    }
    void TearDown() override
    {
        delete platform::windowInstance<console::form_ssl_login>().data();
        flushDeletes();
    }

    console::form_ssl_login& open()
    {
        delete platform::windowInstance<console::form_ssl_login>().data();
        flushDeletes();
        return platform::showWindow<console::form_ssl_login>();
    }

    static void fill(console::form_ssl_login& w, const char* server, const char* user, const char* pwd)
    {
        w.Text1->setText(QString::fromUtf8(server));
        w.Text2->setText(QString::fromUtf8(user));
        w.Text3->setText(QString::fromUtf8(pwd));
    }

    static std::vector<std::string> fields(const console::form_ssl_login& w)
    {
        return {w.Text1->text().toStdString(), w.Text2->text().toStdString(), w.Text3->text().toStdString()};
    }

    std::string ini() const { return app.read("server.ini"); }

    platform::fakes::FakeServices fakes;
    testsupport::TempFolder app;
};

TEST_F(SslClient, FirstConfirmCreatesTheFileAndTheNextOpeningReadsItBack)
{
    auto& w = open();
    EXPECT_EQ(fields(w), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(w.Text3->echoMode(), QLineEdit::Normal) << "the password shows in plain text";

    fill(w, "vpn.example.net", "张三", "pass word");
    QTest::mouseClick(w.Command1, Qt::LeftButton);

    EXPECT_EQ(ini(), gbk("[option]\r\nserver=vpn.example.net\r\nuser=张三\r\npwd=pass word\r\n"));
    struct stat st {};
    ASSERT_EQ(::stat((app / "server.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds a password";
    EXPECT_TRUE(w.isVisible()) << "confirm keeps the window open";
    EXPECT_TRUE(fakes.boxes.boxes.empty());

    EXPECT_EQ(fields(open()), (std::vector<std::string>{"vpn.example.net", "张三", "pass word"}));
}

TEST_F(SslClient, ValuesReadBackByTheProfileRules)
{
    const std::string long100(100, 'a');
    struct Case {
        const char* name;
        std::string file;
        std::vector<std::string> shown;
    } cases[] = {
        {"empty values", "[option]\r\nserver=\r\nuser=\r\npwd=\r\n", {"", "", ""}},
        {"a value of 100 bytes reads as its first 99", "[option]\r\nserver=" + long100 + "\r\n",
         {long100.substr(0, 99), "", ""}},
        {"section and keys in another case", "[OPTION]\r\nServer=s\r\nUSER=u\r\n", {"s", "u", ""}},
        {"only the option section counts", "[other]\r\nserver=x\r\n[option]\r\npwd=p\r\n", {"", "", "p"}},
    };
    for (const auto& c : cases) {
        app.write("server.ini", c.file);
        EXPECT_EQ(fields(open()), c.shown) << c.name;
    }
}

TEST_F(SslClient, ConfirmKeepsTheRestOfTheFileAndWritesEmptyValues)
{
    app.write("server.ini", "; kept\r\n[other]\r\nserver=x\r\n[Option]\r\nSERVER=old\r\nextra=1\r\n");
    auto& w = open();
    EXPECT_EQ(fields(w), (std::vector<std::string>{"old", "", ""}));
    fill(w, "", "", "");
    w.Command1_Click();
    EXPECT_EQ(ini(), "; kept\r\n[other]\r\nserver=x\r\n[Option]\r\nSERVER=\r\nextra=1\r\nuser=\r\npwd=\r\n");
    EXPECT_EQ(fields(open()), (std::vector<std::string>{"", "", ""}));
}

TEST_F(SslClient, AgentCommandLinesAreFixedWhateverIsTyped)
{
    struct Case {
        std::string folder;
        std::u16string archive;
    };
    const std::string plain = (app / "corvane").string();
    const std::string blank = (app / "Corvane VPN").string();
    const Case cases[] = {
        {plain, fromUtf8(plain) + u"\\adito-agent.jar"},
        {blank, u"\"" + fromUtf8(blank) + u"\\adito-agent.jar\""},
    };
    for (const auto& c : cases) {
        std::filesystem::create_directories(c.folder);
        std::filesystem::copy_file(app / "adito-agent.jar", std::filesystem::path(c.folder) / "adito-agent.jar");
        platform::setAppFolder(c.folder);
        fakes.launcher.launches.clear();
        auto& w = open();
        fill(w, "a", "b", "c");
        w.Check1->setChecked(true);
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        fill(w, "other", "user", "secret");
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QTest::mouseClick(w.Command3, Qt::LeftButton);

        const std::u16string agent =
            u"cmd.exe /c java -cp " + c.archive +
            u" com.adito.agent.client.Agent host=127.0.0.1:8080 protocol=http username=admin password=730528 javaw";
        const std::u16string login = u"cmd.exe /c start javaw -cp " + c.archive + u" com.adito.agent.client.Login";
        EXPECT_EQ(fakes.launcher.launches,
                  (std::vector<FakeLauncher::Launch>{{agent, 0}, {agent, 0}, {login, 0}})) << c.folder;
        EXPECT_TRUE(fakes.boxes.boxes.empty()) << c.folder;
        EXPECT_TRUE(w.isVisible()) << c.folder;
    }
}

TEST_F(SslClient, AValueTheFileCannotHoldWritesNothingAndStartsNothing)
{
    const std::string before = "[option]\r\nserver=s\r\nuser=u\r\npwd=p\r\n";
    const std::u16string lineBreak = u"中不能有换行，设置未保存！", unsavable = u"中含有无法保存的字符，设置未保存！";
    struct Case {
        const char* name;
        QString server, user, pwd;
        std::u16string warning;
    } cases[] = {
        {"a line break in the server", "s\r\n[other]", "u", "p", u"“服务器地址”" + lineBreak},
        {"a line break in the user name", "s", "u\nserver=evil", "p", u"“用户名”" + lineBreak},
        {"a CR in the password", "s", "u", "p\r", u"“密码”" + lineBreak},
        // The last value refused: the first two must not have been written already.
        {"a password the code page cannot hold", "new-server", "new-user", QStringLiteral("pw\U0001F600"),
         u"“密码”" + unsavable},
        {"a server the code page cannot hold", QStringLiteral("vpn\u0e01.example"), "u", "p", u"“服务器地址”" + unsavable},
        {"a NUL in the user name", "new-server", QString::fromUtf16(u"u\0x", 3), "p", u"“用户名”" + unsavable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app.write("server.ini", before);
        fakes.boxes.boxes.clear();
        auto& w = open();
        w.Text1->setText(c.server);
        w.Text2->setText(c.user);
        w.Text3->setText(c.pwd);
        w.Command1_Click();
        EXPECT_EQ(fakes.boxes.boxes, (std::vector<FakeMessageBoxes::Box>{{c.warning, 64, u"警告"}}));
        EXPECT_EQ(ini(), before);
        EXPECT_TRUE(fakes.launcher.launches.empty()) << "the agent starts once the values are saved";
        EXPECT_TRUE(isLoaded<console::form_ssl_login>());
        EXPECT_EQ(w.Text3->text(), c.pwd) << "the fields stay for the user to mend";
    }
}

TEST_F(SslClient, LoginButtonLeavesTheFileAlone)
{
    app.write("server.ini", "[option]\r\nserver=s\r\n");
    auto& w = open();
    fill(w, "changed", "u", "p");
    w.Command3_Click();
    EXPECT_EQ(ini(), "[option]\r\nserver=s\r\n");
    EXPECT_EQ(fakes.launcher.launches.size(), 1u);
}

TEST_F(SslClient, CancelDropsTheEdits)
{
    app.write("server.ini", "[option]\r\nserver=s\r\n");
    auto& w = open();
    fill(w, "changed", "u", "p");
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    flushDeletes();
    EXPECT_TRUE(platform::windowInstance<console::form_ssl_login>().isNull());
    EXPECT_EQ(ini(), "[option]\r\nserver=s\r\n");
    EXPECT_TRUE(fakes.launcher.launches.empty());
    EXPECT_EQ(fields(open()), (std::vector<std::string>{"s", "", ""}));
}

TEST_F(SslClient, AgentThatCannotBeStartedIsNamed)
{
    const std::u16string folder = fromUtf8(app.path().string());
    struct Case {
        const char* name;
        bool archive;
        bool interpreter;
        std::u16string file;
    } cases[] = {
        {"no agent archive", false, true, folder + u"/adito-agent.jar"},
        {"no command interpreter", true, false, u"cmd.exe"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(app / "adito-agent.jar");
        if (c.archive)
            app.write("adito-agent.jar", "PK");
        fakes.launcher.missingPrograms.clear();
        if (!c.interpreter)
            fakes.launcher.missingPrograms.insert(u"cmd.exe");
        fakes.boxes.boxes.clear();
        auto& w = open();
        fill(w, "s", "u", "p");

        w.Command1_Click();
        w.Command3_Click();

        const FakeMessageBoxes::Box warning{u"无法启动程序 " + c.file + u"，请检查文件是否存在！", 64, u"警告"};
        EXPECT_EQ(fakes.boxes.boxes, (std::vector<FakeMessageBoxes::Box>{warning, warning})) << c.name;
        EXPECT_TRUE(fakes.launcher.launches.empty()) << c.name;
        EXPECT_EQ(ini(), "[option]\r\nserver=s\r\nuser=u\r\npwd=p\r\n") << c.name << ": the settings are saved first";
        std::filesystem::remove(app / "server.ini");
    }
}

} // namespace

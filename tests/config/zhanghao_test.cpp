// The account window: what its save changes and keeps in pwd.txt, and its password field's mask.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "config/form_cansu.h"
#include "config/form_zhanghao.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

using config::form_cansu;
using config::form_zhanghao;
using platform::fakes::FakeMessageBoxes;
using testsupport::gbk;
using testsupport::TempFolder;

namespace {

const std::string code = "0123456789ABCDEF0123456789ABCDEF";
const std::string legend = "第一行：帐号；第二行：密码；第三行：硬件绑定；第四行：动态口令";

std::string crlf(std::initializer_list<std::string> lines)
{
    std::string out;
    for (const auto& l : lines)
        out += gbk(l) + "\r\n";
    return out;
}

class ZhanghaoTest : public ::testing::Test {
protected:
    TempFolder t;
    platform::fakes::FakeServices fakes;

    void SetUp() override { platform::setAppFolder(t.path()); }
    void TearDown() override
    {
        if (auto& w = platform::windowInstance<form_zhanghao>())
            w->close();
        isOpen();
        config::setShowPasswordOnFocus(false);
    }

    form_zhanghao& open() { return platform::showWindow<form_zhanghao>(); }

    bool isOpen()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !platform::windowInstance<form_zhanghao>().isNull();
    }
};

} // namespace

TEST_F(ZhanghaoTest, KeepsCodeAndFlagsAsRead)
{
    struct Case {
        const char* name;
        std::optional<std::string> file;
        QString user, pwd;                       // what the window shows
        std::optional<QString> newUser, newPwd;  // what the user types over it
        std::string written;
    } cases[] = {
        {"code and password, no edit", crlf({"zhang", code + "+P", "1", "0", legend}), "zhang", "P", {}, {},
         crlf({"zhang", code + "+P", "1", "0", legend})},
        {"code and password, password changed", crlf({"zhang", code + "+P", "1", "1", legend}), "zhang", "P", {}, "Q",
         crlf({"zhang", code + "+Q", "1", "1", legend})},
        {"password alone", crlf({"zhang", "P", "0", "0", legend}), "zhang", "P", {}, {},
         crlf({"zhang", "P", "0", "0", legend})},
        {"blanks around the code: written trimmed", crlf({"u", " " + code + " +P", "1", "0"}), "u", "P", {}, {},
         crlf({"u", code + "+P", "1", "0", legend})},
        {"a leading zero and a fraction in the flags", crlf({"u", "P", "01", "1.5"}), "u", "P", {}, {},
         crlf({"u", "P", "1", "2", legend})},
        {"missing flag lines are written as 0", crlf({"u", "P"}), "u", "P", {}, {}, crlf({"u", "P", "0", "0", legend})},
        {"flags that are no numbers or out of range are 0", crlf({"u", "P", "x", "40000"}), "u", "P", {}, {},
         crlf({"u", "P", "0", "0", legend})},
        {"no file", {}, "", "", "li", "pw", crlf({"li", "pw", "0", "0", legend})},
        {"values longer than 20 characters, read and written whole",
         crlf({"an-account-longer-than-20", code + "+a-password-longer-than-20", "1", "0"}),
         "an-account-longer-than-20", "a-password-longer-than-20", {}, {},
         crlf({"an-account-longer-than-20", code + "+a-password-longer-than-20", "1", "0", legend})},
        {"a password holding + and an empty one after a code", crlf({"u", code + "+", "1", "0"}), "u", "", {}, "a+b",
         crlf({"u", code + "+a+b", "1", "0", legend})},
        {"binding off: a password that looks like a code and + is read whole",
         crlf({"u", code + "+P", "0", "0"}), "u", QString::fromStdString(code + "+P"), {}, {}, crlf({"u", code + "+P", "0", "0", legend})},
        {"binding off, the password changed: nothing of it is taken for a code",
         crlf({"u", code + "+P", "0", "0"}), "u", QString::fromStdString(code + "+P"), {}, "Q", crlf({"u", "Q", "0", "0", legend})},
        {"line 3 missing: written as 0, so line 2 is read whole", crlf({"u", code + "+P"}), "u",
         QString::fromStdString(code + "+P"), {}, {},
         crlf({"u", code + "+P", "0", "0", legend})},
        {"Chinese account", crlf({"张三", "P", "0", "1"}), "张三", "P", "李四", {}, crlf({"李四", "P", "0", "1", legend})},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        platform::setAppFolder(folder.path());
        if (c.file)
            folder.write("pwd.txt", *c.file);
        form_zhanghao& w = open();
        EXPECT_EQ(w.txt_user->text(), c.user) << c.name;
        EXPECT_EQ(w.txt_pwd->text(), c.pwd) << c.name;
        if (c.newUser)
            w.txt_user->setText(*c.newUser);
        if (c.newPwd)
            w.txt_pwd->setText(*c.newPwd);
        fakes.boxes.onShow = [&](const FakeMessageBoxes::Box&) { EXPECT_EQ(folder.read("pwd.txt"), c.written) << c.name; };
        QTest::mouseClick(w.cmd_ok, Qt::LeftButton);
        fakes.boxes.onShow = nullptr;
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u) << c.name;
        EXPECT_EQ(fakes.boxes.boxes[0], (FakeMessageBoxes::Box{u"设置成功！", 64, u"提示"})) << c.name;
        EXPECT_FALSE(isOpen()) << c.name;
        struct stat st {};
        ASSERT_EQ(::stat((folder / "pwd.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << c.name;

        // A second opening shows what the first one wrote.
        form_zhanghao& again = open();
        EXPECT_EQ(again.txt_user->text(), c.newUser.value_or(c.user)) << c.name;
        EXPECT_EQ(again.txt_pwd->text(), c.newPwd.value_or(c.pwd)) << c.name;
        again.close();
        isOpen();
        fakes.boxes.boxes.clear();
    }
    platform::setAppFolder(t.path());
}

TEST_F(ZhanghaoTest, WithTheParameterWindowOpenTooNeitherSaveUndoesTheOther)
{
    // No WMI answers here: the parameter window's code is that of the empty hardware string.
    const std::string made = "D41D8CD98F00B204E9800998ECF8427E";
    const std::string before = crlf({"olduser", "oldpw", "0", "0", legend});
    struct Case {
        const char* name;
        std::string file;
        bool parametersFirst;
        std::function<void(form_cansu&)> parameters;
        std::function<void(form_zhanghao&)> account;
        std::string written;
    } cases[] = {
        {"参数设置 binds, then 帐号设置 changes the password", before, true,
         [](form_cansu& w) { w.hard_check->setChecked(true); }, [](form_zhanghao& w) { w.txt_pwd->setText("pw2"); },
         crlf({"olduser", made + "+pw2", "1", "0", legend})},
        {"参数设置 unbinds and turns the dynamic password on, then 帐号设置 changes the password",
         crlf({"u", code + "+P", "1", "0", legend}), true,
         [](form_cansu& w) {
             w.hard_check->setChecked(false);
             w.otp_check->setChecked(true);
         },
         [](form_zhanghao& w) { w.txt_pwd->setText("Q"); }, crlf({"u", "Q", "0", "1", legend})},
        {"参数设置 changes the account, then 帐号设置 the password", before, true,
         [](form_cansu& w) { w.txt_user->setText("newuser"); }, [](form_zhanghao& w) { w.txt_pwd->setText("pw2"); },
         crlf({"newuser", "pw2", "0", "0", legend})},
        {"帐号设置 changes account and password, then 参数设置 the server", before, false,
         [](form_cansu& w) { w.txt_server->setText("other.example.cn"); },
         [](form_zhanghao& w) {
             w.txt_user->setText("newuser");
             w.txt_pwd->setText("pw2");
         },
         crlf({"newuser", "pw2", "0", "0", legend})},
        {"帐号设置 changes the password, then 参数设置 binds", before, false,
         [](form_cansu& w) { w.hard_check->setChecked(true); }, [](form_zhanghao& w) { w.txt_pwd->setText("pw2"); },
         crlf({"olduser", made + "+pw2", "1", "0", legend})},
        {"both change the password: the later save counts", before, false,
         [](form_cansu& w) { w.txt_pwd->setText("pw3"); }, [](form_zhanghao& w) { w.txt_pwd->setText("pw2"); },
         crlf({"olduser", "pw3", "0", "0", legend})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        platform::setAppFolder(folder.path());
        folder.write("config.ovpn", crlf({"port  1194", "proto udp", "remote vpn.example.cn", "cipher none", "auth none"}));
        folder.write("pwd.txt", c.file);
        form_cansu& parameters = platform::showWindow<form_cansu>();
        form_zhanghao& account = open();
        c.parameters(parameters);
        c.account(account);
        if (c.parametersFirst) {
            parameters.cmd_ok_Click();
            account.cmd_ok_Click();
        } else {
            account.cmd_ok_Click();
            parameters.cmd_ok_Click();
        }
        EXPECT_EQ(fakes.boxes.boxes, (std::vector<FakeMessageBoxes::Box>{{c.parametersFirst ? u"保存成功！" : u"设置成功！", 64, u"提示"},
                                                                         {c.parametersFirst ? u"设置成功！" : u"保存成功！", 64, u"提示"}}));
        EXPECT_EQ(folder.read("pwd.txt"), c.written);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(platform::windowInstance<form_cansu>().isNull());
        EXPECT_FALSE(isOpen());
        fakes.boxes.boxes.clear();
    }
    platform::setAppFolder(t.path());
}

TEST_F(ZhanghaoTest, APwdTxtGoneBeforeTheSaveKeepsWhatTheWindowRead)
{
    t.write("pwd.txt", crlf({"u", code + "+P", "1", "1", legend}));
    form_zhanghao& w = open();
    w.txt_pwd->setText("Q");
    std::filesystem::remove(t / "pwd.txt");
    w.cmd_ok_Click();
    EXPECT_EQ(t.read("pwd.txt"), crlf({"u", code + "+Q", "1", "1", legend}));
}

TEST_F(ZhanghaoTest, CancelAndCloseBoxLeaveTheFile)
{
    const std::string file = crlf({"u", code + "+P", "1", "0", legend});
    t.write("pwd.txt", file);
    for (bool byButton : {true, false}) {
        form_zhanghao& w = open();
        w.txt_user->setText("other");
        if (byButton)
            QTest::mouseClick(w.Command1, Qt::LeftButton);
        else
            w.close();
        EXPECT_FALSE(isOpen());
        EXPECT_EQ(t.read("pwd.txt"), file);
    }
    EXPECT_TRUE(fakes.boxes.boxes.empty());
}

TEST_F(ZhanghaoTest, ALineBreakInAFieldWritesNothing)
{
    const std::string file = crlf({"u", code + "+P", "1", "0", legend});
    struct Case {
        const char* name;
        QString user, pwd;
        std::u16string field;
    } cases[] = {
        {"account", "u\n1", "P", u"用户名"},
        {"password", "u", "P\r\n0", u"密码"},
        {"a CR alone", "u", "P\r", u"密码"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        t.write("pwd.txt", file);
        form_zhanghao& w = open();
        w.txt_user->setText(c.user);
        w.txt_pwd->setText(c.pwd);
        w.cmd_ok_Click();
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
        EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告");
        EXPECT_NE(fakes.boxes.boxes[0].text.find(u"“" + c.field + u"”"), std::u16string::npos);
        EXPECT_EQ(t.read("pwd.txt"), file);
        EXPECT_TRUE(isOpen());
        w.close();
        isOpen();
        fakes.boxes.boxes.clear();
    }
}

TEST_F(ZhanghaoTest, AFileThatCannotBeWrittenIsReported)
{
    struct Case {
        const char* name;
        std::string file;
        QString password;
        bool readOnly;
    } cases[] = {
        {"read-only folder", crlf({"u", "P", "0", "0", legend}), QStringLiteral("new"), true},
        {"a password code page 936 cannot hold", crlf({"u", "P", "0", "0", legend}), QStringLiteral("\U0001F600"),
         false},
        // Bytes that are no code page 936 read back as characters it cannot hold.
        {"an account read from bytes that are no code page 936", "u\xFF\r\nP\r\n0\r\n0\r\n", QStringLiteral("new"),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        t.write("pwd.txt", c.file);
        form_zhanghao& w = open();
        w.txt_pwd->setText(c.password);
        {
            std::optional<platform::fakes::ReadOnlyFolder> readOnly;
            if (c.readOnly)
                readOnly.emplace(t.path());
            w.cmd_ok_Click();
        }
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
        EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告");
        EXPECT_NE(fakes.boxes.boxes[0].text.find(u"pwd.txt"), std::u16string::npos);
        EXPECT_EQ(fakes.boxes.boxes[0].text.find(u"无法写入文件") != std::u16string::npos, c.readOnly);
        EXPECT_EQ(fakes.boxes.boxes[0].text.find(u"无法保存的字符") != std::u16string::npos, !c.readOnly);
        EXPECT_EQ(t.read("pwd.txt"), c.file);
        EXPECT_TRUE(isOpen());
        fakes.boxes.boxes.clear();
        w.close();
        isOpen();
    }
}

TEST_F(ZhanghaoTest, PasswordMaskWhileTheFieldHasTheFocus)
{
    for (bool dravik : {true, false}) {
        config::setShowPasswordOnFocus(dravik);
        form_zhanghao& w = open();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        ASSERT_EQ(QApplication::focusWidget(), w.txt_user);
        EXPECT_EQ(w.txt_pwd->echoMode(), QLineEdit::Password);
        QTest::keyClick(w.txt_user, Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), w.txt_pwd);
        EXPECT_EQ(w.txt_pwd->echoMode(), dravik ? QLineEdit::Normal : QLineEdit::Password) << dravik;
        EXPECT_FALSE(w.txt_pwd->testAttribute(Qt::WA_InputMethodEnabled));
        QTest::keyClick(w.txt_pwd, Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), w.cmd_ok);
        EXPECT_EQ(w.txt_pwd->echoMode(), QLineEdit::Password) << dravik;
        w.close();
        isOpen();
    }
}

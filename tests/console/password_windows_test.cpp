// The console password file and the three windows that share it: login, password change
// and start at boot.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "console/form_gaimima.h"
#include "console/form_kaiji.h"
#include "console/form_login.h"
#include "console/form_zuye.h"
#include "console/logchange.h"
#include "console/password_file.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/temp_folder.h"
#include "support/windows.h"

using platform::fakes::FakeLauncher;
using platform::fakes::FakeMessageBoxes;
using testsupport::gbk;

namespace {

using testsupport::flushDeletes;
using testsupport::isLoaded;

const std::u16string autoStart = u"sc config OpenVPNService start= auto";
const std::u16string demandStart = u"sc config OpenVPNService start= demand";

const std::string pw25 = "abcdefghij0123456789XYZ!?";
const std::string pw20 = pw25.substr(0, 20);

template <class W>
void unload()
{
    delete platform::windowInstance<W>().data();
}

class PasswordWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setWindowsFolder(windows.path());
        platform::setAppFolder(app.path());
        logchange::AutoStartFlag = 0;
        fakes.wmi.setServiceRunning(0);
    }
    void TearDown() override
    {
        unload<console::form_login>();
        unload<console::form_gaimima>();
        unload<console::form_kaiji>();
        unload<console::form_zuye>();
        flushDeletes();
    }

    void writeFile(std::string_view bytes) { windows.write("kongzitai.txt", bytes); }
    std::string file() const { return windows.read("kongzitai.txt"); }

    console::form_login& login(const std::string& typed)
    {
        auto& w = platform::showWindow<console::form_login>();
        w.Text1->setText(QString::fromStdString(typed));
        return w;
    }

    platform::fakes::FakeServices fakes;
    testsupport::TempFolder windows;
    testsupport::TempFolder app;
};

TEST_F(PasswordWindows, FileReadsPasswordAndFlag)
{
    struct Case {
        const char* name;
        std::optional<std::string> bytes;
        std::u16string password;
        std::int16_t flag;
    } cases[] = {
        {"missing file: fresh installation", std::nullopt, u"", 0},
        {"empty file", "", u"", 0},
        {"line 2 missing", "secret\r\n", u"secret", 0},
        {"only the first 20 characters count", pw25 + "\r\n1\r\n", platform::text::fromUtf8(pw20), 1},
        {"line 2 read by its first character", "p\r\n21\r\n", u"p", 2},
        {"non-digit flag", "p\r\nx\r\n", u"p", 0},
        {"further lines ignored", "p\r\n0\r\n1\r\n", u"p", 0},
        {"code page 936", gbk("密码一二三\r\n1\r\n"), u"密码一二三", 1},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(windows / "kongzitai.txt");
        if (c.bytes)
            writeFile(*c.bytes);
        const auto content = console::password_file::read();
        ASSERT_TRUE(content) << c.name;
        EXPECT_EQ(content->password, c.password) << c.name;
        EXPECT_EQ(console::password_file::flagValue(content->flag), c.flag) << c.name;
    }
}

TEST_F(PasswordWindows, LoginAcceptsStoredOrMasterPassword)
{
    struct Case {
        const char* name;
        std::optional<std::string> file;
        std::string typed;
        bool accepted;
    } cases[] = {
        {"stored password", "secret\r\n0\r\n", "secret", true},
        {"comparison is case-sensitive", "secret\r\n0\r\n", "Secret", false},
        {"first 20 of a 25-character line 1", pw25 + "\r\n0\r\n", pw20, true},
        {"the whole 25 characters", pw25 + "\r\n0\r\n", pw25, false},
        {"empty line 1, empty field", "\r\n0\r\n", "", true},
        {"master password whatever line 1 holds", "secret\r\n0\r\n", "tazvomir", true},
        {"master password is case-sensitive", "secret\r\n0\r\n", "Tazvomir", false},
        {"missing file, empty field", std::nullopt, "", true},
        {"missing file, master password", std::nullopt, "tazvomir", true},
        {"missing file, some password", std::nullopt, "secret", false},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(windows / "kongzitai.txt");
        if (c.file)
            writeFile(*c.file);
        fakes.boxes.boxes.clear();
        fakes.launcher.launches.clear();

        login(c.typed).cmd_ok_Click();

        if (c.accepted) {
            EXPECT_TRUE(fakes.boxes.boxes.empty()) << c.name;
            EXPECT_FALSE(isLoaded<console::form_login>()) << c.name;
            ASSERT_TRUE(isLoaded<console::form_zuye>()) << c.name;
            EXPECT_TRUE(platform::windowInstance<console::form_zuye>()->isVisible()) << c.name;
        } else {
            EXPECT_EQ(fakes.boxes.boxes, (std::vector<FakeMessageBoxes::Box>{{u"密码错误", 64, u"警告"}})) << c.name;
            EXPECT_TRUE(fakes.launcher.launches.empty()) << c.name;
            ASSERT_TRUE(isLoaded<console::form_login>()) << c.name;
            EXPECT_TRUE(platform::windowInstance<console::form_login>()->isVisible()) << c.name;
            EXPECT_TRUE(platform::windowInstance<console::form_login>()->Text1->text().isEmpty()) << c.name;
        }
        EXPECT_EQ(file(), c.file.value_or("<missing>")) << c.name << ": the login writes nothing";
        unload<console::form_login>();
        unload<console::form_zuye>();
    }
}

TEST_F(PasswordWindows, LoginAppliesTheBootFlagOfLine2)
{
    struct Case {
        std::string line2;
        std::u16string command;
        std::int16_t flag;
        bool boxChecked;
    } cases[] = {
        {"1", autoStart, 1, true},     {"0", demandStart, 0, false}, {"", demandStart, 0, false},
        {"x1", demandStart, 0, false}, {"2", demandStart, 2, false}, {"10", autoStart, 1, true},
    };
    for (const auto& c : cases) {
        writeFile("pw\r\n" + c.line2 + "\r\n");
        fakes.launcher.launches.clear();
        logchange::AutoStartFlag = 7;

        login("pw").cmd_ok_Click();

        EXPECT_EQ(fakes.launcher.launches, (std::vector<FakeLauncher::Launch>{{c.command, 0}})) << c.line2;
        EXPECT_EQ(logchange::AutoStartFlag, c.flag) << c.line2;
        auto& kaiji = platform::showWindow<console::form_kaiji>();
        EXPECT_EQ(kaiji.check_kaiji->isChecked(), c.boxChecked) << c.line2;
        unload<console::form_kaiji>();
        unload<console::form_zuye>();
    }
}

TEST_F(PasswordWindows, WrongLoginEmptiesAndFocusesTheFieldForAnyNumberOfRetries)
{
    writeFile("secret\r\n1\r\n");
    auto& w = login("");
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    for (const char* wrong : {"a", "secreT", "secret "}) {
        w.Text1->setText(wrong);
        w.cmd_ok->setFocus();
        QTest::mouseClick(w.cmd_ok, Qt::LeftButton);
        EXPECT_TRUE(w.Text1->text().isEmpty()) << wrong;
        EXPECT_TRUE(w.Text1->hasFocus()) << wrong;
    }
    EXPECT_EQ(fakes.boxes.boxes.size(), 3u);
    EXPECT_TRUE(fakes.launcher.launches.empty());

    w.Text1->setText("secret");
    QTest::mouseClick(w.cmd_ok, Qt::LeftButton);
    EXPECT_FALSE(isLoaded<console::form_login>());
    EXPECT_EQ(fakes.launcher.commandLines(), std::vector<std::u16string>{autoStart});
}

TEST_F(PasswordWindows, EnterInThePasswordFieldConfirms)
{
    writeFile("secret\r\n0\r\n");
    auto& w = login("");
    QTest::keyClicks(w.Text1, "wrong");
    EXPECT_TRUE(fakes.boxes.boxes.empty()) << "typing alone confirms nothing";
    QTest::keyClick(w.Text1, Qt::Key_Return);
    EXPECT_EQ(fakes.boxes.boxes.size(), 1u);

    QTest::keyClicks(w.Text1, "secret");
    QTest::keyClick(w.Text1, Qt::Key_Enter);
    EXPECT_FALSE(isLoaded<console::form_login>());
    EXPECT_TRUE(isLoaded<console::form_zuye>());
}

TEST_F(PasswordWindows, ShowPasswordLabelTogglesTheMask)
{
    auto& w = login("secret");
    EXPECT_EQ(w.Text1->echoMode(), QLineEdit::Password);
    QTest::mouseClick(w.Label2, Qt::LeftButton);
    EXPECT_EQ(w.Text1->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(w.Text1->displayText(), "secret");
    QTest::mouseClick(w.Label2, Qt::LeftButton);
    EXPECT_EQ(w.Text1->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w.Text1->text(), "secret");
}

TEST_F(PasswordWindows, LoginEndsTheProgramOnExitOrWhenAnotherCopyRuns)
{
    auto& w = login("");
    EXPECT_FALSE(fakes.program.ended());
    QTest::mouseClick(w.cmdexit, Qt::LeftButton);
    EXPECT_TRUE(fakes.program.ended());
    unload<console::form_login>();

    fakes.program.ends.clear();
    fakes.instances.another = true;
    platform::loadWindow<console::form_login>();
    EXPECT_TRUE(fakes.program.ended());
}

struct ChangeCase {
    const char* name;
    std::string stored;
    std::string old, fresh, renew;
    std::u16string message, title;
    // The fields after the box.
    std::string oldAfter, freshAfter, renewAfter;
};

TEST_F(PasswordWindows, PasswordChangeChecksInOrder)
{
    const ChangeCase cases[] = {
        {"wrong current password", "secret\r\n0\r\n", "nope", "n", "n", u"原密码输入错误，请检查！", u"警告", "", "n", "n"},
        {"wrong current and empty new: only the first check", "secret\r\n0\r\n", "nope", "", "", u"原密码输入错误，请检查！",
         u"警告", "", "", ""},
        {"master password is not the current one", "secret\r\n0\r\n", "tazvomir", "n", "n", u"原密码输入错误，请检查！",
         u"警告", "", "n", "n"},
        {"whole 25 characters are not the current one", pw25 + "\r\n0\r\n", pw25, "n", "n", u"原密码输入错误，请检查！",
         u"警告", "", "n", "n"},
        {"empty new password", "secret\r\n0\r\n", "secret", "", "x", u"新密码不可为空", u"警告", "secret", "", "x"},
        {"confirmation differs", "secret\r\n0\r\n", "secret", "new1", "new2", u"新密码和确认密码输入不一致，请重输！",
         u"提示", "secret", "", ""},
        {"confirmation differs in case", "secret\r\n0\r\n", "secret", "New", "new", u"新密码和确认密码输入不一致，请重输！",
         u"提示", "secret", "", ""},
    };
    for (const auto& c : cases) {
        writeFile(c.stored);
        fakes.boxes.boxes.clear();
        auto& w = platform::showWindow<console::form_gaimima>();
        w.txt_old->setText(QString::fromStdString(c.old));
        w.txt_new->setText(QString::fromStdString(c.fresh));
        w.txt_renew->setText(QString::fromStdString(c.renew));

        w.cmd_ok_Click();

        EXPECT_EQ(fakes.boxes.boxes, (std::vector<FakeMessageBoxes::Box>{{c.message, 64, c.title}})) << c.name;
        EXPECT_EQ(w.txt_old->text().toStdString(), c.oldAfter) << c.name;
        EXPECT_EQ(w.txt_new->text().toStdString(), c.freshAfter) << c.name;
        EXPECT_EQ(w.txt_renew->text().toStdString(), c.renewAfter) << c.name;
        EXPECT_TRUE(isLoaded<console::form_gaimima>()) << c.name;
        EXPECT_EQ(file(), c.stored) << c.name;
        unload<console::form_gaimima>();
    }
}

TEST_F(PasswordWindows, PasswordChangeFocusesTheFieldToRetype)
{
    writeFile("secret\r\n0\r\n");
    auto& w = platform::showWindow<console::form_gaimima>();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.txt_old->setText("wrong");
    w.txt_renew->setFocus();
    w.cmd_ok_Click();
    EXPECT_TRUE(w.txt_old->hasFocus());

    w.txt_old->setText("secret");
    w.txt_renew->setFocus();
    w.cmd_ok_Click();
    EXPECT_TRUE(w.txt_new->hasFocus()) << "empty new password";

    w.txt_new->setText("a");
    w.txt_renew->setText("b");
    w.txt_old->setFocus();
    w.cmd_ok_Click();
    EXPECT_TRUE(w.txt_old->hasFocus()) << "a mismatch leaves the focus where it is";
}

TEST_F(PasswordWindows, PasswordChangeRewritesBothLines)
{
    struct Case {
        const char* name;
        std::optional<std::string> stored;
        std::string old, fresh;
    } cases[] = {
        {"line 2 becomes 1 even when it was 0", "secret\r\n0\r\nextra\r\n", "secret", "neu"},
        {"current password is the first 20 of line 1", pw25 + "\r\n0\r\n", pw20, "x"},
        {"empty line 1", "\r\n0\r\n", "", "x"},
        {"missing file: the empty password sets the first one", std::nullopt, "", "first"},
        {"code page 936", "secret\r\n0\r\n", "secret", "新密码"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(windows / "kongzitai.txt");
        if (c.stored)
            writeFile(*c.stored);
        fakes.boxes.boxes.clear();
        std::string fileAtBox;
        fakes.boxes.onShow = [&](const FakeMessageBoxes::Box&) { fileAtBox = file(); };
        auto& w = platform::showWindow<console::form_gaimima>();
        w.txt_old->setText(QString::fromStdString(c.old));
        w.txt_new->setText(QString::fromStdString(c.fresh));
        w.txt_renew->setText(QString::fromStdString(c.fresh));

        QTest::mouseClick(w.cmd_ok, Qt::LeftButton);

        const std::string expected = gbk(c.fresh) + "\r\n1\r\n";
        EXPECT_EQ(fakes.boxes.boxes, (std::vector<FakeMessageBoxes::Box>{{u"设置成功！", 64, u"提示"}})) << c.name;
        EXPECT_EQ(fileAtBox, expected) << c.name << ": complete before the box";
        EXPECT_EQ(file(), expected) << c.name;
        EXPECT_FALSE(isLoaded<console::form_gaimima>()) << c.name;
        struct stat st {};
        ASSERT_EQ(::stat((windows / "kongzitai.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << c.name;
    }
}

TEST_F(PasswordWindows, ALongNewPasswordCountsByItsFirst20Characters)
{
    writeFile("secret\r\n0\r\n");
    auto& w = platform::showWindow<console::form_gaimima>();
    w.txt_old->setText("secret");
    w.txt_new->setText(QString::fromStdString(pw25));
    w.txt_renew->setText(QString::fromStdString(pw25));
    w.cmd_ok_Click();
    ASSERT_EQ(file(), pw25 + "\r\n1\r\n");

    login(pw25).cmd_ok_Click();
    EXPECT_EQ(fakes.boxes.boxes.back(), (FakeMessageBoxes::Box{u"密码错误", 64, u"警告"}));
    unload<console::form_login>();
    login(pw20).cmd_ok_Click();
    EXPECT_FALSE(isLoaded<console::form_login>());

    auto& again = platform::showWindow<console::form_gaimima>();
    again.txt_old->setText(QString::fromStdString(pw20));
    again.txt_new->setText("x");
    again.txt_renew->setText("x");
    again.cmd_ok_Click();
    EXPECT_EQ(file(), "x\r\n1\r\n");
}

TEST_F(PasswordWindows, PasswordChangeThatCannotBeWrittenWarnsAndKeepsTheWindow)
{
    writeFile("secret\r\n0\r\n");
    platform::fakes::ReadOnlyFolder readOnly(windows.path());
    auto& w = platform::showWindow<console::form_gaimima>();
    w.txt_old->setText("secret");
    w.txt_new->setText("neu");
    w.txt_renew->setText("neu");

    w.cmd_ok_Click();

    ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
    EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告");
    EXPECT_NE(fakes.boxes.boxes[0].text.find(console::password_file::displayPath()), std::u16string::npos);
    EXPECT_EQ(file(), "secret\r\n0\r\n");
    ASSERT_TRUE(isLoaded<console::form_gaimima>());
    EXPECT_EQ(w.txt_old->text(), "secret");
    EXPECT_EQ(w.txt_new->text(), "neu");
    EXPECT_EQ(w.txt_renew->text(), "neu");
}

TEST_F(PasswordWindows, PasswordWindowExitWritesNothing)
{
    writeFile("secret\r\n0\r\n");
    auto& w = platform::showWindow<console::form_gaimima>();
    w.txt_old->setText("secret");
    w.txt_new->setText("neu");
    w.txt_renew->setText("neu");
    QTest::mouseClick(w.cmd_exit, Qt::LeftButton);
    EXPECT_FALSE(isLoaded<console::form_gaimima>());
    EXPECT_EQ(file(), "secret\r\n0\r\n");
    EXPECT_TRUE(fakes.boxes.boxes.empty());
}

TEST_F(PasswordWindows, BootWindowOpensWithTheFlagOfThisRun)
{
    writeFile("pw\r\n1\r\n");
    for (std::int16_t flag : {0, 1, 2}) {
        logchange::AutoStartFlag = flag;
        auto& w = platform::showWindow<console::form_kaiji>();
        EXPECT_EQ(w.check_kaiji->isChecked(), flag == 1) << "flag " << flag << ", line 2 does not count";
        unload<console::form_kaiji>();
    }
}

TEST_F(PasswordWindows, BootSaveRunsTheCommandAndRecordsTheFlag)
{
    struct Case {
        const char* name;
        std::optional<std::string> stored;
        bool checked;
        std::u16string command;
        std::string expected;
    } cases[] = {
        {"checked", "pw\r\n0\r\n", true, autoStart, "pw\r\n1\r\n"},
        {"unchecked", "pw\r\n1\r\n", false, demandStart, "pw\r\n0\r\n"},
        {"missing file", std::nullopt, false, demandStart, "\r\n0\r\n"},
        {"line 1 cut to its first 20 characters", pw25 + "\r\n0\r\nmore\r\n", true, autoStart, pw20 + "\r\n1\r\n"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(windows / "kongzitai.txt");
        if (c.stored)
            writeFile(*c.stored);
        fakes.launcher.launches.clear();
        logchange::AutoStartFlag = c.checked ? 0 : 1;
        auto& w = platform::showWindow<console::form_kaiji>();
        w.check_kaiji->setChecked(c.checked);

        QTest::mouseClick(w.Command1, Qt::LeftButton);

        EXPECT_EQ(fakes.launcher.launches, (std::vector<FakeLauncher::Launch>{{c.command, 0}})) << c.name;
        EXPECT_EQ(logchange::AutoStartFlag, c.checked ? 1 : 0) << c.name;
        EXPECT_EQ(file(), c.expected) << c.name;
        EXPECT_FALSE(isLoaded<console::form_kaiji>()) << c.name;
        EXPECT_TRUE(fakes.boxes.boxes.empty()) << c.name;
    }

    // The last case cut line 1; the login still takes the same typed password.
    login(pw20).cmd_ok_Click();
    EXPECT_FALSE(isLoaded<console::form_login>());
}

TEST_F(PasswordWindows, BootSaveThatCannotBeWrittenWarnsAndKeepsTheWindow)
{
    writeFile("pw\r\n0\r\n");
    platform::fakes::ReadOnlyFolder readOnly(windows.path());
    auto& w = platform::showWindow<console::form_kaiji>();
    w.check_kaiji->setChecked(true);

    w.Command1_Click();

    EXPECT_EQ(fakes.launcher.commandLines(), std::vector<std::u16string>{autoStart});
    ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
    EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告");
    EXPECT_NE(fakes.boxes.boxes[0].text.find(console::password_file::displayPath()), std::u16string::npos);
    EXPECT_EQ(file(), "pw\r\n0\r\n");
    EXPECT_TRUE(isLoaded<console::form_kaiji>());
}

} // namespace

namespace {

// A console password file that is there but cannot be read, in the ways root cannot
// read one either (permission bits do not stop root).
struct Unreadable {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;
};

std::vector<Unreadable> unreadableFiles()
{
    std::vector<Unreadable> kinds = {
        {"a folder", [](const std::filesystem::path& p) { std::filesystem::create_directory(p); }},
        {"a link to nothing", [](const std::filesystem::path& p) { std::filesystem::create_symlink(p.string() + ".gone", p); }},
        {"a link to a folder", [](const std::filesystem::path& p) {
             std::filesystem::create_directory(p.string() + ".dir");
             std::filesystem::create_symlink(p.string() + ".dir", p);
         }},
        {"a FIFO", [](const std::filesystem::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
    };
    if (::geteuid() != 0)
        kinds.push_back({"no permission", [](const std::filesystem::path& p) {
                             std::ofstream(p) << "secret\r\n1\r\n";
                             std::filesystem::permissions(p, std::filesystem::perms::none);
                         }});
    return kinds;
}

} // namespace

TEST_F(PasswordWindows, AFileThatCannotBeReadIsNoFreshInstallation)
{
    for (const auto& kind : unreadableFiles()) {
        SCOPED_TRACE(kind.name);
        const auto path = windows / "kongzitai.txt";
        std::filesystem::remove_all(path);
        kind.make(path);
        EXPECT_FALSE(console::password_file::read());

        auto warned = [&](std::u16string_view refused) {
            EXPECT_EQ(fakes.boxes.boxes.size(), 1u);
            if (fakes.boxes.boxes.empty())
                return;
            const auto& box = fakes.boxes.boxes[0];
            EXPECT_EQ(box.title, u"警告");
            EXPECT_NE(box.text.find(u"无法读取文件 " + console::password_file::displayPath()), std::u16string::npos);
            EXPECT_NE(box.text.find(refused), std::u16string::npos);
            fakes.boxes.boxes.clear();
        };
        // Whatever stands there stays: a rewrite would put a new regular file in its place.
        const auto kindBefore = std::filesystem::symlink_status(path).type();
        auto untouched = [&] {
            EXPECT_EQ(std::filesystem::symlink_status(path).type(), kindBefore);
            if (kindBefore == std::filesystem::file_type::regular) {
                EXPECT_EQ(std::filesystem::file_size(path), std::string("secret\r\n1\r\n").size());
            }
            EXPECT_TRUE(fakes.launcher.launches.empty());
            EXPECT_EQ(logchange::AutoStartFlag, 0);
        };

        // Neither the empty password nor the master password opens the console.
        for (const char* typed : {"", "tazvomir"}) {
            login(typed).cmd_ok_Click();
            warned(u"无法登录！");
            EXPECT_TRUE(isLoaded<console::form_login>());
            EXPECT_FALSE(isLoaded<console::form_zuye>());
            untouched();
            unload<console::form_login>();
        }

        auto& change = platform::showWindow<console::form_gaimima>();
        change.txt_new->setText("x");
        change.txt_renew->setText("x");
        change.cmd_ok_Click();
        warned(u"密码未修改！");
        EXPECT_TRUE(isLoaded<console::form_gaimima>());
        untouched();
        unload<console::form_gaimima>();

        auto& boot = platform::showWindow<console::form_kaiji>();
        boot.check_kaiji->setChecked(true);
        boot.Command1_Click();
        warned(u"设置未保存！");
        EXPECT_TRUE(isLoaded<console::form_kaiji>());
        untouched();
        unload<console::form_kaiji>();
    }
}

TEST_F(PasswordWindows, PasswordChangeRefusesALineBreak)
{
    struct Case {
        const char* name;
        QString fresh, renew;
        std::u16string field;
    } cases[] = {
        {"pasted into both", "ab\n1", "ab\n1", u"新密码"},
        {"CR LF", "ab\r\n1", "ab\r\n1", u"新密码"},
        {"a CR alone", "ab\r", "ab\r", u"新密码"},
        {"only in the confirmation", "ab", "ab\n1", u"确认密码"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("secret\r\n0\r\n");
        fakes.boxes.boxes.clear();
        auto& w = platform::showWindow<console::form_gaimima>();
        w.txt_old->setText("secret");
        w.txt_new->setText(c.fresh);
        w.txt_renew->setText(c.renew);

        w.cmd_ok_Click();

        ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
        EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告");
        EXPECT_EQ(fakes.boxes.boxes[0].text, u"“" + c.field + u"”中不能有换行，密码未修改！");
        EXPECT_EQ(file(), "secret\r\n0\r\n");
        EXPECT_TRUE(isLoaded<console::form_gaimima>());
        EXPECT_EQ(w.txt_new->text(), c.fresh) << "the fields stay for the user to mend";
        unload<console::form_gaimima>();
    }
}
TEST_F(PasswordWindows, ACharacterThatCannotBeSavedIsToldApartFromAFileThatCannotBeWritten)
{
    // A new password that code page 936 cannot hold.
    writeFile("secret\r\n0\r\n");
    auto& change = platform::showWindow<console::form_gaimima>();
    change.txt_old->setText("secret");
    change.txt_new->setText(QStringLiteral("neu\U0001F600"));
    change.txt_renew->setText(QStringLiteral("neu\U0001F600"));
    change.cmd_ok_Click();
    ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
    EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告");
    EXPECT_EQ(fakes.boxes.boxes[0].text, u"新密码中含有无法保存的字符，密码未修改！");
    EXPECT_EQ(file(), "secret\r\n0\r\n");
    EXPECT_TRUE(isLoaded<console::form_gaimima>());
    fakes.boxes.boxes.clear();

    // A stored password whose bytes are no code page 936: the boot save cannot write it back.
    writeFile("pw\xFF\r\n0\r\n");
    auto& boot = platform::showWindow<console::form_kaiji>();
    boot.check_kaiji->setChecked(true);
    boot.Command1_Click();
    ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
    EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告");
    EXPECT_EQ(fakes.boxes.boxes[0].text,
              u"文件 " + console::password_file::displayPath() + u" 中的密码含有无法保存的字符！");
    EXPECT_EQ(file(), "pw\xFF\r\n0\r\n");
    EXPECT_TRUE(isLoaded<console::form_kaiji>());
}

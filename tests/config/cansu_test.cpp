// The parameter window: how it opens and saves config.ovpn and pwd.txt, and what it refuses.
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/form_cansu.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

using config::form_cansu;
using platform::fakes::FakeMessageBoxes;
using testsupport::gbk;
using testsupport::TempFolder;

namespace {

const std::u16string cimv2 = u"winmgmts:\\\\.\\root\\cimv2";
const char* const code = "DBA2A53A888B75EDF0FA1EF67D5990FA"; // of BFEBFBFF000906EA S1 S2 001A2B3C4D5E
const char* const legend = "第一行：帐号；第二行：密码；第三行：硬件绑定；第四行：动态口令";

std::string crlf(std::initializer_list<std::string> lines)
{
    std::string out;
    for (const auto& l : lines)
        out += gbk(l) + "\r\n";
    return out;
}

struct Input {
    QString server = QStringLiteral("vpn.example.cn"), port = QStringLiteral("1194"), proto = QStringLiteral("UDP");
    QString cipher = {}, digest = {};
    QString user = QStringLiteral("zhang"), pwd = QStringLiteral("secret");
    bool hard = false, otp = false;
};

class CansuTest : public ::testing::Test {
protected:
    TempFolder t;
    platform::fakes::FakeServices fakes;

    void SetUp() override
    {
        platform::setAppFolder(t.path());
        using platform::WmiAnswer;
        using platform::WmiObject;
        using platform::WmiProperty;
        fakes.wmi.answer(cimv2, u"Select * from Win32_Processor",
                         WmiAnswer{{WmiObject{{{u"ProcessorId", WmiProperty::of(u"BFEBFBFF000906EA")}}}}});
        fakes.wmi.answer(cimv2, u"Select * from Win32_BaseBoard",
                         WmiAnswer{{WmiObject{{{u"SerialNumber", WmiProperty::of(u"S1")}}},
                                    WmiObject{{{u"SerialNumber", WmiProperty::of(u"S2")}}}}});
        fakes.wmi.answer(u"winmgmts:",
                         u"SELECT MACAddress FROM Win32_NetworkAdapter WHERE ((MACAddress Is Not NULL) AND "
                         u"(Manufacturer  <>  'Microsoft'))",
                         WmiAnswer{{WmiObject{{{u"MACAddress", WmiProperty::of(u"00:1A:2B:3C:4D:5E")}}}}});
    }

    void TearDown() override
    {
        closeWindow();
    }

    form_cansu& open() { return platform::showWindow<form_cansu>(); }

    // The window as the small-window rule leaves it: gone once it has closed.
    bool isOpen()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !platform::windowInstance<form_cansu>().isNull();
    }

    void closeWindow()
    {
        if (auto& w = platform::windowInstance<form_cansu>())
            w->close();
        isOpen();
    }

    static void fill(form_cansu& w, const Input& in)
    {
        w.txt_server->setText(in.server);
        w.txt_port->setText(in.port);
        w.comb_proto->setEditText(in.proto);
        w.comb_cipher->setEditText(in.cipher);
        w.comb_auth->setEditText(in.digest);
        w.txt_user->setText(in.user);
        w.txt_pwd->setText(in.pwd);
        w.hard_check->setChecked(in.hard);
        w.otp_check->setChecked(in.otp);
    }

    void writeOldFiles()
    {
        t.write("config.ovpn", "old config\r\n");
        t.write("pwd.txt", "old pwd\r\n");
    }

    void expectOldFiles()
    {
        EXPECT_EQ(t.read("config.ovpn"), "old config\r\n");
        EXPECT_EQ(t.read("pwd.txt"), "old pwd\r\n");
    }
};

std::string middle(bool otp)
{
    std::string out = crlf({"client", "dev tap", ";remote-random", "script-security 3", "float", "resolv-retry infinite",
                            "nobind"});
    if (otp)
        out += "reneg-sec 0\r\n";
    out += crlf({"persist-key", "persist-tun", "comp-lzo adaptive", "route-method exe", "route-delay 2", "verb 1",
                 "mute 2", "ca ca.crt", "status-version 2", "status status", "ping 10", "ping-restart 60"});
    out += otp ? "auth-user-pass \r\n" : "auth-user-pass pwd.txt\r\n";
    return out;
}

} // namespace

TEST_F(CansuTest, SaveWritesBothFilesExactly)
{
    struct Case {
        const char* name;
        Input in;
        std::string config, pwd;
    } cases[] = {
        {"defaults, no switch: 25 lines",
         {.cipher = "默认", .digest = "默认"},
         crlf({"port  1194", "proto udp", "remote vpn.example.cn", "cipher none", "auth none"}) + middle(false),
         crlf({"zhang", "secret", "0", "0", legend})},
        {"AES, SHA1, dynamic password and binding: 26 lines",
         {.proto = "TCP", .cipher = "AES", .digest = "SHA1", .hard = true, .otp = true},
         crlf({"port  1194", "proto tcp", "remote vpn.example.cn", "cipher AES-128-CBC", "auth sha1"}) + middle(true),
         crlf({"zhang", std::string(code) + "+secret", "1", "1", legend})},
        {"a cipher in another case writes no cipher line; leading zeros dropped",
         {.port = "0443", .cipher = "aes", .digest = "MD5", .hard = true},
         crlf({"port  443", "proto udp", "remote vpn.example.cn", "auth md5"}) + middle(false),
         crlf({"zhang", std::string(code) + "+secret", "1", "0", legend})},
        {"typed names match nothing; empty protocol; Chinese account",
         {.proto = "", .cipher = "BF-CBC", .digest = "sha1", .user = "张三", .pwd = "", .otp = true},
         crlf({"port  1194", "proto ", "remote vpn.example.cn"}) + middle(true),
         crlf({"张三", "", "0", "1", legend})},
        {"the last entries", {.cipher = "SM4-128-CBC", .digest = "SM3"},
         crlf({"port  1194", "proto udp", "remote vpn.example.cn", "cipher sm4-cbc", "auth sm3"}) + middle(false),
         crlf({"zhang", "secret", "0", "0", legend})},
    };
    for (const auto& c : cases) {
        form_cansu& w = open();
        fill(w, c.in);
        fakes.boxes.onShow = [&](const FakeMessageBoxes::Box&) {
            // Both files are complete when the user is told so.
            EXPECT_EQ(t.read("config.ovpn"), c.config) << c.name;
            EXPECT_EQ(t.read("pwd.txt"), c.pwd) << c.name;
        };
        QTest::mouseClick(w.cmd_ok, Qt::LeftButton);
        fakes.boxes.onShow = nullptr;
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u) << c.name;
        EXPECT_EQ(fakes.boxes.boxes[0], (FakeMessageBoxes::Box{u"保存成功！", 64, u"提示"})) << c.name;
        EXPECT_FALSE(isOpen()) << c.name;
        struct stat st {};
        ASSERT_EQ(::stat((t / "pwd.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << "pwd.txt holds a password";
        fakes.boxes.boxes.clear();
    }
}

TEST_F(CansuTest, ReopeningShowsWhatWasSaved)
{
    struct Case {
        const char* name;
        Input in;
        QString proto, hardinfo;
    } cases[] = {
        {"binding on", {.cipher = "BLOWFISH", .digest = "MD5", .hard = true}, "udp", code},
        {"binding off, dynamic password on", {.proto = "TCP", .cipher = "默认", .digest = "SM3", .otp = true}, "tcp", ""},
        {"values beyond the old limits",
         {.server = "a-server-name-of-more-than-20.example.com", .cipher = "AES", .digest = "SHA1",
          .user = "an-account-name-longer-than-20", .pwd = "a+password+", .hard = true},
         "udp", code},
        {"a password holding + without binding", {.cipher = "AES", .digest = "SHA1", .pwd = "+a+b"}, "udp", ""},
        {"an empty password with binding", {.cipher = "AES", .digest = "SHA1", .pwd = "", .hard = true}, "udp", code},
        {"binding off, a password that begins with a code and +",
         {.cipher = "AES", .digest = "SHA1", .pwd = QString(code) + "+tail"}, "udp", ""},
        {"binding on, a password that begins with a code and +",
         {.cipher = "AES", .digest = "SHA1", .pwd = QString(code) + "+tail", .hard = true}, "udp", code},
    };
    for (const auto& c : cases) {
        fill(open(), c.in);
        open().cmd_ok_Click();
        ASSERT_FALSE(isOpen()) << c.name;
        form_cansu& w = open();
        EXPECT_EQ(w.txt_server->text(), c.in.server) << c.name;
        EXPECT_EQ(w.txt_port->text(), c.in.port) << c.name;
        EXPECT_EQ(w.comb_proto->currentText(), c.proto) << c.name;
        EXPECT_EQ(w.comb_cipher->currentText(), c.in.cipher) << c.name;
        EXPECT_EQ(w.comb_auth->currentText(), c.in.digest) << c.name;
        EXPECT_EQ(w.txt_user->text(), c.in.user) << c.name;
        EXPECT_EQ(w.txt_pwd->text(), c.in.pwd) << c.name;
        EXPECT_EQ(w.hardinfo->text(), c.hardinfo) << c.name;
        EXPECT_EQ(w.hard_check->isChecked(), c.in.hard) << c.name;
        EXPECT_EQ(w.otp_check->isChecked(), c.in.otp) << c.name;
        // Saving what was read back writes the same files again.
        std::string config = t.read("config.ovpn"), pwd = t.read("pwd.txt");
        w.cmd_ok_Click();
        EXPECT_EQ(t.read("config.ovpn"), config) << c.name;
        EXPECT_EQ(t.read("pwd.txt"), pwd) << c.name;
        ASSERT_FALSE(isOpen());
    }
}

TEST_F(CansuTest, OpensFromFilesAsTheyAre)
{
    struct Case {
        const char* name;
        std::optional<std::string> config, pwd;
        QString port, proto, server, cipher, digest, user, pwdText, hardinfo;
        bool hard, otp;
    } cases[] = {
        {"no files: both boxes on", {}, {}, "", "", "", "", "", "", "", "", true, true},
        {"cipher line missing: both lists empty",
         crlf({"port  1194", "proto udp", "remote 10.0.0.1", "auth md5", "client"}), crlf({"u", "p", "0", "0"}),
         "1194", "udp", "10.0.0.1", "", "", "u", "p", "", false, false},
        {"digest line missing: only the digest list empty",
         crlf({"port  1194", "proto tcp", "remote h", "cipher BF-CBC", "client"}), crlf({"u", "p", "2", "1"}),
         "1194", "tcp", "h", "BLOWFISH", "", "u", "p", "", false, true},
        {"a file of old: leading zeros kept as read, code and password",
         crlf({"port  01194", "proto udp", "remote h"}),
         crlf({"u", std::string(code) + "+p", "1", ""}), "01194", "udp", "h", "", "", "u", "p", code, true, true},
        {"short credentials: missing lines 3 and 4 turn the boxes on", {}, crlf({"u"}), "", "", "", "", "", "u", "",
         "", true, true},
        {"binding off: line 2 is the password whole", {}, crlf({"u", std::string(code) + "+p", "0", "0"}), "", "", "",
         "", "", "u", QString(code) + "+p", "", false, false},
        {"flags that are no numbers turn the boxes on", {}, crlf({"u", "p", "x", " 0 "}), "", "", "", "", "", "u", "p",
         "", true, false},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        platform::setAppFolder(folder.path());
        if (c.config)
            folder.write("config.ovpn", *c.config);
        if (c.pwd)
            folder.write("pwd.txt", *c.pwd);
        form_cansu& w = open();
        EXPECT_EQ(w.txt_port->text(), c.port) << c.name;
        EXPECT_EQ(w.comb_proto->currentText(), c.proto) << c.name;
        EXPECT_EQ(w.txt_server->text(), c.server) << c.name;
        EXPECT_EQ(w.comb_cipher->currentText(), c.cipher) << c.name;
        EXPECT_EQ(w.comb_auth->currentText(), c.digest) << c.name;
        EXPECT_EQ(w.txt_user->text(), c.user) << c.name;
        EXPECT_EQ(w.txt_pwd->text(), c.pwdText) << c.name;
        EXPECT_EQ(w.hardinfo->text(), c.hardinfo) << c.name;
        EXPECT_EQ(w.hard_check->isChecked(), c.hard) << c.name;
        EXPECT_EQ(w.otp_check->isChecked(), c.otp) << c.name;
        EXPECT_EQ(w.comb_cipher->count(), 4) << c.name;
        EXPECT_EQ(w.comb_proto->itemText(1), "TCP");
        EXPECT_EQ(w.comb_auth->itemText(3), "SM3");
        closeWindow();
    }
    platform::setAppFolder(t.path());
}

TEST_F(CansuTest, TypedListTextIsTakenAsTyped)
{
    form_cansu& w = open();
    fill(w, {.cipher = "", .digest = "默认"});
    w.comb_cipher->lineEdit()->setFocus();
    QTest::keyClicks(w.comb_cipher->lineEdit(), "aes");
    QTest::keyClick(w.comb_cipher->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(w.comb_cipher->currentText(), "aes");
    w.cmd_ok_Click();
    EXPECT_TRUE(t.read("config.ovpn").starts_with("port  1194\r\nproto udp\r\nremote vpn.example.cn\r\nauth none\r\nclient\r\n"))
        << t.read("config.ovpn");
}

TEST_F(CansuTest, EnteringOneSwitchTurnsTheOtherOff)
{
    form_cansu& w = open();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), w.txt_server);

    // By mouse: the focus comes first and turns the other box off, then the click ticks this one.
    w.hard_check->setChecked(false);
    w.otp_check->setChecked(true);
    QTest::mouseClick(w.hard_check, Qt::LeftButton);
    EXPECT_TRUE(w.hard_check->isChecked());
    EXPECT_FALSE(w.otp_check->isChecked());

    // By keyboard: hard_check, then otp_check in the tab order.
    w.otp_check->setChecked(true);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), w.otp_check);
    EXPECT_FALSE(w.hard_check->isChecked());
    EXPECT_TRUE(w.otp_check->isChecked());

    // Clicking the box that holds the focus turns nothing off.
    w.hard_check->setChecked(true);
    QTest::mouseClick(w.otp_check, Qt::LeftButton);
    EXPECT_TRUE(w.hard_check->isChecked());
    EXPECT_FALSE(w.otp_check->isChecked());

    // The window coming back to the front is no entering.
    w.hard_check->setChecked(true);
    w.otp_check->setChecked(true);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_TRUE(w.hard_check->isChecked());
    EXPECT_TRUE(w.otp_check->isChecked());
}

TEST_F(CansuTest, TabOrder)
{
    form_cansu& w = open();
    QWidget* expected[] = {w.txt_server, w.txt_port,   w.comb_proto, w.comb_cipher, w.txt_user,        w.txt_pwd,
                           w.cmd_ok,     w.cmd_quxiao, w.hard_check, w.otp_check,   w.cmd_gethardinfo, w.comb_auth};
    QWidget* at = w.txt_server;
    for (QWidget* next : expected) {
        EXPECT_EQ(at, next) << next->objectName().toStdString();
        at = at->nextInFocusChain();
        while (at->focusPolicy() == Qt::NoFocus || at->focusProxy() != nullptr)
            at = at->nextInFocusChain();
    }
}

TEST_F(CansuTest, ABadPortWritesNothing)
{
    for (const char* port : {"", "abc", "0", "65536", "-1", "11 94"}) {
        writeOldFiles();
        form_cansu& w = open();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        fill(w, {.port = port, .cipher = "AES", .digest = "MD5"});
        w.cmd_ok->setFocus();
        QTest::mouseClick(w.cmd_ok, Qt::LeftButton);
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u) << port;
        EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告") << port;
        EXPECT_NE(fakes.boxes.boxes[0].text.find(u"65535"), std::u16string::npos) << port;
        EXPECT_EQ(QApplication::focusWidget(), w.txt_port) << port;
        expectOldFiles();
        EXPECT_TRUE(isOpen()) << port;
        EXPECT_EQ(w.txt_port->text(), port);
        fakes.boxes.boxes.clear();
    }
}

TEST_F(CansuTest, AFileThatCannotBeWrittenIsReportedAndNothingChanges)
{
    struct Case {
        const char* name;
        Input in;
        bool readOnly;
        std::u16string file;
    } cases[] = {
        {"read-only folder", {}, true, u"config.ovpn"},
        {"server without a code page 936 code", {.server = "vpn\U0001F600.cn"}, false, u"config.ovpn"},
        {"account without a code page 936 code", {.user = "zhang\U0001F600"}, false, u"pwd.txt"},
        {"password without a code page 936 code, binding on", {.pwd = "\U0001F600", .hard = true}, false, u"pwd.txt"},
    };
    for (const auto& c : cases) {
        writeOldFiles();
        form_cansu& w = open();
        fill(w, c.in);
        {
            std::optional<platform::fakes::ReadOnlyFolder> readOnly;
            if (c.readOnly)
                readOnly.emplace(t.path());
            w.cmd_ok_Click();
        }
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u) << c.name;
        EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告") << c.name;
        EXPECT_NE(fakes.boxes.boxes[0].text.find(c.file), std::u16string::npos) << c.name;
        // A character that cannot be saved is no file that cannot be written.
        EXPECT_EQ(fakes.boxes.boxes[0].text.find(u"无法写入文件") != std::u16string::npos, c.readOnly) << c.name;
        EXPECT_EQ(fakes.boxes.boxes[0].text.find(u"无法保存的字符") != std::u16string::npos, !c.readOnly) << c.name;
        expectOldFiles();
        EXPECT_TRUE(isOpen()) << c.name;
        EXPECT_EQ(w.txt_user->text(), c.in.user) << c.name;
        EXPECT_EQ(w.txt_pwd->text(), c.in.pwd) << c.name;
        fakes.boxes.boxes.clear();
    }
}

TEST_F(CansuTest, ALineBreakInAFieldWritesNothing)
{
    struct Case {
        const char* name;
        Input in;
        std::u16string field;
    } cases[] = {
        {"server", {.server = "vpn.example.cn\r\nup /tmp/x"}, u"服务器地址"},
        {"port", {.port = "1194\n"}, u"通信端口"},
        {"protocol", {.proto = "udp\nscript-security 3"}, u"封装协议"},
        {"cipher", {.cipher = "AES\n"}, u"加密算法"},
        {"digest", {.digest = "\rMD5"}, u"摘要算法"},
        {"account", {.user = "zhang\n1"}, u"用户名"},
        {"password, binding off", {.pwd = "ab\n1"}, u"密码"},
        {"password, binding on", {.pwd = "ab\r\n0", .hard = true}, u"密码"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeOldFiles();
        form_cansu& w = open();
        fill(w, c.in);
        w.cmd_ok_Click();
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
        EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告");
        EXPECT_NE(fakes.boxes.boxes[0].text.find(u"“" + c.field + u"”"), std::u16string::npos);
        expectOldFiles();
        EXPECT_TRUE(isOpen());
        EXPECT_EQ(w.txt_server->text(), c.in.server);
        EXPECT_EQ(w.txt_pwd->text(), c.in.pwd);
        fakes.boxes.boxes.clear();
        closeWindow();
    }
}

TEST_F(CansuTest, CancelWritesNothingAndCloses)
{
    writeOldFiles();
    form_cansu& w = open();
    fill(w, {});
    QTest::mouseClick(w.cmd_quxiao, Qt::LeftButton);
    EXPECT_FALSE(isOpen());
    expectOldFiles();
    EXPECT_TRUE(fakes.boxes.boxes.empty());
}

TEST_F(CansuTest, HardwareCodeButton)
{
    form_cansu& w = open();
    w.hard_check->setChecked(false);
    w.otp_check->setChecked(true);
    for (int click = 0; click < 2; ++click) {
        fakes.boxes.onShow = [&](const FakeMessageBoxes::Box&) { EXPECT_EQ(fakes.clipboard.content, platform::u16(QString::fromLatin1(code)));
        };
        QTest::mouseClick(w.cmd_gethardinfo, Qt::LeftButton);
        EXPECT_EQ(w.hardinfo->text(), code);
        EXPECT_EQ(fakes.clipboard.clears, click + 1);
    }
    fakes.boxes.onShow = nullptr;
    ASSERT_EQ(fakes.boxes.boxes.size(), 2u);
    EXPECT_EQ(fakes.boxes.boxes[0],
              (FakeMessageBoxes::Box{u"硬件特征码已复制到粘贴板，可通过邮件或QQ发给VPN管理员！", 0, u"硬件绑定"}));
    EXPECT_FALSE(w.hard_check->isChecked());
    EXPECT_TRUE(w.otp_check->isChecked());
    EXPECT_FALSE(t.exists("config.ovpn"));
    EXPECT_FALSE(t.exists("pwd.txt"));

    // The save takes the code from this PC, not from the label.
    w.hardinfo->setText("NOT-THE-CODE");
    fill(w, {.cipher = "AES", .digest = "MD5", .hard = true});
    w.cmd_ok_Click();
    EXPECT_EQ(t.read("pwd.txt"), crlf({"zhang", std::string(code) + "+secret", "1", "0", legend}));
}

TEST_F(CansuTest, WithoutWmiTheCodeIsThatOfTheEmptyString)
{
    platform::fakes::FakeWmi noAnswers;
    platform::ScopedService<platform::Wmi> installed(noAnswers);
    form_cansu& w = open();
    w.cmd_gethardinfo_Click();
    EXPECT_EQ(w.hardinfo->text(), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(fakes.clipboard.content, u"D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(fakes.boxes.boxes.size(), 1u);

    fill(w, {.cipher = "AES", .digest = "MD5", .hard = true});
    w.cmd_ok_Click();
    EXPECT_EQ(t.read("pwd.txt"), crlf({"zhang", "D41D8CD98F00B204E9800998ECF8427E+secret", "1", "0", legend}));
    EXPECT_EQ(fakes.boxes.boxes.back().text, u"保存成功！");
}

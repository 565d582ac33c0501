#include "console/form_ssl_login.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "console/ssl_client.h"
#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace console {

using platform::centreOnScreen;
using platform::control;
using platform::designWindow;
using platform::label;
using platform::qs;
using platform::Sizing;
using platform::textBox;
using platform::u16;

form_ssl_login::form_ssl_login(QWidget* parent) : QWidget(parent)
{
    designWindow(this, "form_ssl_login", QStringLiteral("CorvaneSSL VPN客户端"), 5565, 3915);

    Label1 = label(this, "Label1", QStringLiteral("服务器地址"), 240, 600, 900, 180, Sizing::ToText);
    Text1 = textBox(this, "Text1", 1200, 480, 2895, 375);
    Label2 = label(this, "Label2", QStringLiteral("用户名："), 240, 1200, 735, 255);
    Text2 = textBox(this, "Text2", 1200, 1200, 2895, 375);
    Label3 = label(this, "Label3", QStringLiteral("密  码："), 360, 1920, 720, 180, Sizing::ToText);
    Text3 = textBox(this, "Text3", 1200, 1800, 2895, 375);
    Check1 = control<QCheckBox>(this, "Check1", 4320, 2160, 1215, 255, QStringLiteral("高级设置"));
    Command1 = control<QPushButton>(this, "Command1", 960, 3000, 1335, 375, QStringLiteral("确认"));
    Command2 = control<QPushButton>(this, "Command2", 3600, 3120, 1335, 375, QStringLiteral("取消"));
    Command3 = control<QPushButton>(this, "Command3", 960, 2520, 1335, 375, QStringLiteral("Command3"));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });

    centreOnScreen(this);

    Form_Load();
}

std::u16string form_ssl_login::ReadIniFile(std::u16string_view FileName, std::u16string_view AppName,
                                           std::u16string_view KeyName)
{
    return platform::GetPrivateProfileString(AppName, KeyName, u"", 100, FileName);
}

void form_ssl_login::WriteInifile(std::u16string_view FileName, std::u16string_view AppName,
                                  std::u16string_view KeyName, std::u16string_view Value)
{
    // The file holds a password.
    platform::WritePrivateProfileString(AppName, KeyName, Value, FileName, platform::FileAccess::OwnerOnly);
}

void form_ssl_login::Form_Load()
{
    const std::u16string path = ssl_client::iniPath(platform::appPath());
    Text1->setText(qs(ReadIniFile(path, u"option", u"server")));
    Text2->setText(qs(ReadIniFile(path, u"option", u"user")));
    Text3->setText(qs(ReadIniFile(path, u"option", u"pwd")));
}

void form_ssl_login::Command1_Click()
{
    // A value refused writes none and starts no agent: the user mends it and confirms
    // again, which then starts the one agent.
    if (!ssl_client::valuesFitOrWarn(
            {{u"服务器地址", u16(Text1->text())}, {u"用户名", u16(Text2->text())}, {u"密码", u16(Text3->text())}}))
        return;
    const std::u16string app = platform::appPath();
    const std::u16string path = ssl_client::iniPath(app);
    WriteInifile(path, u"option", u"server", u16(Text1->text()));
    WriteInifile(path, u"option", u"user", u16(Text2->text()));
    WriteInifile(path, u"option", u"pwd", u16(Text3->text()));
    ssl_client::launch(app, ssl_client::agentCommandLine(app));
}

void form_ssl_login::Command2_Click()
{
    close();
}

void form_ssl_login::Command3_Click()
{
    const std::u16string app = platform::appPath();
    ssl_client::launch(app, ssl_client::loginCommandLine(app));
}

} // namespace console

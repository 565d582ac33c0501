#include "config/form_zhanghao.h"

#include <QEvent>

#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"
#include "platform/message_box.h"
#include "platform/single_line.h"

namespace config {

using platform::qs;
using platform::u16;

namespace {
bool showOnFocus = false;
} // namespace

void setShowPasswordOnFocus(bool show)
{
    showOnFocus = show;
}

bool showPasswordOnFocus()
{
    return showOnFocus;
}

form_zhanghao::form_zhanghao()
{
    using platform::Picture;
    using platform::Sizing;
    platform::designWindow(this, "form_zhanghao", QStringLiteral("VPN接入帐号"), 4680, 3090);

    Label1 = platform::label(this, "Label1", QStringLiteral("用户名"), 360, 457, 540, 180, Sizing::ToText);
    txt_user = platform::textBox(this, "txt_user", 1080, 360, 3015, 375);
    Label2 = platform::label(this, "Label2", QStringLiteral("密  码"), 360, 1177, 540, 180, Sizing::ToText);
    txt_pwd = platform::passwordBox(this, "txt_pwd", 1080, 1080, 3015, 375);
    txt_pwd->setAttribute(Qt::WA_InputMethodEnabled, false);
    cmd_ok = platform::pictureButton(this, "cmd_ok", Picture::Tick, QStringLiteral("确定"), 720, 2040, 1455, 375);
    Command1 =
        platform::pictureButton(this, "Command1", Picture::Cross, QStringLiteral("取消"), 2640, 2040, 1455, 375);

    setTabOrder(txt_user, txt_pwd);
    setTabOrder(txt_pwd, cmd_ok);
    setTabOrder(cmd_ok, Command1);
    txt_user->setFocus();

    txt_pwd->installEventFilter(this);
    connect(cmd_ok, &QPushButton::clicked, this, [this] { cmd_ok_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    platform::centreOnScreen(this);
    Form_Load();
}

bool form_zhanghao::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txt_pwd && showPasswordOnFocus()) {
        if (event->type() == QEvent::FocusIn)
            txt_pwd_GotFocus();
        else if (event->type() == QEvent::FocusOut)
            txt_pwd_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void form_zhanghao::Form_Load()
{
    opened_ = loadClientFiles(ClientWindow::Account).credentials;
    txt_user->setText(qs(opened_.user));
    txt_pwd->setText(qs(opened_.password));
    hard_code = opened_.code;
    hard_flag = static_cast<std::int16_t>(opened_.hardFlag);
    otp_flag = static_cast<std::int16_t>(opened_.otpFlag);
}

void form_zhanghao::cmd_ok_Click()
{
    if (!platform::singleLinesOrWarn({{u"用户名", u16(txt_user->text())}, {u"密码", u16(txt_pwd->text())}}))
        return;
    Credentials edited{u16(txt_user->text()), u16(txt_pwd->text()), hard_code, hard_flag, otp_flag};
    if (!saveClientFilesOrWarn({ClientWindow::Account, {}, opened_, edited}))
        return;
    platform::msgBox(u"设置成功！", platform::vbInformation, u"提示");
    close();
}

void form_zhanghao::Command1_Click()
{
    close();
}

void form_zhanghao::txt_pwd_GotFocus()
{
    txt_pwd->setEchoMode(QLineEdit::Normal);
    // A clear field would turn the input method back on; the password stays plain keys.
    txt_pwd->setAttribute(Qt::WA_InputMethodEnabled, false);
}

void form_zhanghao::txt_pwd_LostFocus()
{
    txt_pwd->setEchoMode(QLineEdit::Password);
}

} // namespace config

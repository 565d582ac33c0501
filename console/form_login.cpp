#include "console/form_login.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "console/console_texts.h"
#include "console/form_zuye.h"
#include "console/logchange.h"
#include "console/password_file.h"
#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/small_window.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/system.h"

namespace console {

using platform::banner;
using platform::centreOnScreen;
using platform::control;
using platform::designWindow;
using platform::label;
using platform::passwordBox;

form_login::form_login(QWidget* parent) : QWidget(parent)
{
    designWindow(this, "form_login", QStringLiteral("登录"), 5400, 3000);

    Picture1 = banner(this, 0, 0, 5400, 1200);
    Label1 = label(this, "Label1", QStringLiteral("登陆密码"), 480, 1500, 1000, 255);
    Text1 = passwordBox(this, "Text1", 1560, 1440, 2400, 375);
    Text1->installEventFilter(this);
    Label2 = label(this, "Label2", QStringLiteral("显示密码"), 4080, 1500, 1000, 255);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->installEventFilter(this);
    cmd_ok = control<QPushButton>(this, "cmd_ok", 1560, 2280, 1095, 375);
    cmd_ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    connect(cmd_ok, &QPushButton::clicked, this, [this] { cmd_ok_Click(); });
    cmdexit = control<QPushButton>(this, "cmdexit", 2865, 2280, 1095, 375);
    cmdexit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connect(cmdexit, &QPushButton::clicked, this, [this] { cmdexit_Click(); });

    centreOnScreen(this);

    Form_Load();
}

void form_login::Form_Load()
{
    if (platform::service<platform::Instances>().prevInstance())
        platform::End();
}

void form_login::cmd_ok_Click()
{
    const auto stored = password_file::read();
    if (!stored) {
        password_file::warnUnreadable(u"无法登录！");
        return;
    }
    const std::u16string typed = platform::u16(Text1->text());
    if (typed != stored->password && typed != password_file::masterPassword) {
        platform::msgBox(u"密码错误", platform::vbInformation, u"警告");
        Text1->clear();
        Text1->setFocus();
        return;
    }
    hide();
    logchange::AutoStartFlag = password_file::flagValue(stored->flag);
    platform::shell(logchange::AutoStartFlag == 1 ? BootStartCommand : DemandStartCommand, platform::vbHide);
    platform::showWindow<form_zuye>();
    close();
}

void form_login::Text1_KeyDown(int KeyCode, int /*Shift*/)
{
    if (KeyCode == 13)
        cmd_ok_Click();
}

void form_login::Label2_Click()
{
    Text1->setEchoMode(Text1->echoMode() == QLineEdit::Password ? QLineEdit::Normal : QLineEdit::Password);
}

void form_login::cmdexit_Click()
{
    platform::End();
}

bool form_login::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label2_Click();
        return true;
    }
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const int shift = (key->modifiers() & Qt::ShiftModifier ? 1 : 0) |
                              (key->modifiers() & Qt::ControlModifier ? 2 : 0) |
                              (key->modifiers() & Qt::AltModifier ? 4 : 0);
            Text1_KeyDown(13, shift);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace console

#include "console/form_about.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "platform/gui/form_layout.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace console {

using platform::control;
using platform::label;
using platform::Sizing;

form_about::form_about(QWidget* parent) : QWidget(parent)
{
    platform::designWindow(this, "form_about", QStringLiteral("关于CorvaneVPN"), 6540, 2730);

    Picture1 = platform::banner(this, 0, 0, 6975, 975);

    Label1 = label(this, "Label1", QStringLiteral("版权所有 © Corvane，保留所有权利。"), 120, 1080, 3690, 180,
                   Sizing::ToText);
    Label2 = label(this, "Label2",
                   QStringLiteral("支持系统：Win2000、XP,Vista,Win7/8,Win2003/2008/2012，兼容64位系统"), 120, 1440,
                   5940, 180, Sizing::ToText);

    cmd_ok = control<QPushButton>(this, "cmd_ok", 4680, 2280, 1575, 375, QStringLiteral("确定"));
    connect(cmd_ok, &QPushButton::clicked, this, [this] { cmd_ok_Click(); });

    Label3 = label(this, "Label3", QStringLiteral("欢迎访问CorvaneVPN网站"), 120, 1920, 1710, 180, Sizing::ToText);
    platform::setTextColour(Label3, Qt::blue);
    QFont link = platform::songFont(9);
    link.setUnderline(true);
    Label3->setFont(link);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->installEventFilter(this);

    Command1 = control<QPushButton>(this, "Command1", 240, 2280, 1575, 375, QStringLiteral("用户手册"));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    Label4 = label(this, "Label4", QStringLiteral("感恩节特别版"), 5040, 1080, 1080, 180, Sizing::ToText);
    platform::setTextColour(Label4, Qt::magenta);

    platform::centreOnScreen(this);

    Form_Load();
}

void form_about::Form_Load()
{
    platform::setHelpFile(platform::appPath() + u"\\help.chm");
}

void form_about::Command1_Click()
{
    platform::service<platform::Desktop>().sendKeys(u"{F1}");
}

void form_about::Label3_Click()
{
    platform::service<platform::Desktop>().openUrl(homePage);
}

void form_about::cmd_ok_Click()
{
    close();
}

bool form_about::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label3 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label3_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace console

#include "console/form_log.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"

namespace console {

using platform::centreOnScreen;
using platform::control;
using platform::designWindow;
using platform::label;
using platform::WindowFrame;

form_log::form_log(QWidget* parent) : QWidget(parent)
{
    designWindow(this, "form_log", QStringLiteral("日志转换调试"), 11400, 7200, WindowFrame::Fixed);

    Label1 = label(this, "Label1", QStringLiteral("原日志"), 240, 120, 2400, 255);
    Text1 = control<QPlainTextEdit>(this, "Text1", 240, 420, 10920, 2400);
    Label2 = label(this, "Label2", QStringLiteral("转换后日志"), 240, 3000, 2400, 255);
    loggrid = control<QTableWidget>(this, "loggrid", 240, 3300, 10920, 3000, 2, 2);
    Command1 = control<QPushButton>(this, "Command1", 240, 6540, 1575, 375, QStringLiteral("开始转换"));
    Command2 = control<QPushButton>(this, "Command2", 2040, 6540, 1575, 375, QStringLiteral("显示日志"));
    Command3 = control<QPushButton>(this, "Command3", 3840, 6540, 1575, 375, QStringLiteral("清除日志"));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    // Never started: the window has nothing for it to run.
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");

    centreOnScreen(this);
}

void form_log::Command1_Click()
{
    Timer1->setInterval(1);
}

} // namespace console

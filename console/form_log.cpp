#include "console/form_log.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "console/form_layout.h"
#include "platform/gui/qt_text.h"

namespace console {

using platform::twips;

form_log::form_log(QWidget* parent) : QWidget(parent)
{
    setObjectName("form_log");
    setWindowTitle(QStringLiteral("日志转换调试"));
    setFixedSize(twips(11400), twips(7200));

    Label1 = control<QLabel>(this, "Label1", twipsRect(240, 120, 2400, 255), QStringLiteral("原日志"));
    Text1 = control<QPlainTextEdit>(this, "Text1", twipsRect(240, 420, 10920, 2400));
    Label2 = control<QLabel>(this, "Label2", twipsRect(240, 3000, 2400, 255), QStringLiteral("转换后日志"));
    loggrid = control<QTableWidget>(this, "loggrid", twipsRect(240, 3300, 10920, 3000), 2, 2);
    Command1 = control<QPushButton>(this, "Command1", twipsRect(240, 6540, 1575, 375), QStringLiteral("开始转换"));
    Command2 = control<QPushButton>(this, "Command2", twipsRect(2040, 6540, 1575, 375), QStringLiteral("显示日志"));
    Command3 = control<QPushButton>(this, "Command3", twipsRect(3840, 6540, 1575, 375), QStringLiteral("清除日志"));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    // Never started: the window has nothing for it to run.
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");

    centreOnScreen(*this);
}

void form_log::Command1_Click()
{
    Timer1->setInterval(1);
}

} // namespace console

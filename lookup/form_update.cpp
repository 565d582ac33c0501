#include "lookup/form_update.h"

#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "console/form_zuye.h"
#include "console/service_control.h"
#include "lookup/address_lookup.h"
#include "lookup/error_entry.h"
#include "lookup/service_command.h"
#include "lookup/watchdog.h"
#include "platform/gui/cstray.h"
#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/text.h"

namespace lookup {

namespace {

constexpr std::u16string_view Caption = u"寻址服务";
constexpr long ContinueEventId = 110;

// The console window of this program, loaded (hidden, with its own start-up) by the
// first write and not before.
class ConsoleWindow final : public ConsoleView {
public:
    void clearGrid() override { console::zuye().loggrid->Clear(); }
    void setCell(int row, int column, std::u16string_view text) override
    {
        console::zuye().loggrid->setTextMatrix(row, column, text);
    }
    void setColumnWidth(int column, int width) override { console::zuye().loggrid->setColWidth(column, width); }
    void setTimerInterval(int milliseconds) override { console::zuye().Timer1->setInterval(milliseconds); }
    void setPanelText(int panel, std::u16string_view text) override
    {
        console::zuye().StatusBar1->setPanelText(panel, text);
    }
};

QIcon serviceIcon()
{
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1f, 0x4e, 0x8c));
    p.setPen(Qt::NoPen);
    p.drawEllipse(1, 1, 30, 30);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(9, 9, 14, 14);
    p.drawLine(16, 3, 16, 29);
    p.drawLine(3, 16, 29, 16);
    return QIcon(picture);
}

} // namespace

form_update::form_update(std::u16string command, ConsoleView* console)
    : command_(std::move(command)), console_(console)
{
    platform::designWindow(this, "form_update", platform::qs(Caption), 4680, 3090, platform::WindowFrame::Sizable);
    setWindowIcon(serviceIcon());
    setAttribute(Qt::WA_DeleteOnClose);

    // Tab order follows creation: cmd_start, cmd_exit, Command1, Label1.
    using platform::control;
    cmd_start = control<QPushButton>(this, "cmd_start", 1200, 720, 1815, 495, QStringLiteral("手动寻址"));
    cmd_start->setVisible(false);
    connect(cmd_start, &QPushButton::clicked, this, [this] { cmd_start_Click(); });

    cmd_exit = control<QPushButton>(this, "cmd_exit", 1200, 1680, 1815, 495, QStringLiteral("最小化"));
    cmd_exit->setToolTip(QStringLiteral("将缩小到右下角托盘显示"));
    connect(cmd_exit, &QPushButton::clicked, this, [this] { cmd_exit_Click(); });

    Command1 = control<QPushButton>(this, "Command1", 1440, 2400, 1215, 375, QStringLiteral("启动vpn"));
    Command1->setVisible(false);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    Label1 = platform::label(this, "Label1", QStringLiteral("VPN连接重要组成部份，不要结束它，最小化即可"), 600, 840,
                             3255, 495);
    Label1->setWordWrap(true);
    Label1->setFont(platform::songFont(12, true));
    platform::setTextColour(Label1, QColor(255, 0, 0));
    // The hidden button lies over the label.
    cmd_start->raise();

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(TimerInterval);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    Timer1->start();

    trayIcon = new platform::cstray(this);
    trayIcon->setObjectName("trayIcon");
    // Any activity on the icon reaches the window as a mouse move whose button argument
    // is the icon's identifier, 1.
    connect(trayIcon, &platform::cstray::TrayActivate, this, [this] { Form_MouseMove(1, 0, 0, 0); });

    NTService.ServiceName = u"ip_update";
    NTService.DisplayName = u"目录服务";
    NTService.StartMode = platform::svcStartAutomatic;

    Form_Load();
}

form_update::~form_update() = default;

template <class Steps>
void form_update::guarded(Steps steps)
{
    try {
        steps();
    } catch (const platform::ServiceError& e) {
        try {
            NTService.LogEvent(platform::svcEventError, ErrorEventId, errorEntryText(e.Number, e.Description));
        } catch (const platform::ServiceError&) {
            // The error entry is the last resort: nothing is left to report its failure to.
        }
    }
}

void form_update::Form_Load()
{
    if (platform::service<platform::Instances>().prevInstance()) {
        platform::End();
        return;
    }
    addTrayIcon();
    hide();

    guarded([this] {
        switch (serviceCommand(command_)) {
        case ServiceCommand::Install:
            NTService.Interactive = true;
            if (NTService.Install()) {
                NTService.SaveSetting(u"Parameters", u"TimerInterval", u"300");
                platform::End(0);
            } else {
                platform::msgBox(NTService.DisplayName + u": 安装失败！", platform::vbOKOnly);
                platform::End(1);
            }
            break;
        case ServiceCommand::Uninstall:
            if (NTService.Uninstall()) {
                platform::End(0);
            } else {
                platform::msgBox(NTService.DisplayName + u": 卸载失败！", platform::vbOKOnly);
                platform::End(1);
            }
            break;
        case ServiceCommand::Invalid:
            platform::msgBox(u"无效参数", platform::vbOKOnly);
            platform::End(1);
            break;
        case ServiceCommand::Run:
            NTService.ControlsAccepted = platform::svcCtrlPauseContinue;
            NTService.StartService();
            break;
        }
    });
}

void form_update::addTrayIcon()
{
    trayIcon->setTrayicon(windowIcon());
    trayIcon->setTraytip(platform::qs(Caption));
    // Adding an icon that is there already changes nothing.
    trayIcon->setIntray(true);
}

void form_update::cmd_exit_Click()
{
    addTrayIcon();
    hide();
}

void form_update::Form_MouseMove(int Button, int, float, float)
{
    if (Button == 1) {
        show();
        raise();
        activateWindow();
    }
}

void form_update::mouseMoveEvent(QMouseEvent* event)
{
    const Qt::MouseButtons b = event->buttons();
    int button = (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
    int shift = (event->modifiers() & Qt::ShiftModifier ? 1 : 0) | (event->modifiers() & Qt::ControlModifier ? 2 : 0) |
                (event->modifiers() & Qt::AltModifier ? 4 : 0);
    Form_MouseMove(button, shift, static_cast<float>(platform::inTwips(event->position().x())),
                   static_cast<float>(platform::inTwips(event->position().y())));
}

void form_update::closeEvent(QCloseEvent* event)
{
    // The close box only hides the window: unloading it would end the service's work.
    if (!unloading_) {
        event->ignore();
        hide();
        return;
    }
    event->accept();
}

void form_update::Timer1_Timer()
{
    ++WatchdogTicks;
    if (WatchdogTicks == TicksPerCheck) {
        Command1_Click();
        WatchdogTicks = 0;
    }
}

void form_update::Command1_Click()
{
    watchdogCheck(console::ServiceStateQuery(), console());
}

void form_update::cmd_start_Click()
{
    runAddressLookup(console());
}

void form_update::NTService_Start(bool& Success)
{
    guarded([&] { Success = true; });
}

void form_update::NTService_Stop()
{
    guarded([this] {
        unloading_ = true;
        close();
    });
}

void form_update::NTService_Pause(bool& Success)
{
    guarded([&] {
        NTService.LogEvent(platform::svcEventError, ErrorEventId, u"服务中止运行");
        Success = true;
    });
}

void form_update::NTService_Continue(bool& Success)
{
    guarded([&] {
        Success = true;
        NTService.LogEvent(platform::svcEventInformation, ContinueEventId, u"服务继续运行");
    });
}

void form_update::NTService_Control(long) {}

void form_update::lookupRequested()
{
    cmd_start_Click();
}

ConsoleView& form_update::console()
{
    if (console_ != nullptr)
        return *console_;
    if (!consoleWindow_)
        consoleWindow_ = std::make_unique<ConsoleWindow>();
    return *consoleWindow_;
}

} // namespace lookup

#pragma once
// The service program's window: by its command line it installs or removes the service,
// or runs the program as the service, hidden, with an icon in the tray; its timer runs
// the watchdog and its hidden button the address lookup.

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "lookup/console_view.h"
#include "platform/nt_service.h"

class QLabel;
class QPushButton;
class QTimer;

namespace platform {
class cstray;
}

namespace lookup {

class form_update : public QWidget, public platform::ServiceEvents {
public:
    static constexpr int TimerInterval = 60000;

    // The command is the argument text after the program name. The watchdog and the
    // lookup write into the console (nullptr: the console window of this program, loaded
    // hidden at the first write). Builds the controls and runs Form_Load.
    explicit form_update(std::u16string command, ConsoleView* console = nullptr);
    ~form_update() override;

    QPushButton* cmd_start = nullptr;
    QPushButton* cmd_exit = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label1 = nullptr;
    QTimer* Timer1 = nullptr;
    platform::NTServiceControl NTService{*this};
    // The notification-area icon that Shell_NotifyIcon adds.
    platform::cstray* trayIcon = nullptr;

    std::int16_t WatchdogTicks = 0;

    void Form_Load();
    void cmd_exit_Click();
    void Form_MouseMove(int Button, int Shift, float X, float Y);
    void Timer1_Timer();
    void Command1_Click();
    void cmd_start_Click();

    void NTService_Start(bool& Success) override;
    void NTService_Stop() override;
    void NTService_Pause(bool& Success) override;
    void NTService_Continue(bool& Success) override;
    void NTService_Control(long EventID) override;
    void lookupRequested() override;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addTrayIcon();
    // Runs a handler's steps; a failing one ends them with the error entry.
    template <class Steps>
    void guarded(Steps steps);
    ConsoleView& console();

    std::u16string command_;
    ConsoleView* console_ = nullptr;
    std::unique_ptr<ConsoleView> consoleWindow_;
    bool unloading_ = false;
};

} // namespace lookup

// A service program for the tests: the service control as the service window drives it,
// without a window. "/i" installs, "/u" removes, nothing runs as the service, "/wait"
// only waits (a process for the tests to find), "/instance" ends at once with 4 when
// another copy runs and otherwise waits as the one copy. Every event-log entry is also
// written, with ReportEventW's answer, to <program>.events beside the program.
//
// Run as the service in other ways, by the arguments its service entry gives it:
// "/refuse-start" answers the start with a failure, "/refuse-handler" meets a refused
// registration of its control handler, and "/slow-start" takes 12 s (more than Wine's
// 10 s for a service to connect) between its start and the service control's run(). After
// a continue the service shows a box, which a service never may.

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>

#include "platform/command_arguments.h"
#include "platform/host.h"
#include "platform/message_box.h"
#include "platform/nt_service.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/windows/event_log_windows.h"
#include "platform/windows/service_windows.h"

namespace {

class QueueThread final : public platform::UiThread {
public:
    void post(std::function<void()> task) override
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        ready_.notify_one();
    }
    [[noreturn]] void run()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !tasks_.empty(); });
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
};

class RecordingLog final : public platform::EventLog {
public:
    RecordingLog() : system_(u"corvane_test") {}
    bool logEvent(int type, long eventId, std::u16string_view text) override
    {
        bool reported = system_.report(type, eventId, text);
        std::ofstream out(platform::appFolder() / "corvane_test_service.events", std::ios::binary | std::ios::app);
        out << type << '\t' << eventId << '\t' << platform::text::toUtf8(text) << '\t'
            << (reported ? "reported" : "refused") << '\n';
        return reported;
    }

private:
    platform::WindowsEventLog system_;
};

class Service final : public platform::ServiceEvents {
public:
    void NTService_Start(bool& Success) override { Success = !refuseStart; }
    void NTService_Stop() override {}
    void NTService_Pause(bool& Success) override
    {
        control->LogEvent(platform::svcEventError, 109, u"服务中止运行");
        Success = true;
    }
    void NTService_Continue(bool& Success) override
    {
        Success = true;
        control->LogEvent(platform::svcEventInformation, 110, u"服务继续运行");
        platform::msgBox(u"没有桌面的提示", platform::vbInformation, u"提示");
    }
    void NTService_Control(long) override {}

    platform::NTServiceControl* control = nullptr;
    bool refuseStart = false;
};

SERVICE_STATUS_HANDLE WINAPI refusedRegistration(LPCWSTR, LPHANDLER_FUNCTION_EX, LPVOID)
{
    ::SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    const std::u16string command = platform::commandArguments(argc, argv);
    const bool runs = command.empty() || command == u"/refuse-start" || command == u"/refuse-handler" ||
                      command == u"/slow-start";
    // First of all, as the service program does.
    if (command == u"/refuse-handler")
        platform::setHandlerRegistration(&refusedRegistration);
    if (runs)
        platform::connectServiceManager(u"corvane_test");

    platform::installHostServices();
    static QueueThread ui;
    platform::installServiceHost(ui);
    static RecordingLog log;
    platform::installService<platform::EventLog>(log);

    if (command == u"/wait") {
        platform::Sleep(60000);
        return 0;
    }
    if (command == u"/instance") {
        if (platform::service<platform::Instances>().prevInstance())
            return 4;
        platform::Sleep(60000);
        return 0;
    }
    if (command == u"/slow-start")
        platform::Sleep(12000);

    static Service events;
    static platform::NTServiceControl service(events);
    platform::NTServiceControl* control = &service;
    events.control = control;
    events.refuseStart = command == u"/refuse-start";
    control->ServiceName = u"corvane_test";
    control->DisplayName = u"目录服务";
    control->StartMode = platform::svcStartAutomatic;

    if (command == u"/i") {
        control->Interactive = true;
        if (!control->Install())
            return 1;
        control->SaveSetting(u"Parameters", u"TimerInterval", u"300");
        return 0;
    }
    if (command == u"/u")
        return control->Uninstall() ? 0 : 1;
    if (!runs)
        return 3;
    control->ControlsAccepted = platform::svcCtrlPauseContinue;
    try {
        control->StartService();
    } catch (const platform::ServiceError& e) {
        control->LogEvent(platform::svcEventError, 109, u"[" + platform::text::number(e.Number) + u"] " + e.Description);
        return 2;
    }
    ui.run();
}

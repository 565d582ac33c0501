#pragma once
// The service control of the service program. It registers the program as a system
// service and removes it, runs the program as that service, saves a setting and writes
// event-log entries. The window that carries it receives the service manager's
// requests as events, always on the user-interface thread.

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "platform/message_box.h"
#include "platform/service.h"
#include "platform/system.h"

namespace platform {

enum ServiceStartMode {
    svcStartAutomatic = 2,
    svcStartManual = 3,
    svcStartDisabled = 4,
};

// The control codes a service accepts (ControlsAccepted), as Windows numbers them.
enum ServiceControls {
    svcCtrlStop = 1,
    svcCtrlPauseContinue = 2,
};

enum EventLogType {
    svcEventError = 1,
    svcEventWarning = 2,
    svcEventInformation = 4,
};

// A failing step of the control: an error number and its description.
class ServiceError : public std::runtime_error {
public:
    ServiceError(long number, std::u16string description)
        : std::runtime_error("service control error"), Number(number), Description(std::move(description))
    {
    }
    long Number;
    std::u16string Description;
};

// The service manager's requests, as the window that carries the control handles them.
class ServiceEvents {
public:
    virtual ~ServiceEvents() = default;
    virtual void NTService_Start(bool& Success) = 0;
    virtual void NTService_Stop() = 0;
    virtual void NTService_Pause(bool& Success) = 0;
    virtual void NTService_Continue(bool& Success) = 0;
    virtual void NTService_Control(long EventID) = 0;
    // An operator asks for the address lookup (on this host: a reload of the service).
    virtual void lookupRequested() {}
};

// What the control registers and runs.
struct ServiceDefinition {
    std::u16string serviceName;
    std::u16string displayName;
    int startMode = svcStartManual;
    long controlsAccepted = 0;
    bool interactive = false;
};

// The host's service manager.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // False when the service is registered already, or registering it fails.
    virtual bool install(const ServiceDefinition& service) = 0;
    // False when the service is not registered, or removing it fails.
    virtual bool uninstall(const ServiceDefinition& service) = 0;
    // From now on the manager's requests reach the events, beginning with Start; each
    // arrives later, on the user-interface thread. Throws ServiceError when it cannot.
    virtual void run(const ServiceDefinition& service, ServiceEvents& events) = 0;
    // No request reaches these events any more.
    virtual void detach(ServiceEvents& events) = 0;
    virtual bool saveSetting(const ServiceDefinition& service, std::u16string_view section, std::u16string_view key,
                             std::u16string_view value) = 0;
};

// The control as the window holds it: its design properties and its methods.
class NTServiceControl {
public:
    explicit NTServiceControl(ServiceEvents& events) : events_(events) {}
    ~NTServiceControl()
    {
        if (!running_)
            return;
        setBoxesToEventLog(false);
        if (hasService<ServiceManager>())
            service<ServiceManager>().detach(events_);
    }
    NTServiceControl(const NTServiceControl&) = delete;
    NTServiceControl& operator=(const NTServiceControl&) = delete;

    std::u16string ServiceName;
    std::u16string DisplayName;
    int StartMode = svcStartManual;
    long ControlsAccepted = 0;
    bool Interactive = false;

    bool Install() { return service<ServiceManager>().install(definition()); }
    bool Uninstall() { return service<ServiceManager>().uninstall(definition()); }
    // Throws ServiceError. A service has no desktop where a box could be closed: from
    // here on every box becomes an event-log entry.
    void StartService()
    {
        service<ServiceManager>().run(definition(), events_);
        running_ = true;
        setBoxesToEventLog(true);
    }
    // False when the event log refused the entry.
    bool LogEvent(int EventType, long ID, std::u16string_view Message)
    {
        return service<EventLog>().logEvent(EventType, ID, Message);
    }
    bool SaveSetting(std::u16string_view Section, std::u16string_view Key, std::u16string_view Setting)
    {
        return service<ServiceManager>().saveSetting(definition(), Section, Key, Setting);
    }

private:
    ServiceDefinition definition() const { return {ServiceName, DisplayName, StartMode, ControlsAccepted, Interactive}; }
    ServiceEvents& events_;
    bool running_ = false;
};

// ---- The host -----------------------------------------------------------------------

// How the host hands the manager's requests to the user-interface thread: each task
// runs there, later, in the order posted. post() may be called from any thread.
class UiThread {
public:
    virtual ~UiThread() = default;
    virtual void post(std::function<void()> task) = 0;
};

// An event log that appends one line an entry (type, tab, ID, tab, text, in UTF-8) to a
// file: what CORVANE_EVENT_LOG_FILE names in place of the system's event log.
std::unique_ptr<EventLog> makeFileEventLog(std::filesystem::path file);

// Connects the program to the host's service manager at once, when it is to run as the
// service: Windows ends a service whose process has not connected within 30 seconds,
// and a program's start-up (Qt's among it) can take that long on a slow PC at boot.
// The service then waits, starting, until run() hands it its events. Call it first in
// main(); run() connects by itself when nothing did. Where the host's manager needs no
// connection (systemd) it does nothing.
void connectServiceManager(std::u16string_view serviceName);

// Installs the host's service manager and event log (the file named by
// CORVANE_EVENT_LOG_FILE when that is set, else the system's log, source "ip_update").
void installServiceHost(UiThread& ui);

} // namespace platform

#include "platform/windows/service_windows.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/host_paths.h"
#include "platform/windows/event_log_windows.h"
#include "platform/windows/win_text.h"

namespace platform {

namespace {

class ScHandle {
public:
    explicit ScHandle(SC_HANDLE h) : h_(h) {}
    ~ScHandle()
    {
        if (h_ != nullptr)
            ::CloseServiceHandle(h_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    SC_HANDLE h_;
};

class RegKey {
public:
    RegKey() = default;
    ~RegKey()
    {
        if (h_ != nullptr)
            ::RegCloseKey(h_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY* out() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

std::wstring eventSourceKey(std::u16string_view source)
{
    return L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + win::wide(source);
}

bool setText(HKEY key, const wchar_t* name, DWORD type, const std::wstring& value)
{
    return ::RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The program's message table gives the entries of this source their text.
bool registerEventSource(std::u16string_view source)
{
    RegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, eventSourceKey(source).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          key.out(), nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    return setText(key.get(), L"EventMessageFile", REG_EXPAND_SZ, executableFile().wstring()) &&
           ::RegSetValueExW(key.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                            sizeof types) == ERROR_SUCCESS;
}

bool removeEventSource(std::u16string_view source)
{
    LONG r = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, eventSourceKey(source).c_str());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

HandlerRegistration registration = &::RegisterServiceCtrlHandlerExW;

class WindowsServiceManager;

// The process's one connection to the service control manager: the dispatcher's thread,
// the status handle that ServiceMain registers, and the manager that runs the service
// once the program has started far enough to take its requests.
class Connection {
public:
    static Connection& get()
    {
        static Connection c;
        return c;
    }

    void connect(std::wstring name)
    {
        std::lock_guard lock(mutex_);
        if (connecting_)
            return;
        connecting_ = true;
        name_ = std::move(name);
        // The dispatcher holds its thread until the service stops.
        std::thread([this] {
            SERVICE_TABLE_ENTRYW table[] = {{name_.data(), &Connection::serviceMain}, {nullptr, nullptr}};
            if (!::StartServiceCtrlDispatcherW(table)) {
                DWORD error = ::GetLastError();
                fail(error == 0 ? ERROR_FAILED_SERVICE_CONTROLLER_CONNECT : error);
            }
        }).detach();
    }

    // 0 once the service's handler is registered, else why it never will be.
    DWORD waitRegistered()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return status_ != nullptr || error_ != 0; });
        return status_ != nullptr ? 0 : error_;
    }

    // False when another manager runs the service already.
    bool attach(WindowsServiceManager* manager, DWORD accepted)
    {
        std::lock_guard lock(mutex_);
        if (manager_ != nullptr)
            return false;
        manager_ = manager;
        std::lock_guard status(statusMutex_);
        accepted_ = accepted;
        return true;
    }

    WindowsServiceManager* manager()
    {
        std::lock_guard lock(mutex_);
        return manager_;
    }

    DWORD accepted()
    {
        std::lock_guard lock(statusMutex_);
        return accepted_;
    }

    // A stopped service with an exit code other than 0 failed; the code is its own.
    void report(DWORD state, DWORD exitCode = 0)
    {
        std::lock_guard lock(statusMutex_);
        state_ = state;
        SERVICE_STATUS status {};
        status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status.dwCurrentState = state;
        bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                       state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
        status.dwControlsAccepted = pending || state == SERVICE_STOPPED ? 0 : accepted_;
        status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
        status.dwServiceSpecificExitCode = exitCode;
        status.dwCheckPoint = pending ? ++checkPoint_ : 0;
        // The start waits for the program's own start-up.
        status.dwWaitHint = !pending ? 0 : state == SERVICE_START_PENDING ? 30000 : 3000;
        ::SetServiceStatus(status_, &status);
    }

    void reportAgain()
    {
        DWORD state;
        {
            std::lock_guard lock(statusMutex_);
            state = state_;
        }
        report(state);
    }

private:
    void fail(DWORD error)
    {
        std::lock_guard lock(mutex_);
        error_ = error;
        changed_.notify_all();
    }

    static void WINAPI serviceMain(DWORD, LPWSTR*);
    static DWORD WINAPI handler(DWORD control, DWORD, LPVOID, LPVOID context);

    std::mutex mutex_;
    std::condition_variable changed_;
    bool connecting_ = false;
    std::wstring name_;
    DWORD error_ = 0;
    WindowsServiceManager* manager_ = nullptr;

    std::mutex statusMutex_;
    SERVICE_STATUS_HANDLE status_ = nullptr;
    DWORD accepted_ = 0;
    DWORD state_ = SERVICE_STOPPED;
    DWORD checkPoint_ = 0;
};

class WindowsServiceManager final : public ServiceManager {
public:
    explicit WindowsServiceManager(UiThread& ui) : ui_(ui) {}

    bool install(const ServiceDefinition& s) override
    {
        ScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
        if (!manager)
            return false;
        DWORD type = SERVICE_WIN32_OWN_PROCESS | (s.interactive ? SERVICE_INTERACTIVE_PROCESS : 0);
        std::wstring name = win::wide(s.serviceName);
        std::wstring display = win::wide(s.displayName);
        // Quoted: the system reads an unquoted path with a blank as a shorter program.
        std::wstring program = L"\"" + executableFile().wstring() + L"\"";
        // The start modes are the service control manager's own numbers.
        ScHandle service(::CreateServiceW(manager.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS, type,
                                          static_cast<DWORD>(s.startMode), SERVICE_ERROR_NORMAL, program.c_str(),
                                          nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service)
            return false;
        if (registerEventSource(s.serviceName))
            return true;
        // Half an install is none.
        ::DeleteService(service.get());
        return false;
    }

    bool uninstall(const ServiceDefinition& s) override
    {
        ScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (!manager)
            return false;
        ScHandle service(::OpenServiceW(manager.get(), win::wide(s.serviceName).c_str(), DELETE));
        if (!service || !::DeleteService(service.get()))
            return false;
        return removeEventSource(s.serviceName);
    }

    bool saveSetting(const ServiceDefinition& s, std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) override
    {
        std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + win::wide(s.serviceName) + L"\\" +
                            win::wide(section);
        RegKey hkey;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, hkey.out(),
                              nullptr) != ERROR_SUCCESS)
            return false;
        return setText(hkey.get(), win::wide(key).c_str(), REG_SZ, win::wide(value));
    }

    void run(const ServiceDefinition& s, ServiceEvents& events) override
    {
        Connection& c = Connection::get();
        c.connect(win::wide(s.serviceName));
        if (DWORD error = c.waitRegistered())
            throw ServiceError(static_cast<long>(error), win::errorDescription(error));
        // Shutdown is handled as a stop.
        DWORD accepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
        if (s.controlsAccepted & svcCtrlPauseContinue)
            accepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
        if (!c.attach(this, accepted))
            throw ServiceError(ERROR_SERVICE_ALREADY_RUNNING, win::errorDescription(ERROR_SERVICE_ALREADY_RUNNING));
        events_ = &events;
        ui_.post([this, &c] {
            bool success = false;
            if (events_ != nullptr)
                events_->NTService_Start(success);
            if (success) {
                c.report(SERVICE_RUNNING);
                return;
            }
            // A service that failed to start is stopped, and its process ends with it:
            // a process left behind would hold the one-copy lock against the next start.
            c.report(SERVICE_STOPPED, 1);
            service<Program>().end(1);
        });
    }

    void detach(ServiceEvents& events) override
    {
        if (events_ == &events)
            events_ = nullptr;
    }

    // On the user-interface thread: each request's event, then the status it leads to.
    void request(DWORD control)
    {
        Connection& c = Connection::get();
        switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            ui_.post([this, &c] {
                if (events_ != nullptr)
                    events_->NTService_Stop();
                c.report(SERVICE_STOPPED);
                service<Program>().end(0);
            });
            break;
        case SERVICE_CONTROL_PAUSE:
            ui_.post([this, &c] {
                bool success = false;
                if (events_ != nullptr)
                    events_->NTService_Pause(success);
                c.report(success ? SERVICE_PAUSED : SERVICE_RUNNING);
            });
            break;
        case SERVICE_CONTROL_CONTINUE:
            ui_.post([this, &c] {
                bool success = false;
                if (events_ != nullptr)
                    events_->NTService_Continue(success);
                c.report(success ? SERVICE_RUNNING : SERVICE_PAUSED);
            });
            break;
        default:
            ui_.post([this, control] {
                if (events_ != nullptr)
                    events_->NTService_Control(static_cast<long>(control));
            });
            break;
        }
    }

private:
    UiThread& ui_;
    // Touched on the user-interface thread only.
    ServiceEvents* events_ = nullptr;
};

void WINAPI Connection::serviceMain(DWORD, LPWSTR*)
{
    Connection& c = get();
    SERVICE_STATUS_HANDLE status = registration(c.name_.c_str(), &Connection::handler, &c);
    if (status == nullptr) {
        // Nothing can reach the service now: the start is told to fail rather than
        // wait for a handler that never comes.
        DWORD error = ::GetLastError();
        c.fail(error == 0 ? ERROR_SERVICE_NO_THREAD : error);
        return;
    }
    {
        std::lock_guard lock(c.statusMutex_);
        c.status_ = status;
    }
    c.report(SERVICE_START_PENDING);
    std::lock_guard lock(c.mutex_);
    c.changed_.notify_all();
}

DWORD WINAPI Connection::handler(DWORD control, DWORD, LPVOID, LPVOID context)
{
    auto& c = *static_cast<Connection*>(context);
    if (control == SERVICE_CONTROL_INTERROGATE) {
        c.reportAgain();
        return NO_ERROR;
    }
    WindowsServiceManager* manager = c.manager();
    if (manager == nullptr)
        return ERROR_CALL_NOT_IMPLEMENTED;
    const DWORD accepted = c.accepted();
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        c.report(SERVICE_STOP_PENDING);
        break;
    case SERVICE_CONTROL_PAUSE:
        if ((accepted & SERVICE_ACCEPT_PAUSE_CONTINUE) == 0)
            return ERROR_CALL_NOT_IMPLEMENTED;
        c.report(SERVICE_PAUSE_PENDING);
        break;
    case SERVICE_CONTROL_CONTINUE:
        if ((accepted & SERVICE_ACCEPT_PAUSE_CONTINUE) == 0)
            return ERROR_CALL_NOT_IMPLEMENTED;
        c.report(SERVICE_CONTINUE_PENDING);
        break;
    default:
        // Only the codes a service defines for itself (128 to 255) reach its Control event.
        if (control < 128 || control > 255)
            return ERROR_CALL_NOT_IMPLEMENTED;
        break;
    }
    manager->request(control);
    return NO_ERROR;
}

} // namespace

std::unique_ptr<ServiceManager> makeWindowsServiceManager(UiThread& ui)
{
    return std::make_unique<WindowsServiceManager>(ui);
}

void setHandlerRegistration(HandlerRegistration r)
{
    registration = r;
}

void connectServiceManager(std::u16string_view serviceName)
{
    Connection::get().connect(win::wide(serviceName));
}

void installServiceHost(UiThread& ui)
{
    static std::unique_ptr<ServiceManager> manager;
    static std::unique_ptr<EventLog> log;
    manager = makeWindowsServiceManager(ui);
    if (auto file = environmentPath("CORVANE_EVENT_LOG_FILE"))
        log = makeFileEventLog(*file);
    else
        log = std::make_unique<WindowsEventLog>(u"ip_update");
    installService<ServiceManager>(*manager);
    installService<EventLog>(*log);
}

} // namespace platform

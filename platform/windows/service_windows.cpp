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

std::wstring quotedProgram()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return L"\"" + path + L"\"";
}

class WindowsServiceManager;
// The dispatcher's callbacks carry no context of their own.
WindowsServiceManager* running = nullptr;

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
        std::wstring program = quotedProgram();
        // The start modes are the service control manager's own numbers.
        ScHandle service(::CreateServiceW(manager.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS, type,
                                          static_cast<DWORD>(s.startMode), SERVICE_ERROR_NORMAL, program.c_str(),
                                          nullptr, nullptr, nullptr, nullptr, nullptr));
        return static_cast<bool>(service);
    }

    bool uninstall(const ServiceDefinition& s) override
    {
        ScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (!manager)
            return false;
        ScHandle service(::OpenServiceW(manager.get(), win::wide(s.serviceName).c_str(), DELETE));
        return service && ::DeleteService(service.get());
    }

    bool saveSetting(const ServiceDefinition& s, std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) override
    {
        std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + win::wide(s.serviceName) + L"\\" +
                            win::wide(section);
        HKEY hkey = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hkey,
                              nullptr) != ERROR_SUCCESS)
            return false;
        std::wstring data = win::wide(value);
        LONG r = ::RegSetValueExW(hkey, win::wide(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                  DWORD((data.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(hkey);
        return r == ERROR_SUCCESS;
    }

    void run(const ServiceDefinition& s, ServiceEvents& events) override
    {
        if (events_ != nullptr || running != nullptr)
            throw ServiceError(ERROR_SERVICE_ALREADY_RUNNING, win::errorDescription(ERROR_SERVICE_ALREADY_RUNNING));
        name_ = win::wide(s.serviceName);
        accepted_ = SERVICE_ACCEPT_STOP;
        if (s.controlsAccepted & svcCtrlPauseContinue)
            accepted_ |= SERVICE_ACCEPT_PAUSE_CONTINUE;
        events_ = &events;
        running = this;
        // The dispatcher holds its thread until the service stops; the started service
        // (or the dispatcher's refusal) is waited for here.
        std::thread([this] {
            SERVICE_TABLE_ENTRYW table[] = {{name_.data(), &WindowsServiceManager::serviceMain}, {nullptr, nullptr}};
            if (!::StartServiceCtrlDispatcherW(table)) {
                DWORD error = ::GetLastError();
                std::lock_guard lock(mutex_);
                dispatcherError_ = error == 0 ? ERROR_FAILED_SERVICE_CONTROLLER_CONNECT : error;
                changed_.notify_all();
            }
        }).detach();
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_ || dispatcherError_ != 0; });
        if (dispatcherError_ != 0) {
            DWORD error = dispatcherError_;
            events_ = nullptr;
            running = nullptr;
            throw ServiceError(static_cast<long>(error), win::errorDescription(error));
        }
    }

    void detach(ServiceEvents& events) override
    {
        if (events_ == &events)
            events_ = nullptr;
    }

private:
    static void WINAPI serviceMain(DWORD, LPWSTR*)
    {
        WindowsServiceManager* self = running;
        self->status_ = ::RegisterServiceCtrlHandlerExW(self->name_.c_str(), &WindowsServiceManager::handler, self);
        if (self->status_ == nullptr)
            return;
        self->report(SERVICE_START_PENDING);
        {
            std::lock_guard lock(self->mutex_);
            self->started_ = true;
            self->changed_.notify_all();
        }
        self->ui_.post([self] {
            bool success = false;
            if (self->events_ != nullptr)
                self->events_->NTService_Start(success);
            self->report(success ? SERVICE_RUNNING : SERVICE_STOPPED);
        });
    }

    static DWORD WINAPI handler(DWORD control, DWORD, LPVOID, LPVOID context)
    {
        auto* self = static_cast<WindowsServiceManager*>(context);
        switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            self->report(SERVICE_STOP_PENDING);
            self->ui_.post([self] {
                if (self->events_ != nullptr)
                    self->events_->NTService_Stop();
                self->report(SERVICE_STOPPED);
                service<Program>().end(0);
            });
            return NO_ERROR;
        case SERVICE_CONTROL_PAUSE:
            if ((self->accepted_ & SERVICE_ACCEPT_PAUSE_CONTINUE) == 0)
                return ERROR_CALL_NOT_IMPLEMENTED;
            self->report(SERVICE_PAUSE_PENDING);
            self->ui_.post([self] {
                bool success = false;
                if (self->events_ != nullptr)
                    self->events_->NTService_Pause(success);
                self->report(success ? SERVICE_PAUSED : SERVICE_RUNNING);
            });
            return NO_ERROR;
        case SERVICE_CONTROL_CONTINUE:
            if ((self->accepted_ & SERVICE_ACCEPT_PAUSE_CONTINUE) == 0)
                return ERROR_CALL_NOT_IMPLEMENTED;
            self->report(SERVICE_CONTINUE_PENDING);
            self->ui_.post([self] {
                bool success = false;
                if (self->events_ != nullptr)
                    self->events_->NTService_Continue(success);
                self->report(success ? SERVICE_RUNNING : SERVICE_PAUSED);
            });
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            self->report(self->state_);
            return NO_ERROR;
        default:
            // The codes a service defines for itself.
            if (control >= 128 && control <= 255) {
                self->ui_.post([self, control] {
                    if (self->events_ != nullptr)
                        self->events_->NTService_Control(static_cast<long>(control));
                });
                return NO_ERROR;
            }
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }

    void report(DWORD state)
    {
        std::lock_guard lock(statusMutex_);
        state_ = state;
        SERVICE_STATUS status {};
        status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status.dwCurrentState = state;
        bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                       state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
        status.dwControlsAccepted = pending || state == SERVICE_STOPPED ? 0 : accepted_;
        status.dwWin32ExitCode = NO_ERROR;
        status.dwCheckPoint = pending ? ++checkPoint_ : 0;
        status.dwWaitHint = pending ? 3000 : 0;
        ::SetServiceStatus(status_, &status);
    }

    UiThread& ui_;
    // Touched on the user-interface thread only.
    ServiceEvents* events_ = nullptr;
    std::wstring name_;
    DWORD accepted_ = 0;
    SERVICE_STATUS_HANDLE status_ = nullptr;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    DWORD dispatcherError_ = 0;

    std::mutex statusMutex_;
    DWORD state_ = SERVICE_STOPPED;
    DWORD checkPoint_ = 0;
};

} // namespace

std::unique_ptr<ServiceManager> makeWindowsServiceManager(UiThread& ui)
{
    return std::make_unique<WindowsServiceManager>(ui);
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

// The service control on Linux: a systemd unit, systemctl, and signals as the service
// manager's requests.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/host_paths.h"
#include "platform/linux/service_linux.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/text_file.h"

extern char** environ;

namespace platform {

namespace {

// The UTF-8 sequence at the start of s: its length, 0 where s starts with a byte that
// begins no valid sequence (overlong forms and surrogates included); the code point
// goes to c.
std::size_t utf8Sequence(std::string_view s, char32_t& c)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                       : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || length > s.size())
        return 0;
    c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    static constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < shortest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

// A value for a line of the unit: no control character (a line break would start a
// line of its own; systemd refuses the others), "%" written "%%" as specifiers want.
// Inside double quotes, "\" and the quote are escaped; bytes that are not UTF-8, which
// systemd refuses in a unit file, become "\xHH" where escapes are allowed, and refuse
// the value elsewhere. Nothing when the value cannot be written.
enum class Form { Plain, Quoted, QuotedUtf8Only };

std::optional<std::string> unitValue(std::string_view s, Form form)
{
    std::string out = form == Form::Plain ? "" : "\"";
    while (!s.empty()) {
        char32_t c = 0;
        std::size_t n = utf8Sequence(s, c);
        if (n == 0) {
            if (form != Form::Quoted)
                return std::nullopt;
            static constexpr char hex[] = "0123456789abcdef";
            const auto b = static_cast<unsigned char>(s[0]);
            out += {'\\', 'x', hex[b >> 4], hex[b & 0xF]};
            s.remove_prefix(1);
            continue;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            return std::nullopt;
        if (c == '%')
            out += '%';
        if (form != Form::Plain && (c == '\\' || c == '"'))
            out += '\\';
        out += s.substr(0, n);
        s.remove_prefix(n);
    }
    if (form == Form::Plain) {
        // A line that ends in "\" goes on in the next; blanks at the ends are dropped.
        if (!out.empty() && (out.back() == '\\' || out.back() == ' ' || out.front() == ' '))
            return std::nullopt;
        return out;
    }
    return out + "\"";
}

// The program of ExecStart=: an absolute path, quoted for its blanks. systemd takes
// no quote or backslash in it at all, and expands no "$" there.
std::optional<std::string> unitProgram(const std::filesystem::path& program)
{
    const std::string path = program.string();
    if (!program.is_absolute() || path.find_first_of("\\\"'") != std::string::npos)
        return std::nullopt;
    return unitValue(path, Form::Quoted);
}

// One Environment= assignment, quoted whole; "$" has no meaning there, and the value
// must be UTF-8.
std::optional<std::string> unitAssignment(std::string_view name, std::string_view value)
{
    return unitValue(std::string(name) + "=" + std::string(value), Form::QuotedUtf8Only);
}

// Runs systemctl with these arguments and waits for it: its exit code, -1 when it
// cannot be started.
int systemctl(std::vector<std::string> args)
{
    args.insert(args.begin(), "systemctl");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "systemctl", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::filesystem::path runningExecutable()
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec);
}

// The unit, or nothing when a value cannot be written into it as systemd reads it.
std::optional<std::string> unitText(const ServiceDefinition& s)
{
    // The program of the application folder, under the name it runs by now.
    std::error_code ec;
    auto program = std::filesystem::absolute(appFolder() / runningExecutable().filename(), ec);
    auto description = unitValue(text::toUtf8(s.displayName), Form::Plain);
    auto start = unitProgram(program);
    if (ec || !description || !start)
        return std::nullopt;
    std::string unit;
    unit += "[Unit]\n";
    unit += "Description=" + *description + "\n";
    unit += "\n[Service]\n";
    unit += "Type=simple\n";
    unit += "ExecStart=" + *start + "\n";
    // A reload asks the service for the address lookup.
    unit += "ExecReload=/bin/kill -HUP $MAINPID\n";
    // A system service has no display.
    unit += "Environment=" + *unitAssignment("QT_QPA_PLATFORM", "offscreen") + "\n";
    // The service works on the same folders as the program that installed it, which
    // are named relative to the installer's working folder, not the service's.
    for (const char* name : {"CORVANE_WINDOWS_DIR", "CORVANE_TOOLS_DIR"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
            auto assignment = unitAssignment(name, std::filesystem::absolute(value, ec).string());
            if (ec || !assignment)
                return std::nullopt;
            unit += "Environment=" + *assignment + "\n";
        }
    if (s.startMode == svcStartAutomatic)
        unit += "\n[Install]\nWantedBy=multi-user.target\n";
    return unit;
}

// The write end of the self-pipe, for the signal handler.
volatile std::sig_atomic_t signalPipe = -1;

void onSignal(int signal)
{
    int saved = errno;
    unsigned char code = static_cast<unsigned char>(signal);
    [[maybe_unused]] auto n = ::write(signalPipe, &code, 1);
    errno = saved;
}

constexpr unsigned char startRequest = 0;
constexpr int handledSignals[] = {SIGTERM, SIGUSR1, SIGUSR2, SIGHUP};

class SystemdServiceManager final : public ServiceManager {
public:
    explicit SystemdServiceManager(ReadableWatch& watch) : watch_(watch) {}
    ~SystemdServiceManager() override
    {
        if (events_ != nullptr)
            detach(*events_);
    }

    bool install(const ServiceDefinition& s) override
    {
        std::error_code ec;
        auto unit = unitFile(s);
        if (std::filesystem::exists(unit, ec))
            return false;
        auto text = unitText(s);
        if (!text || !replaceFileBytes(pathText(unit), *text))
            return false;
        bool ok = systemctl({"daemon-reload"}) == 0;
        if (ok && s.startMode == svcStartAutomatic)
            ok = systemctl({"enable", unitName(s)}) == 0;
        if (!ok) {
            // A refused registration leaves nothing behind, so that it can be tried again.
            std::filesystem::remove(unit, ec);
            systemctl({"daemon-reload"});
        }
        return ok;
    }

    bool uninstall(const ServiceDefinition& s) override
    {
        std::error_code ec;
        auto unit = unitFile(s);
        if (!std::filesystem::exists(unit, ec))
            return false;
        if (systemctl({"disable", unitName(s)}) != 0)
            return false;
        if (!std::filesystem::remove(unit, ec))
            return false;
        std::filesystem::remove(settingsFile(s), ec);
        systemctl({"daemon-reload"});
        return true;
    }

    void run(const ServiceDefinition& s, ServiceEvents& events) override
    {
        if (events_ != nullptr)
            throw ServiceError(1056, u"服务的实例已在运行。");
        if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0)
            throw ServiceError(errno, text::fromUtf8(std::strerror(errno)));
        signalPipe = pipe_[1];
        struct sigaction action {};
        action.sa_handler = onSignal;
        ::sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < std::size(handledSignals); ++i)
            ::sigaction(handledSignals[i], &action, &previous_[i]);
        events_ = &events;
        accepted_ = s.controlsAccepted;
        watch_.watch(pipe_[0], [this] { dispatch(); });
        unsigned char code = startRequest;
        [[maybe_unused]] auto n = ::write(pipe_[1], &code, 1);
    }

    void detach(ServiceEvents& events) override
    {
        if (events_ != &events)
            return;
        for (std::size_t i = 0; i < std::size(handledSignals); ++i)
            ::sigaction(handledSignals[i], &previous_[i], nullptr);
        signalPipe = -1;
        watch_.unwatch(pipe_[0]);
        ::close(pipe_[0]);
        ::close(pipe_[1]);
        pipe_[0] = pipe_[1] = -1;
        events_ = nullptr;
    }

    bool saveSetting(const ServiceDefinition& s, std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) override
    {
        return WritePrivateProfileString(section, key, value, pathText(settingsFile(s)));
    }

private:
    static std::string unitName(const ServiceDefinition& s) { return text::toUtf8(s.serviceName) + ".service"; }
    static std::filesystem::path unitFile(const ServiceDefinition& s) { return unitFolder() / unitName(s); }
    static std::filesystem::path settingsFile(const ServiceDefinition& s)
    {
        return unitFolder() / (text::toUtf8(s.serviceName) + ".ini");
    }

    void dispatch()
    {
        std::vector<unsigned char> codes;
        unsigned char buffer[64];
        ssize_t n;
        while (pipe_[0] >= 0 && (n = ::read(pipe_[0], buffer, sizeof buffer)) > 0)
            codes.insert(codes.end(), buffer, buffer + n);
        for (unsigned char code : codes) {
            // A handler may have unloaded the window, and the control with it.
            if (events_ == nullptr)
                return;
            bool success = false;
            switch (code) {
            case startRequest:
                events_->NTService_Start(success);
                break;
            case SIGTERM:
                // Stop cannot be refused here: systemd ends a service that ignores it.
                events_->NTService_Stop();
                service<Program>().end(0);
                return;
            case SIGUSR1:
                if (accepted_ & svcCtrlPauseContinue)
                    events_->NTService_Pause(success);
                break;
            case SIGUSR2:
                if (accepted_ & svcCtrlPauseContinue)
                    events_->NTService_Continue(success);
                break;
            case SIGHUP:
                events_->lookupRequested();
                break;
            default:
                break;
            }
        }
    }

    ReadableWatch& watch_;
    ServiceEvents* events_ = nullptr;
    long accepted_ = 0;
    int pipe_[2] = {-1, -1};
    struct sigaction previous_[std::size(handledSignals)] {};
};

} // namespace

std::filesystem::path unitFolder()
{
    if (const char* env = std::getenv("CORVANE_UNIT_DIR"); env != nullptr && *env != '\0')
        return env;
    return "/etc/systemd/system";
}

std::unique_ptr<ServiceManager> makeSystemdServiceManager(ReadableWatch& watch)
{
    return std::make_unique<SystemdServiceManager>(watch);
}

void installServiceHost(UiThread& ui)
{
    static std::unique_ptr<ReadableWatch> watch;
    static std::unique_ptr<ServiceManager> manager;
    static std::unique_ptr<EventLog> log;
    manager.reset(); // it holds the old watch
    watch = makeThreadWatch(ui);
    manager = makeSystemdServiceManager(*watch);
    if (const char* file = std::getenv("CORVANE_EVENT_LOG_FILE"); file != nullptr && *file != '\0')
        log = makeFileEventLog(file);
    else
        log = makeJournalEventLog("ip_update");
    installService<ServiceManager>(*manager);
    installService<EventLog>(*log);
}

} // namespace platform

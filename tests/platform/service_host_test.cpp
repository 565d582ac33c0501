// The service control's host on Linux: the systemd unit and systemctl, the signals as
// service events handed to the user-interface thread, and the event log (journal
// datagrams and the file sink).

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/fakes/fakes.h"
#include "platform/linux/service_linux.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace {

using platform::ServiceDefinition;

// Sets environment variables for the length of a scope.
class ScopedEnv {
public:
    void set(const char* name, const std::string& value)
    {
        const char* old = std::getenv(name);
        saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        ::setenv(name, value.c_str(), 1);
    }
    void unset(const char* name)
    {
        const char* old = std::getenv(name);
        saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                ::setenv(it->first, it->second->c_str(), 1);
            else
                ::unsetenv(it->first);
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

class NoWatch final : public platform::ReadableWatch {
public:
    void watch(int, std::function<void()>) override {}
    void unwatch(int) override {}
};

ServiceDefinition ipUpdate()
{
    return {u"ip_update", u"目录服务", platform::svcStartAutomatic, 0, true};
}

// A systemctl that records its arguments, one call a line, and refuses the verb named
// by SYSTEMCTL_REFUSE.
const char* fakeSystemctl = R"(#!/bin/sh
echo "$*" >> "$SYSTEMCTL_LOG"
[ -n "$SYSTEMCTL_REFUSE" ] && [ "$1" = "$SYSTEMCTL_REFUSE" ] && exit 1
exit 0
)";

class SystemdHost : public ::testing::Test {
protected:
    SystemdHost()
    {
        tmp.write("bin/systemctl", fakeSystemctl);
        std::filesystem::permissions(tmp / "bin/systemctl", std::filesystem::perms::owner_all);
        std::filesystem::create_directories(tmp / "units");
        env.set("PATH", (tmp / "bin").string() + ":" + std::getenv("PATH"));
        env.set("CORVANE_UNIT_DIR", (tmp / "units").string());
        env.set("SYSTEMCTL_LOG", (tmp / "systemctl.log").string());
        env.unset("SYSTEMCTL_REFUSE");
        env.unset("CORVANE_TOOLS_DIR");
        env.set("CORVANE_WINDOWS_DIR", "/var/lib/a b%/$w");
        platform::setAppFolder(tmp / "app");
    }
    ~SystemdHost() override { platform::setAppFolder(std::filesystem::path()); }

    std::string calls() const
    {
        std::string log = tmp.read("systemctl.log");
        return log == "<missing>" ? "" : log;
    }

    testsupport::TempFolder tmp;
    ScopedEnv env;
    NoWatch watch;
    std::unique_ptr<platform::ServiceManager> manager = platform::makeSystemdServiceManager(watch);
};

TEST_F(SystemdHost, InstallWritesTheUnitEnablesItAndSavesTheSetting)
{
    ASSERT_TRUE(manager->install(ipUpdate()));
    ASSERT_TRUE(manager->saveSetting(ipUpdate(), u"Parameters", u"TimerInterval", u"300"));

    auto program = tmp.path() / "app" / std::filesystem::read_symlink("/proc/self/exe").filename();
    EXPECT_EQ(tmp.read("units/ip_update.service"),
              "[Unit]\n"
              "Description=目录服务\n"
              "\n[Service]\n"
              "Type=simple\n"
              "ExecStart=\"" + program.string() + "\"\n"
              "ExecReload=/bin/kill -HUP $MAINPID\n"
              "Environment=\"QT_QPA_PLATFORM=offscreen\"\n"
              "Environment=\"CORVANE_WINDOWS_DIR=/var/lib/a b%%/$w\"\n"
              "\n[Install]\n"
              "WantedBy=multi-user.target\n");
    EXPECT_EQ(calls(), "daemon-reload\nenable ip_update.service\n");
    EXPECT_EQ(tmp.read("units/ip_update.ini"), "[Parameters]\r\nTimerInterval=300\r\n");
}

// ---- The unit as systemd reads it ---------------------------------------------------------

// One setting of a unit file as systemd reads it back, or what went wrong.
struct UnitSetting {
    std::string section, key;
    std::vector<std::string> words; // unquoted, escapes and "%%" resolved
};

// Splits a value into words by systemd's quoting rules: blanks separate words, a word
// may be wrapped whole in double or single quotes, C escapes anywhere; then "%%" is a
// "%" and any other specifier is an error here (the unit uses none).
std::vector<std::string> unitWords(std::string_view value, std::string& error)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    auto hex = [&](std::size_t digits) {
        unsigned long v = std::stoul(std::string(value.substr(i, digits)), nullptr, 16);
        i += digits;
        return v;
    };
    auto utf8 = [](unsigned long c) {
        std::string out;
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
            out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        else
            out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        return out;
    };
    while (i < value.size()) {
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        if (i == value.size())
            break;
        std::string word;
        char quote = 0;
        if (value[i] == '"' || value[i] == '\'')
            quote = value[i++];
        for (;;) {
            if (i == value.size()) {
                if (quote != 0)
                    error = "unterminated quote";
                break;
            }
            char c = value[i++];
            if (quote != 0 && c == quote) {
                if (i < value.size() && value[i] != ' ' && value[i] != '\t')
                    error = "a closing quote inside a word";
                break;
            }
            if (quote == 0 && (c == ' ' || c == '\t'))
                break;
            if (c != '\\') {
                word += c;
                continue;
            }
            if (i == value.size()) {
                error = "a backslash at the end";
                break;
            }
            char e = value[i++];
            switch (e) {
            case 'a': word += '\a'; break;
            case 'b': word += '\b'; break;
            case 'f': word += '\f'; break;
            case 'n': word += '\n'; break;
            case 'r': word += '\r'; break;
            case 't': word += '\t'; break;
            case 'v': word += '\v'; break;
            case 's': word += ' '; break;
            case '\\': case '"': case '\'': word += e; break;
            case 'x': word += static_cast<char>(hex(2)); break;
            case 'u': word += utf8(hex(4)); break;
            default:
                error = std::string("unknown escape \\") + e;
            }
        }
        std::string resolved;
        for (std::size_t k = 0; k < word.size(); ++k) {
            resolved += word[k];
            if (word[k] == '%') {
                if (k + 1 < word.size() && word[k + 1] == '%')
                    ++k;
                else
                    error = "a specifier: " + word;
            }
        }
        words.push_back(resolved);
    }
    return words;
}

// The unit's settings in order; a line that ends in a backslash goes on in the next.
std::vector<UnitSetting> readUnit(std::string text, std::string& error)
{
    std::vector<UnitSetting> settings;
    std::string section, line;
    std::istringstream in(text);
    std::string piece;
    while (std::getline(in, piece)) {
        if (!piece.empty() && piece.back() == '\\') {
            line += piece.substr(0, piece.size() - 1) + " ";
            continue;
        }
        line += piece;
        if (line.empty() || line[0] == '#' || line[0] == ';') {
        } else if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
        } else {
            auto eq = line.find('=');
            if (eq == std::string::npos)
                error = "no '=' in " + line;
            else
                settings.push_back({section, line.substr(0, eq), unitWords(std::string_view(line).substr(eq + 1), error)});
        }
        line.clear();
    }
    return settings;
}

struct UnitValues {
    std::string program;
    std::map<std::string, std::string> environment;
    std::vector<std::string> keys; // section/key of every setting, in order
};

UnitValues unitValues(const std::string& unit, std::string& error)
{
    UnitValues v;
    for (const auto& s : readUnit(unit, error)) {
        v.keys.push_back(s.section + "/" + s.key);
        if (s.key == "ExecStart") {
            if (s.words.size() != 1)
                error = "ExecStart of " + std::to_string(s.words.size()) + " words";
            else
                v.program = s.words[0];
        }
        if (s.key == "Environment")
            for (const auto& w : s.words)
                v.environment[w.substr(0, w.find('='))] = w.substr(w.find('=') + 1);
    }
    return v;
}

struct UnitCase {
    const char* name;
    std::string appFolder; // below the test's folder
    std::string windowsDir, toolsDir; // "" leaves the variable unset
    bool installs;
};

// Folder names and environment values reach the service as they are, whatever they
// hold, or the install fails and writes nothing: a control character would start a
// line of its own in the unit (an ExecStartPre= of anyone's choosing), and systemd
// takes no quote or backslash in a program's path.
TEST_F(SystemdHost, EveryValueReachesTheServiceAsItIsOrTheInstallFails)
{
    const std::string gbkFolder = "vpn\xd6\xd0\xce\xc4"; // 中文 in code page 936, not UTF-8
    const std::vector<UnitCase> cases = {
        {"blanks, specifiers and variables", "my app 100%$HOME ${X}", "/var/lib/a b%%n/$w ${Y}", "", true},
        {"quotes and backslashes in a value", "app", "/srv/it's \"here\" \\ there\\", "/opt/t'ools", true},
        {"a folder name that is not UTF-8", gbkFolder, "/var/lib/中文", "", true},
        {"a relative folder", "app", "", "relative/tools", true},
        {"a line break in CORVANE_WINDOWS_DIR", "app", "/x\nExecStartPre=/bin/touch /tmp/owned", "", false},
        {"a line break in the program's folder", "app\nExecStartPre=/bin/true", "", "", false},
        {"a carriage return", "app", "/x\ry", "", false},
        {"a tab", "app", "", "/x\ty", false},
        {"another control character", "app", "/x\x01y", "", false},
        {"DEL", "app", "/x\x7fy", "", false},
        {"a C1 control character", "app", "/x\xc2\x85y", "", false},
        {"a value that is not UTF-8", "app", "/var/lib/" + gbkFolder, "", false},
        {"a double quote in the program's folder", "a\"b", "", "", false},
        {"a single quote in the program's folder", "it's", "", "", false},
        {"a backslash in the program's folder", "vpn\\old", "", "", false},
    };
    const auto exe = std::filesystem::read_symlink("/proc/self/exe").filename();
    const bool analyze = std::system("command -v systemd-analyze >/dev/null 2>&1") == 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(tmp / "units/ip_update.service");
        std::filesystem::remove(tmp / "systemctl.log");
        ScopedEnv local;
        for (auto [name, value] : {std::pair{"CORVANE_WINDOWS_DIR", c.windowsDir}, {"CORVANE_TOOLS_DIR", c.toolsDir}})
            if (value.empty())
                local.unset(name);
            else
                local.set(name, value);
        const auto folder = tmp.path() / c.appFolder;
        platform::setAppFolder(folder);

        ASSERT_EQ(manager->install(ipUpdate()), c.installs);
        if (!c.installs) {
            EXPECT_FALSE(tmp.exists("units/ip_update.service"));
            EXPECT_EQ(calls(), "");
            continue;
        }
        const std::string unit = tmp.read("units/ip_update.service");
        std::string error;
        const UnitValues v = unitValues(unit, error);
        EXPECT_EQ(error, "") << unit;
        std::vector<std::string> keys = {"Unit/Description", "Service/Type", "Service/ExecStart", "Service/ExecReload",
                                         "Service/Environment"};
        keys.insert(keys.end(), !c.windowsDir.empty() + !c.toolsDir.empty(), "Service/Environment");
        keys.push_back("Install/WantedBy");
        EXPECT_EQ(v.keys, keys) << unit;
        EXPECT_EQ(v.program, (folder / exe).string());
        EXPECT_EQ(v.environment.at("QT_QPA_PLATFORM"), "offscreen");
        auto expected = [](const std::string& value) {
            return value.empty() ? std::string() : std::filesystem::absolute(value).string();
        };
        EXPECT_EQ(v.environment.count("CORVANE_WINDOWS_DIR") ? v.environment.at("CORVANE_WINDOWS_DIR") : "",
                  expected(c.windowsDir));
        EXPECT_EQ(v.environment.count("CORVANE_TOOLS_DIR") ? v.environment.at("CORVANE_TOOLS_DIR") : "",
                  expected(c.toolsDir));

        // Where systemd's own checker is at hand, it takes the unit without a word.
        if (analyze) {
            std::filesystem::create_directories(folder);
            std::filesystem::copy_file("/bin/true", folder / exe, std::filesystem::copy_options::overwrite_existing);
            const std::string verify =
                "systemd-analyze verify '" + (tmp / "units/ip_update.service").string() + "' >'" +
                (tmp / "verify.log").string() + "' 2>&1";
            EXPECT_EQ(std::system(verify.c_str()), 0) << tmp.read("verify.log");
            EXPECT_EQ(tmp.read("verify.log"), "");
        }
    }
}

struct RegistrationCase {
    const char* name;
    bool installedBefore;
    const char* refuse; // the systemctl verb that fails; "" for none
    bool withSystemctl;
    bool install; // else uninstall
    bool result;
    std::string calls;
    bool unitAfter;
};

TEST_F(SystemdHost, RegistrationSucceedsOrLeavesThingsAsTheyWere)
{
    const std::vector<RegistrationCase> cases = {
        {"install twice", true, "", true, true, false, "", true},
        {"enable refused", false, "enable", true, true, false, "daemon-reload\nenable ip_update.service\ndaemon-reload\n",
         false},
        {"no systemctl", false, "", false, true, false, "", false},
        {"uninstall", true, "", true, false, true, "disable ip_update.service\ndaemon-reload\n", false},
        {"uninstall, not installed", false, "", true, false, false, "", false},
        {"disable refused", true, "disable", true, false, false, "disable ip_update.service\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(tmp / "units/ip_update.service");
        std::filesystem::remove(tmp / "units/ip_update.ini");
        if (c.installedBefore) {
            ASSERT_TRUE(manager->install(ipUpdate()));
            ASSERT_TRUE(manager->saveSetting(ipUpdate(), u"Parameters", u"TimerInterval", u"300"));
        }
        std::filesystem::remove(tmp / "systemctl.log");
        ScopedEnv local;
        local.set("SYSTEMCTL_REFUSE", c.refuse);
        if (!c.withSystemctl)
            local.set("PATH", (tmp / "units").string());

        bool result = c.install ? manager->install(ipUpdate()) : manager->uninstall(ipUpdate());
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(calls(), c.calls);
        EXPECT_EQ(tmp.exists("units/ip_update.service"), c.unitAfter);
        // The setting goes with the service, and only with it.
        EXPECT_EQ(tmp.exists("units/ip_update.ini"), c.installedBefore && c.unitAfter);
    }
}

// ---- Signals --------------------------------------------------------------------------

class CapturingWatch final : public platform::ReadableWatch {
public:
    int fd = -1;
    std::function<void()> onReadable;
    void watch(int f, std::function<void()> cb) override
    {
        fd = f;
        onReadable = std::move(cb);
    }
    // Keeps the callback: it may be running now.
    void unwatch(int f) override
    {
        if (f == fd)
            fd = -1;
    }
};

class RecordingEvents final : public platform::ServiceEvents {
public:
    explicit RecordingEvents(platform::ServiceManager& m) : manager(m) {}
    std::vector<std::string> got;
    platform::ServiceManager& manager;
    void NTService_Start(bool& s) override
    {
        got.push_back("start");
        s = true;
    }
    void NTService_Stop() override
    {
        got.push_back("stop");
        manager.detach(*this); // what unloading the window does
    }
    void NTService_Pause(bool& s) override
    {
        got.push_back("pause");
        s = true;
    }
    void NTService_Continue(bool& s) override
    {
        got.push_back("continue");
        s = true;
    }
    void NTService_Control(long) override { got.push_back("control"); }
    void lookupRequested() override { got.push_back("lookup"); }
};

bool defaultAction(int signal)
{
    struct sigaction now {};
    ::sigaction(signal, nullptr, &now);
    return now.sa_handler == SIG_DFL;
}

TEST(SystemdSignals, ArriveAsServiceEventsOnTheWatchedDescriptor)
{
    platform::fakes::FakeServices fakes;
    CapturingWatch watch;
    auto manager = platform::makeSystemdServiceManager(watch);
    RecordingEvents events(*manager);
    auto service = ipUpdate();
    service.controlsAccepted = platform::svcCtrlPauseContinue;

    manager->run(service, events);
    ASSERT_GE(watch.fd, 0);
    EXPECT_TRUE(events.got.empty()); // nothing before the loop reads it
    watch.onReadable();
    EXPECT_EQ(events.got, std::vector<std::string>{"start"});

    EXPECT_THROW(manager->run(service, events), platform::ServiceError);

    std::raise(SIGUSR1);
    std::raise(SIGUSR2);
    std::raise(SIGHUP);
    watch.onReadable();
    EXPECT_EQ(events.got, (std::vector<std::string>{"start", "pause", "continue", "lookup"}));
    EXPECT_FALSE(fakes.program.ended());

    std::raise(SIGTERM);
    std::raise(SIGUSR1); // after the stop: never delivered
    watch.onReadable();
    EXPECT_EQ(events.got.back(), "stop");
    EXPECT_EQ(events.got.size(), 5u);
    EXPECT_EQ(fakes.program.ends, std::vector<int>{0});
    // Detached: the signals have their own actions again.
    EXPECT_EQ(watch.fd, -1);
    for (int s : {SIGTERM, SIGUSR1, SIGUSR2, SIGHUP})
        EXPECT_TRUE(defaultAction(s)) << s;
}

TEST(SystemdSignals, PauseAndContinueNeedTheirControlFlag)
{
    platform::fakes::FakeServices fakes;
    CapturingWatch watch;
    auto manager = platform::makeSystemdServiceManager(watch);
    RecordingEvents events(*manager);
    manager->run(ipUpdate(), events);
    std::raise(SIGUSR1);
    std::raise(SIGUSR2);
    watch.onReadable();
    EXPECT_EQ(events.got, std::vector<std::string>{"start"});
    manager->detach(events);
}

// ---- The user-interface thread ----------------------------------------------------------

// Tasks posted from other threads, run when the test says so.
class PostedTasks final : public platform::UiThread {
public:
    void post(std::function<void()> task) override
    {
        std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
    }
    std::size_t runAll()
    {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(mutex);
            now.swap(tasks);
        }
        for (auto& t : now)
            t();
        return now.size();
    }
    std::mutex mutex;
    std::vector<std::function<void()>> tasks;
};

TEST(ThreadWatch, RunsTheCallbackOnTheUiThreadOncePerReadiness)
{
    PostedTasks ui;
    auto watch = platform::makeThreadWatch(ui);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    int calls = 0;
    watch->watch(fds[0], [&] {
        ++calls;
        char buffer[16];
        [[maybe_unused]] auto n = ::read(fds[0], buffer, sizeof buffer);
    });
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    auto posted = [&] {
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard lock(ui.mutex);
                if (!ui.tasks.empty())
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    };
    ASSERT_TRUE(posted());
    // Nothing runs on the watch's own thread, and nothing is posted twice meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ui.runAll(), 1u);
    EXPECT_EQ(calls, 1);

    ASSERT_EQ(::write(fds[1], "y", 1), 1);
    ASSERT_TRUE(posted());
    // Unwatched before the posted task runs: the callback never comes.
    watch->unwatch(fds[0]);
    ui.runAll();
    EXPECT_EQ(calls, 1);
    ::close(fds[0]);
    ::close(fds[1]);
}

// ---- Event log ------------------------------------------------------------------------

std::string le64(std::uint64_t n)
{
    std::string s;
    for (int i = 0; i < 8; ++i)
        s += static_cast<char>((n >> (8 * i)) & 0xFF);
    return s;
}

TEST(JournalEventLog, DatagramCarriesPriorityIdentifierAndEventId)
{
    EXPECT_EQ(platform::journalDatagram("ip_update", 1, 109, u"服务中止运行"),
              "MESSAGE=服务中止运行\nPRIORITY=3\nSYSLOG_IDENTIFIER=ip_update\nEVENT_ID=109\nEVENT_TYPE=1\n");
    EXPECT_EQ(platform::journalDatagram("ip_update", 4, 110, u"服务继续运行"),
              "MESSAGE=服务继续运行\nPRIORITY=6\nSYSLOG_IDENTIFIER=ip_update\nEVENT_ID=110\nEVENT_TYPE=4\n");
    // A line end in a value: the length-prefixed form.
    EXPECT_EQ(platform::journalDatagram("ip_update", 1, 109, u"a\nb"),
              "MESSAGE\n" + le64(3) + "a\nb\nPRIORITY=3\nSYSLOG_IDENTIFIER=ip_update\nEVENT_ID=109\nEVENT_TYPE=1\n");
}

TEST(JournalEventLog, SendsOneDatagramAnEntryToTheSocket)
{
    testsupport::TempFolder tmp;
    auto path = tmp / "journal.sock";
    int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    path.string().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    platform::makeJournalEventLog("ip_update", path)->logEvent(4, 110, u"服务继续运行");
    char buffer[512];
    auto n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    ::close(fd);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(n)),
              platform::journalDatagram("ip_update", 4, 110, u"服务继续运行"));
}

TEST(FileEventLog, AppendsOneLineAnEntry)
{
    testsupport::TempFolder tmp;
    auto log = platform::makeFileEventLog(tmp / "events.log");
    log->logEvent(1, 109, u"服务中止运行");
    log->logEvent(4, 110, u"服务继续运行");
    EXPECT_EQ(tmp.read("events.log"), "1\t109\t服务中止运行\n4\t110\t服务继续运行\n");
}

} // namespace

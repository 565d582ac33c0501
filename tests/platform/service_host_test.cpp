// The service control's host on Linux: the systemd unit and systemctl, the signals as
// service events handed to the user-interface thread, and the event log (journal
// datagrams and the file sink).

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
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
              "Environment=\"CORVANE_WINDOWS_DIR=/var/lib/a b%%/$$w\"\n"
              "\n[Install]\n"
              "WantedBy=multi-user.target\n");
    EXPECT_EQ(calls(), "daemon-reload\nenable ip_update.service\n");
    EXPECT_EQ(tmp.read("units/ip_update.ini"), "[Parameters]\r\nTimerInterval=300\r\n");
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

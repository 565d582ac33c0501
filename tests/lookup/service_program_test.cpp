// The service program end to end: mulu /i and /u against a unit folder of the test's own
// and a fake systemctl, and mulu run as the service, without a display, answering the
// service signals with its event-log entries.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/temp_folder.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::filesystem::path programFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

class Mulu : public ::testing::Test {
protected:
    Mulu()
    {
        tmp.write("bin/systemctl", "#!/bin/sh\necho \"$*\" >> \"$SYSTEMCTL_LOG\"\n");
        std::filesystem::permissions(tmp / "bin/systemctl", std::filesystem::perms::owner_all);
        std::filesystem::create_directories(tmp / "units");
        std::filesystem::create_directories(tmp / "run");
        std::filesystem::permissions(tmp / "run", std::filesystem::perms::owner_all);
    }
    ~Mulu() override
    {
        for (pid_t pid : started)
            if (::kill(pid, 0) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
    }

    // Starts mulu with the argument, without a display, in the test's folders (a
    // folder of the C:\windows stand-in given here), its standard error to errors.log.
    pid_t start(std::vector<std::string> args, std::optional<std::string> windowsDir = std::nullopt)
    {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string_view v(*e);
            if (v.starts_with("DISPLAY=") || v.starts_with("WAYLAND_DISPLAY=") || v.starts_with("QT_QPA_PLATFORM=") ||
                v.starts_with("CORVANE_") || v.starts_with("PATH=") || v.starts_with("XDG_RUNTIME_DIR="))
                continue;
            env.emplace_back(v);
        }
        env.push_back("PATH=" + (tmp / "bin").string() + ":" + std::getenv("PATH"));
        env.push_back("CORVANE_UNIT_DIR=" + (tmp / "units").string());
        env.push_back("CORVANE_EVENT_LOG_FILE=" + (tmp / "events.log").string());
        env.push_back("CORVANE_WINDOWS_DIR=" + windowsDir.value_or((tmp / "windows").string()));
        env.push_back("SYSTEMCTL_LOG=" + (tmp / "systemctl.log").string());
        env.push_back("XDG_RUNTIME_DIR=" + (tmp / "run").string());

        std::string program = (programFolder() / "mulu").string();
        args.insert(args.begin(), program);
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        const std::string errors = (tmp / "errors.log").string();
        ::posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        pid_t pid = 0;
        EXPECT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
        ::posix_spawn_file_actions_destroy(&actions);
        started.push_back(pid);
        return pid;
    }

    // The exit code, or nothing when the program did not end in time.
    static std::optional<int> exitCode(pid_t pid)
    {
        for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    // Waits (for a real process, not for a timer) until the condition holds.
    static bool eventually(const std::function<bool()>& condition)
    {
        for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;) {
            if (condition())
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return condition();
    }

    // The process catches these signals: its service loop is up.
    static bool catches(pid_t pid, std::initializer_list<int> signals)
    {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.starts_with("SigCgt:")) {
                unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
                for (int s : signals)
                    if ((mask & (1ULL << (s - 1))) == 0)
                        return false;
                return true;
            }
        return false;
    }

    std::string events() const
    {
        std::string log = tmp.read("events.log");
        return log == "<missing>" ? "" : log;
    }

    testsupport::TempFolder tmp;
    std::vector<pid_t> started;
};

TEST_F(Mulu, InstallsAndRemovesItsUnit)
{
    EXPECT_EQ(exitCode(start({"/i"})), 0);
    std::string unit = tmp.read("units/ip_update.service");
    EXPECT_NE(unit.find("Description=目录服务\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("ExecStart=\"" + (programFolder() / "mulu").string() + "\"\n"), std::string::npos) << unit;
    EXPECT_EQ(tmp.read("units/ip_update.ini"), "[Parameters]\r\nTimerInterval=300\r\n");
    EXPECT_EQ(tmp.read("systemctl.log"), "daemon-reload\nenable ip_update.service\n");

    EXPECT_EQ(exitCode(start({"/u"})), 0);
    EXPECT_FALSE(tmp.exists("units/ip_update.service"));
    EXPECT_FALSE(tmp.exists("units/ip_update.ini"));
    EXPECT_TRUE(events().empty());
}

// A value that the unit cannot hold fails the install with the service window's box
// (without a display, on the standard error) and leaves nothing behind.
TEST_F(Mulu, AnInstallThatCannotWriteItsUnitSaysSoAndLeavesNothing)
{
    EXPECT_EQ(exitCode(start({"/i"}, (tmp / "windows\nExecStartPre=/bin/true").string())), 1);
    EXPECT_NE(tmp.read("errors.log").find("目录服务: 安装失败！"), std::string::npos) << tmp.read("errors.log");
    EXPECT_FALSE(tmp.exists("units/ip_update.service"));
    EXPECT_FALSE(tmp.exists("units/ip_update.ini"));
    EXPECT_FALSE(tmp.exists("systemctl.log"));
}

TEST_F(Mulu, RunsAsTheServiceAndAnswersItsSignals)
{
    pid_t service = start({});
    ASSERT_TRUE(eventually([&] { return catches(service, {SIGTERM, SIGUSR1, SIGUSR2}); }));

    // A second copy ends at once, writing nothing.
    EXPECT_EQ(exitCode(start({})), 0);

    ::kill(service, SIGUSR1);
    ASSERT_TRUE(eventually([&] { return events() == "1\t109\t服务中止运行\n"; })) << events();
    ::kill(service, SIGUSR2);
    ASSERT_TRUE(eventually([&] { return events() == "1\t109\t服务中止运行\n4\t110\t服务继续运行\n"; })) << events();

    ::kill(service, SIGTERM);
    EXPECT_EQ(exitCode(service), 0);
    EXPECT_EQ(events(), "1\t109\t服务中止运行\n4\t110\t服务继续运行\n");
}

} // namespace

// The stand-ins of cmd, net, sc and taskkill (tools/): what each does, and what it refuses.
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/paths.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

using testsupport::TempFolder;

namespace {

struct Result {
    int status;
    std::string errors;
};

// Runs a command stand-in to its end, with a fake systemctl that records its
// arguments first on PATH.
class Tools {
public:
    Tools() { testsupport::writeScript(bin, "systemctl", "printf '%s\\n' \"$*\" >>\"$RECORD\"\nexit ${FAKE_STATUS:-0}\n"); }

    Result run(std::vector<std::string> args, std::vector<std::string> extraEnv = {}) const
    {
        args.front() = (platform::toolsFolder() / args.front()).string();
        std::vector<std::string> env{"PATH=" + bin.path().string() + ":/usr/bin:/bin",
                                     "RECORD=" + (out / "record").string()};
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        const int status = testsupport::runToEnd(args, env, out / "stderr", testsupport::Output::Errors);
        return {status, out.read("stderr")};
    }

    std::string record() const { return out.exists("record") ? out.read("record") : ""; }
    void clear() const { std::filesystem::remove(out / "record"); }

    TempFolder bin, out;
};

// A copy of cat under another name, blocked reading a pipe that never gets data.
// Returns once the exec is done (a close-on-exec pipe closes), so that it has its name.
pid_t startVictim(const std::filesystem::path& exe, int input)
{
    int execed[2];
    if (::pipe2(execed, O_CLOEXEC) != 0)
        return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(input, 0);
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(execed[1]);
    char c;
    while (::read(execed[0], &c, 1) > 0) {
    }
    ::close(execed[0]);
    return pid;
}

// Sends the signal and answers the signal that the process died of: a process that an
// earlier kill had already ended shows that one.
int endOf(pid_t pid, int signal)
{
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

} // namespace

TEST(Tools, TurnServiceCommandsIntoSystemctl)
{
    Tools t;
    struct Case {
        std::vector<std::string> args;
        std::string record;
    } cases[] = {
        {{"cmd", "/c", "NET", "START", "openvpnservice"}, "start openvpnservice.service\n"},
        {{"cmd", "/C", "net", "stop", "OpenVPNService"}, "stop openvpnservice.service\n"},
        {{"net", "Start", "OpenVPNService"}, "start openvpnservice.service\n"},
        {{"sc", "config", "OpenVPNService", "start=", "auto"}, "enable openvpnservice.service\n"},
        {{"sc", "config", "OpenVPNService", "start=", "demand"}, "disable openvpnservice.service\n"},
        {{"cmd", "/c", "SC.EXE", "CONFIG", "ip_update", "START=", "AUTO"}, "enable ip_update.service\n"},
    };
    for (const auto& c : cases) {
        t.clear();
        Result r = t.run(c.args);
        EXPECT_EQ(r.status, 0) << c.args[2] << r.errors;
        EXPECT_EQ(t.record(), c.record) << c.args[2];
    }
    // cmd /c gives back the command's exit status.
    t.clear();
    EXPECT_EQ(t.run({"cmd", "/c", "net", "start", "x"}, {"FAKE_STATUS=5"}).status, 5);
}

TEST(Tools, RefuseArgumentsTheyDoNotKnow)
{
    Tools t;
    const std::vector<std::string> refused[] = {
        {"cmd"},
        {"cmd", "/k", "net"},
        {"cmd", "/c"},
        {"cmd", "/c", "start"},
        {"net"},
        {"net", "start"},
        {"net", "pause", "openvpnservice"},
        {"net", "start", "a", "b"},
        {"sc", "query", "openvpnservice"},
        {"sc", "config", "openvpnservice", "start=", "boot"},
        {"sc", "config", "openvpnservice", "start", "auto"},
        {"taskkill"},
        {"taskkill", "/f"},
        {"taskkill", "/im"},
        {"taskkill", "/pid", "1"},
    };
    for (const auto& args : refused) {
        Result r = t.run(args);
        std::string line;
        for (const auto& a : args)
            line += a + " ";
        EXPECT_NE(r.status, 0) << line;
        EXPECT_NE(r.errors.find("usage:"), std::string::npos) << line;
    }
    EXPECT_EQ(t.record(), "") << "nothing reached systemctl";
    EXPECT_EQ(t.run({"cmd", "/c", "nosuchprogram"}).status, 127);
}

TEST(Tools, CmdStartLeavesTheProgramRunning)
{
    Tools t;
    auto fifo = t.out / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Tells its process id, then waits for a line that never comes.
    testsupport::writeScript(t.bin, "hold", "echo $$ >\"$FIFO\"\nread line <\"$FIFO.never\"\n");
    ASSERT_EQ(::mkfifo((fifo.string() + ".never").c_str(), 0600), 0);

    int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    // Returns while the program still runs.
    EXPECT_EQ(t.run({"cmd", "/c", "start", "HOLD.exe"}, {"FIFO=" + fifo.string()}).status, 0);
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1) << "the program never started";
    char buffer[32] = {};
    ASSERT_GT(::read(fd, buffer, sizeof buffer - 1), 0);
    ::close(fd);
    pid_t pid = std::atoi(buffer);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), 0) << "still running";
    EXPECT_NE(::getsid(pid), ::getsid(0));
    ::kill(pid, SIGKILL);
}

TEST(Tools, TaskkillEndsTheProcessesOfOneName)
{
    Tools t;
    std::filesystem::copy_file("/bin/cat", t.bin / "victim.exe");
    std::filesystem::copy_file("/bin/cat", t.bin / "bystander.exe");
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);

    pid_t victims[] = {startVictim(t.bin / "victim.exe", pipeFds[0]), startVictim(t.bin / "victim.exe", pipeFds[0])};
    pid_t bystander = startVictim(t.bin / "bystander.exe", pipeFds[0]);
    EXPECT_EQ(t.run({"taskkill", "/f", "/im", "VICTIM.EXE"}).status, 0);
    for (pid_t v : victims)
        EXPECT_EQ(endOf(v, SIGTERM), SIGKILL) << "killed by taskkill";
    EXPECT_EQ(endOf(bystander, SIGTERM), SIGTERM) << "left alone";
    EXPECT_EQ(t.run({"taskkill", "/f", "/im", "victim.exe"}).status, 128) << "none left";

    // Without /f the process is asked to end.
    pid_t polite = startVictim(t.bin / "victim.exe", pipeFds[0]);
    EXPECT_EQ(t.run({"taskkill", "/IM", "victim.exe"}).status, 0);
    EXPECT_EQ(endOf(polite, SIGKILL), SIGTERM);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

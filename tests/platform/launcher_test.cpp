// Starting programs on Linux: Windows command-line rules, finding the program, detached starts.
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/launcher.h"
#include "platform/linux/launcher_linux.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/temp_folder.h"

using platform::planLaunch;
using platform::splitCommandLine;
using platform::text::fromUtf8;
using platform::text::toUtf8;
using testsupport::TempFolder;

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

void program(const TempFolder& t, const std::string& name, const std::string& body, mode_t mode = 0755)
{
    t.write(name, body);
    ::chmod((t / name).c_str(), mode);
}

// What a started program writes into the FIFO, up to its closing it; "<timeout>" when
// nothing came within ten seconds (the program never ran).
std::string readFifo(const std::filesystem::path& fifo)
{
    int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return "<no fifo>";
    std::string got;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0) {
            got = "<timeout>";
            break;
        }
        char buffer[512];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return got;
}

// A tools folder, a PATH folder and an application folder with a blank in its name.
struct Folders {
    TempFolder tools, path, app, windows;
    ScopedEnv toolsEnv{"CORVANE_TOOLS_DIR", tools.path().string()};
    ScopedEnv pathEnv{"PATH", path.path().string() + ":/usr/bin:/bin"};
    std::string appDir = (app / "Corvane VPN").string();

    Folders()
    {
        platform::setWindowsFolder(windows.path());
        program(tools, "probe", "#!/bin/sh\nexit 0\n");
        program(tools, "cmd", "#!/bin/sh\nexit 0\n");
        program(path, "java", "#!/bin/sh\nexit 0\n");
        program(path, "probe", "#!/bin/sh\nexit 0\n");
        program(app, "Corvane VPN/bin/openvpnserv", "#!/bin/sh\nexit 0\n");
        program(app, "Corvane VPN/bin/addtap.bat", "echo\n");
        program(app, "Corvane VPN/bin/both", "#!/bin/sh\nexit 0\n");
        program(app, "Corvane VPN/bin/both.exe", "not a program\n", 0644);
        program(app, "Corvane VPN/notexec", "#!/bin/sh\nexit 0\n", 0644);
    }
    ~Folders() { platform::setWindowsFolder(std::filesystem::path("/var/lib/corvane/windows")); }

    std::u16string appPath() const { return fromUtf8(appDir); }
};

} // namespace

TEST(Launcher, SplitsCommandLinesByTheWindowsRules)
{
    struct Case {
        std::u16string line;
        std::vector<std::u16string> args;
    } cases[] = {
        {u"cmd /c NET START openvpnservice", {u"cmd", u"/c", u"NET", u"START", u"openvpnservice"}},
        {u"  sc\tconfig  OpenVPNService start= auto  ", {u"sc", u"config", u"OpenVPNService", u"start=", u"auto"}},
        {u"\"C:\\Program Files\\x.exe\" -y", {u"C:\\Program Files\\x.exe", u"-y"}},
        {u"\"a b\"c d", {u"a bc", u"d"}},
        {u"p \"a b\" c\\d\\", {u"p", u"a b", u"c\\d\\"}},
        {u"p a\\\"b \"c\\\"d\"", {u"p", u"a\"b", u"c\"d"}},
        {u"p a\\\\\\\\\"b c\"", {u"p", u"a\\\\b c"}},
        {u"p \"\" x", {u"p", u"", u"x"}},
        {u"p \"a\"\"b\"", {u"p", u"a\"b"}},
        {u"p \"open", {u"p", u"open"}},
        {u"   ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.args) << toUtf8(c.line);
}

TEST(Launcher, FindsTheProgramAsWindowsWould)
{
    Folders f;
    const std::string tools = f.tools.path().string();
    const std::string app = f.appDir;
    struct Case {
        std::u16string line;
        std::optional<std::string> program;
        std::vector<std::string> args;
    } cases[] = {
        {u"PROBE.EXE a", tools + "/probe", {"a"}},
        {u"cmd.exe /c java -cp /opt/x\\adito-agent.jar x", tools + "/cmd", {"/c", "java", "-cp", "/opt/x/adito-agent.jar", "x"}},
        {u"java -version", f.path.path().string() + "/java", {"-version"}},
        {u"probe c:\\windows\\remote_ip.conf", tools + "/probe", {(f.windows / "remote_ip.conf").string()}},
        // An unquoted folder with a blank in it, and ".exe" dropped for the Linux file.
        {f.appPath() + u"\\bin\\openvpnserv.exe -start", app + "/bin/openvpnserv", {"-start"}},
        {std::u16string(u"\"") + f.appPath() + u"\\bin\\openvpnserv.exe\" -start", app + "/bin/openvpnserv", {"-start"}},
        {f.appPath() + u"\\bin\\addtap.bat", app + "/bin/addtap.bat", {}},
        // ".exe" is dropped only when no file has that name.
        {f.appPath() + u"\\bin\\both.exe", std::nullopt, {}},
        {f.appPath() + u"\\notexec", std::nullopt, {}},
        {f.appPath() + u"\\bin\\missing.exe", std::nullopt, {}},
        {u"nosuchprogram /x", std::nullopt, {}},
        {u"", std::nullopt, {}},
    };
    for (const auto& c : cases) {
        auto p = planLaunch(c.line);
        if (!c.program) {
            EXPECT_FALSE(p) << toUtf8(c.line);
            continue;
        }
        ASSERT_TRUE(p) << toUtf8(c.line);
        EXPECT_EQ(p->program.string(), *c.program) << toUtf8(c.line);
        EXPECT_EQ(p->arguments, c.args) << toUtf8(c.line);
    }
}

TEST(Launcher, StartsDetachedAndNeverWaits)
{
    Folders f;
    TempFolder fifos;
    auto fifo = fifos / "probe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ScopedEnv fifoEnv("PROBE_FIFO", fifo.string());
    program(f.tools, "probe",
            "#!/bin/sh\n"
            "{\n"
            "  for a in \"$@\"; do printf '%s\\n' \"$a\"; done\n"
            "  read -r pid comm state ppid group session rest </proc/$$/stat\n"
            "  echo \"$ppid $session\"\n"
            "} >\"$PROBE_FIFO\"\n");
    platform::LinuxLauncher launcher;

    ASSERT_TRUE(launcher.launch(u"PROBE.EXE \"a b\" c:\\windows\\x.txt", platform::vbHide));
    // Nothing of ours is left to reap: the program is not our child.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    std::string got = readFifo(fifo);
    std::string expected = "a b\n" + (f.windows / "x.txt").string() + "\n";
    ASSERT_EQ(got.substr(0, expected.size()), expected) << got;
    long ppid = 0, session = 0;
    ASSERT_EQ(std::sscanf(got.c_str() + expected.size(), "%ld %ld", &ppid, &session), 2) << got;
    EXPECT_NE(ppid, ::getpid());
    EXPECT_NE(session, ::getsid(0)) << "a session of its own";

    // A script without "#!" runs in the shell, from a folder with a blank in its name.
    program(f.app, "Corvane VPN/bin/openvpnserv", "printf '%s\\n' \"$@\" >\"$PROBE_FIFO\"\n");
    ASSERT_TRUE(launcher.launch(f.appPath() + u"\\bin\\openvpnserv.exe -start", platform::vbNormalFocus));
    EXPECT_EQ(readFifo(fifo), "-start\n");

    EXPECT_FALSE(launcher.launch(u"nosuchprogram /x", platform::vbHide));
    EXPECT_FALSE(launcher.launch(f.appPath() + u"\\notexec", platform::vbHide));
    // A program that cannot be run at all: no interpreter behind its "#!".
    program(f.tools, "broken", "#!/no/such/interpreter\n");
    EXPECT_FALSE(launcher.launch(u"broken", platform::vbHide));
}

TEST(Launcher, AStartThatFailsAtOnceStillCountsAsStarted)
{
    Folders f;
    program(f.tools, "fails", "#!/bin/sh\nexit 3\n");
    EXPECT_TRUE(platform::LinuxLauncher().launch(u"fails", platform::vbHide));
}

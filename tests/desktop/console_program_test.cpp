// The console program itself on a desktop with a window manager, seen from outside as a
// person and the window manager see it.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <csignal>
#include <QProcess>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_folder.h"
#include "support/virtual_desktop.h"

namespace fs = std::filesystem;

namespace {

fs::path binFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path();
}

// User and system CPU time of a process, in clock ticks.
long cpuTicks(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which is in brackets and may hold blanks.
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15)
            stime = std::stol(field);
    }
    return utime + stime;
}

// Waits for conditions of the window manager and of other programs, which a machine
// that also builds and tests other work may keep waiting for many seconds.
constexpr int patience = 30000;

// The process catches these signals: its service loop is up.
bool catches(qint64 pid, std::initializer_list<int> wanted)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("SigCgt:")) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            for (int s : wanted)
                if ((mask & (1ULL << (s - 1))) == 0)
                    return false;
            return true;
        }
    return false;
}

struct ConsoleProgram : ::testing::Test {
    testsupport::TempFolder tmp;
    QProcess console, second;

    void SetUp() override
    {
        fs::create_directories(tmp / "app/log");
        fs::create_directories(tmp / "windows");
        fs::create_directories(tmp / "run");
        fs::permissions(tmp / "run", fs::perms::owner_all);
    }

    void start(QProcess& p, const char* program = "dravik") const
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("CORVANE_APP_DIR", QString::fromStdString((tmp / "app").string()));
        env.insert("CORVANE_WINDOWS_DIR", QString::fromStdString((tmp / "windows").string()));
        // Its own runtime folder, so the one-copy lock is this test's alone.
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((tmp / "run").string()));
        env.insert("CORVANE_EVENT_LOG_FILE", QString::fromStdString((tmp / "events").string()));
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString((binFolder() / program).string()), {});
        ASSERT_TRUE(p.waitForStarted(5000));
    }

    // The program's visible windows with the title.
    static QStringList windows(const QProcess& p, const QString& title)
    {
        return testsupport::runTool(QStringLiteral("xdotool"),
                                    {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                     QString::number(p.processId()), QStringLiteral("--name"), title})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString consoleWindow(const QProcess& p) const
    {
        QString id;
        (void)QTest::qWaitFor(
            [&] {
                const QStringList found = windows(p, QStringLiteral("CorvaneVPN控制台"));
                id = found.isEmpty() ? QString() : found.front();
                return !id.isEmpty();
            },
            patience);
        return id;
    }

    static QString geometry(const QString& window)
    {
        return testsupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), window});
    }

    // The console window comes up maximised on the whole screen and keeps still.
    void expectMaximisedAndStill();

    void TearDown() override
    {
        for (QProcess* p : {&second, &console})
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
    }
};

} // namespace

TEST_F(ConsoleProgram, StartsMaximisedAndStaysStillWhileIdle)
{
    for (const char* program : {"dravik", "quellan"}) {
        SCOPED_TRACE(program);
        TearDown();
        start(console, program);
        expectMaximisedAndStill();
    }
}

// The service program started by hand on a desktop: it stays up, hidden, and idle.
TEST_F(ConsoleProgram, TheServiceProgramRunsHiddenAndIdle)
{
    start(console, "mulu");
    ASSERT_TRUE(QTest::qWaitFor([&] { return catches(console.processId(), {SIGTERM, SIGUSR1, SIGUSR2}); }, patience))
        << console.readAllStandardError().toStdString();
    ASSERT_EQ(console.state(), QProcess::Running) << console.readAllStandardError().toStdString();
    const long ticks = cpuTicks(console.processId());
    QTest::qWait(3000);
    EXPECT_LE(cpuTicks(console.processId()) - ticks, 5);
    EXPECT_EQ(console.state(), QProcess::Running);
    EXPECT_TRUE(windows(console, QStringLiteral(".")).isEmpty());
}

void ConsoleProgram::expectMaximisedAndStill()
{
    const QString window = consoleWindow(console);
    ASSERT_FALSE(window.isEmpty()) << console.readAllStandardError().toStdString();
    // Maximised by the window manager, which sets the state once it has given the
    // window its size: the whole width of the screen.
    QStringList state;
    QString first;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            state = testsupport::netWmState(window.toULong());
            first = geometry(window);
            return state.contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_VERT")) &&
                   state.contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_HORZ")) &&
                   first.contains(QStringLiteral("Geometry: 1600x"));
        },
        patience))
        << state.join(QLatin1Char(' ')).toStdString() << " " << first.toStdString();

    // Then it keeps still: the first paint of the new size done, nothing moves or works.
    QTest::qWait(500);
    first = geometry(window);
    const long ticks = cpuTicks(console.processId());
    QTest::qWait(3000);
    EXPECT_EQ(geometry(window), first);
    // Idle: at most a few hundredths of a second of CPU in three seconds.
    EXPECT_LE(cpuTicks(console.processId()) - ticks, 5);
    EXPECT_EQ(console.state(), QProcess::Running);
}

TEST_F(ConsoleProgram, ASecondCopyEndsAtOnceWithoutAWindow)
{
    start(console);
    ASSERT_FALSE(consoleWindow(console).isEmpty());

    start(second);
    ASSERT_TRUE(second.waitForFinished(patience));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_EQ(console.state(), QProcess::Running);
    EXPECT_EQ(windows(console, QStringLiteral("CorvaneVPN控制台")).size(), 1);
}

TEST_F(ConsoleProgram, ClosingTheConsoleWindowEndsTheProgram)
{
    start(console);
    const QString window = consoleWindow(console);
    ASSERT_FALSE(window.isEmpty());
    // The window manager's close, as its close box does: the key goes to the active
    // window, so it is sent once the window manager has made the console that.
    testsupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return testsupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed() ==
                   window;
        },
        patience));
    testsupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+F4")});
    console.waitForFinished(patience);
    ASSERT_EQ(console.state(), QProcess::NotRunning);
    EXPECT_EQ(console.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(console.exitCode(), 0);
}

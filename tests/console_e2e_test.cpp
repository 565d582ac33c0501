// The console program itself, started offscreen against a temporary application folder.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

fs::path binFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path();
}

struct Program : ::testing::Test {
    testsupport::TempFolder tmp;
    QProcess service, console, second;

    void SetUp() override
    {
        fs::create_directories(tmp / "app/log");
        fs::create_directories(tmp / "windows");
        fs::create_directories(tmp / "run");
        fs::permissions(tmp / "run", fs::perms::owner_all);
    }

    QProcessEnvironment environment(const std::string& snapshot) const
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("CORVANE_APP_DIR", QString::fromStdString((tmp / "app").string()));
        env.insert("CORVANE_WINDOWS_DIR", QString::fromStdString((tmp / "windows").string()));
        // Its own runtime folder, so the one-copy lock is this test's alone.
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((tmp / "run").string()));
        env.insert("CORVANE_CONSOLE_SNAPSHOT", QString::fromStdString((tmp / snapshot).string()));
        return env;
    }

    void startConsole(QProcess& p, const std::string& snapshot) const
    {
        p.setProcessEnvironment(environment(snapshot));
        p.start(QString::fromStdString((binFolder() / "dravik").string()), {});
        ASSERT_TRUE(p.waitForStarted(5000));
    }

    // The snapshot once it holds `text`; empty when it does not within the time or the
    // program ends first.
    std::string waitFor(QProcess& p, const std::string& snapshot, const std::string& text, int ms) const
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            std::string s = tmp.read(snapshot);
            if (s.find(text) != std::string::npos)
                return s;
            if (p.state() == QProcess::NotRunning || p.waitForFinished(20)) {
                ADD_FAILURE() << "the program ended: " << p.readAllStandardError().toStdString();
                return {};
            }
        }
        return {};
    }

    void TearDown() override
    {
        for (QProcess* p : {&second, &console, &service})
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
    }
};

} // namespace

TEST_F(Program, ShowsTheLogInItsGrid)
{
    tmp.write("app/log/config.log", "Wed Dec 09 08:09:11 2026 OpenVPN started\r\n"
                                    "Wed Dec  9 08:09:12 2026 Initialization Sequence Completed\r\n");
    // A process named as the OpenVPN service program makes the console see the service
    // running, so its log timer ticks.
    fs::copy_file("/bin/sleep", tmp / "openvpnserv.exe");
    service.start(QString::fromStdString((tmp / "openvpnserv.exe").string()), {"60"});
    ASSERT_TRUE(service.waitForStarted(5000));

    startConsole(console, "snapshot");
    std::string shown = waitFor(console, "snapshot", "visible\t1", 5000);
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown.find("panel2\tVPN服务：正在运行中..."), std::string::npos) << shown;
    EXPECT_NE(shown.find("interval\t5000"), std::string::npos) << shown;
    EXPECT_NE(shown.find("row\t2\t提示\t"), std::string::npos) << shown;

    // The first tick, 5 s after start.
    std::string ticked = waitFor(console, "snapshot", "OpenVPN started", 15000);
    EXPECT_NE(ticked.find("row\t0\t类别\t日期\t时间\t日志内容\t\n"), std::string::npos) << ticked;
    EXPECT_NE(ticked.find("row\t1\t提示\t2026年12月09日\t 08:09:11\t OpenVPN started\t\n"), std::string::npos) << ticked;
    EXPECT_NE(ticked.find("row\t2\t提示\t2026年12月09日\t 08:09:12\t Initialization Sequence Completed\t\n"),
              std::string::npos)
        << ticked;
    EXPECT_EQ(ticked.find("row\t3\t"), std::string::npos) << ticked;
}

TEST_F(Program, ASecondCopyEndsAtOnce)
{
    startConsole(console, "first");
    ASSERT_FALSE(waitFor(console, "first", "visible\t1", 5000).empty());

    startConsole(second, "second");
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    // It never showed a window, and said nothing.
    EXPECT_FALSE(tmp.exists("second"));
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_EQ(console.state(), QProcess::Running);
}

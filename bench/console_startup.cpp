// dravik from its start to its first shown window, and its resident memory once its grid
// is full. Run by hand on a display (xdotool sees the window), from the build's bin
// folder: console_startup, or xvfb-run -a console_startup
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Whether the process shows a window within the time.
bool waitForWindow(qint64 pid, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QProcess search;
        search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)});
        if (search.waitForFinished(2000) && !search.readAllStandardOutput().trimmed().isEmpty())
            return true;
        QThread::usleep(500);
    }
    return false;
}

long residentKb(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value = -1;
    while (in >> key)
        if (key == "VmRSS:") {
            in >> value;
            break;
        }
    return value;
}

} // namespace

int main()
{
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path root = fs::temp_directory_path() / ("corvane-startup-" + std::to_string(::getpid()));
    fs::create_directories(root / "app" / "log");
    fs::create_directories(root / "windows");
    fs::create_directories(root / "run");
    fs::permissions(root / "run", fs::perms::owner_all);

    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("CORVANE_APP_DIR", QString::fromStdString((root / "app").string()));
    env.insert("CORVANE_WINDOWS_DIR", QString::fromStdString((root / "windows").string()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString((root / "run").string()));

    std::vector<double> starts;
    for (int run = 0; run < 7; ++run) {
        QProcess p;
        p.setProcessEnvironment(env);
        auto t0 = Clock::now();
        p.start(QString::fromStdString((bin / "dravik").string()), {});
        bool shown = waitForWindow(p.processId(), 10000);
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        p.kill();
        p.waitForFinished(5000);
        if (!shown) {
            std::printf("dravik showed no window within 10 s\n");
            return 1;
        }
        starts.push_back(ms);
    }
    std::sort(starts.begin(), starts.end());
    std::printf("start to first shown window: median %.1f ms, best %.1f ms, worst %.1f ms (%zu runs)\n",
                starts[starts.size() / 2], starts.front(), starts.back(), starts.size());

    // A full grid: a running service (a process of that name) and a log of more lines
    // than the grid holds; the first tick comes 5 s after start.
    {
        std::ofstream log(root / "app" / "log" / "config.log", std::ios::binary);
        for (int i = 1; i <= 12000; ++i)
            log << "Wed Dec 09 08:09:11 2026 UDPv4 link remote: [AF_INET]203.0.113.7:1194 packet " << i << "\r\n";
    }
    fs::copy_file("/bin/sleep", root / "openvpnserv.exe");
    QProcess service;
    service.start(QString::fromStdString((root / "openvpnserv.exe").string()), {"60"});
    service.waitForStarted();
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QString::fromStdString((bin / "dravik").string()), {});
    // The first tick comes at 5 s and fills the grid well within the next three.
    if (waitForWindow(p.processId(), 10000)) {
        QThread::msleep(8000);
        std::printf("resident memory with a full grid: %.1f MB\n", static_cast<double>(residentKb(p.processId())) / 1024);
    } else {
        std::printf("dravik showed no window within 10 s\n");
    }
    p.kill();
    p.waitForFinished(5000);
    service.kill();
    service.waitForFinished(5000);
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}

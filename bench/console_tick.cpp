// The console's log-view tick over a log of 9999 lines and over a 500 MB log: when the log
// did not change, after 100 lines were appended, and a full reread (the grid emptied
// before it), beside `tail -n 9999` on the same file. Run by hand: console_tick [folder]
// (the folder holds the 500 MB file for the length of the run; default the temp folder).
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/form_zuye.h"
#include "platform/fakes/fakes.h"
#include "platform/paths.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string line(long i)
{
    return "Wed Dec 09 08:09:11 2026 UDPv4 link remote: [AF_INET]203.0.113.7:1194 packet " + std::to_string(i) +
           "\r\n";
}

void writeLog(const fs::path& file, std::uintmax_t atLeastBytes, long atLeastLines)
{
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::string block;
    long i = 0;
    std::uintmax_t written = 0;
    while (written < atLeastBytes || i < atLeastLines) {
        block.clear();
        while (block.size() < (1 << 20) && (written + block.size() < atLeastBytes || i < atLeastLines))
            block += line(++i);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
        written += block.size();
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Timing {
    double tick = 0, repaint = 0;
};

// The median of 15 ticks, each after `before` has run, and of the repaint after each.
template <class Before>
Timing ticks(console::form_zuye& w, Before before)
{
    std::vector<double> tick, repaint;
    for (int run = 0; run < 15; ++run) {
        before();
        QApplication::processEvents();
        auto t0 = Clock::now();
        w.Timer1_Timer();
        auto t1 = Clock::now();
        QApplication::processEvents();
        auto t2 = Clock::now();
        tick.push_back(ms(t1 - t0));
        repaint.push_back(ms(t2 - t1));
    }
    return {median(tick), median(repaint)};
}

void measure(console::form_zuye& w, const fs::path& app, const char* what)
{
    platform::setAppFolder(app);
    const fs::path log = app / "log" / "config.log";
    const double size = static_cast<double>(fs::file_size(log)) / 1e6;
    // Every cell changes, as when another action emptied the grid.
    Timing full = ticks(w, [&] { w.loggrid->Clear(); });
    Timing unchanged = ticks(w, [] {});
    long next = 1;
    Timing appended = ticks(w, [&] {
        std::ofstream out(log, std::ios::binary | std::ios::app);
        for (int i = 0; i < 100; ++i)
            out << line(next++);
    });
    std::vector<double> tails;
    std::string cmd = "tail -n 9999 '" + log.string() + "' > /dev/null";
    for (int run = 0; run < 5; ++run) {
        auto t0 = Clock::now();
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "tail failed\n");
        tails.push_back(ms(Clock::now() - t0));
    }
    std::printf("%-11s %7.1f MB  %9.3f ms %9.3f ms %9.3f ms %9.3f ms   (repaint: %.2f / %.2f / %.2f ms)\n", what,
                size, unchanged.tick, appended.tick, full.tick, median(tails), unchanged.repaint, appended.repaint,
                full.repaint);
    if (w.loggrid->TextMatrix(9999, 0).isEmpty())
        std::printf("  (grid not full: the benchmark measured the wrong thing)\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qapp(argc, argv);
    fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    fs::path root = base / ("corvane-bench-" + std::to_string(::getpid()));

    platform::fakes::FakeServices fakes;
    fakes.wmi.setServiceRunning(1);
    console::form_zuye w;
    w.Timer1->setInterval(0); // ticks come from the benchmark only
    w.showMaximized();
    QApplication::processEvents();

    std::printf("%-11s %10s  %12s %12s %12s %12s   medians of the tick; the repaint after it\n", "log", "size",
                "unchanged", "+100 lines", "full reread", "tail -n 9999");
    writeLog(root / "small" / "log" / "config.log", 0, 9999);
    measure(w, root / "small", "9999 lines");
    writeLog(root / "large" / "log" / "config.log", 500ull * 1000 * 1000, 0);
    measure(w, root / "large", "500 MB");

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}

#pragma once
// What the tests of the Windows programs under Wine share: the windows a process shows,
// a grid row as text, and a stand-in for the OpenVPN service program.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <windows.h>

namespace testsupport {

enum class Maximised { Unmarked, Marked };

// The titles of the process's visible top-level windows; with Maximised::Marked,
// " (maximised)" added to those that are.
inline QStringList visibleWindows(qint64 pid, Maximised mark = Maximised::Unmarked)
{
    struct Search {
        DWORD pid;
        bool mark;
        QStringList titles;
    } search{static_cast<DWORD>(pid), mark == Maximised::Marked, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == s.pid && ::IsWindowVisible(window)) {
                wchar_t title[256];
                const int n = ::GetWindowTextW(window, title, 256);
                s.titles << QString::fromWCharArray(title, n) +
                                (s.mark && ::IsZoomed(window) ? QStringLiteral(" (maximised)") : QString());
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.titles;
}

// The row's cells joined by tabs (a grid with Cols() and TextMatrix(), as the console's).
template <class Grid>
QString row(const Grid& grid, int r)
{
    QStringList cells;
    for (int c = 0; c < grid.Cols(); ++c)
        cells << grid.TextMatrix(r, c);
    return cells.join(u'\t');
}

// A process named as the OpenVPN service program: a copy of the test program that only
// waits. While it runs, WMI shows the VPN service running and the console's log timer
// ticks. The test program's main() calls idlesAsServiceStandIn first.
class ServiceStandIn {
public:
    // Copies the test program into the folder as openvpnserv.exe and starts it there.
    bool start(const QString& folder, const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        const QString program = QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("openvpnserv.exe")));
        if (!QFile::copy(QCoreApplication::applicationFilePath(), program))
            return false;
        process_.setProcessEnvironment(environment);
        process_.start(program, {QStringLiteral("--idle")});
        return process_.waitForStarted(10000);
    }
    void stop()
    {
        process_.kill();
        process_.waitForFinished(10000);
    }
    ~ServiceStandIn() { stop(); }

private:
    QProcess process_;
};

// True, after two minutes of waiting, when this process is a ServiceStandIn.
inline bool idlesAsServiceStandIn(int argc, char** argv)
{
    if (argc != 2 || qstrcmp(argv[1], "--idle") != 0)
        return false;
    QThread::sleep(120);
    return true;
}

} // namespace testsupport

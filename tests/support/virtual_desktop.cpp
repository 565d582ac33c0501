#include "virtual_desktop.h"

#include <QDeadlineTimer>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <signal.h>
#include <stdexcept>
#include <xcb/xcb.h>

namespace testsupport {

namespace {

VirtualDesktop* current = nullptr;

void stop(std::unique_ptr<QProcess>& process)
{
    if (!process)
        return;
    process->terminate();
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
    process.reset();
}

// How long a part of the desktop may take to come up. Beside five other builds and
// test runs a start can take many seconds; only a part that has ended, or one still
// not up after this, fails, and that well inside the test's own timeout.
constexpr int startDeadline = 90000;

QString whatItSaid(QProcess& process)
{
    return QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
}

[[noreturn]] void failedToStart(QProcess& process, const QString& what)
{
    const QString said = whatItSaid(process);
    throw std::runtime_error((what + (process.state() == QProcess::NotRunning
                                          ? QStringLiteral(" (it ended, exit code %1)").arg(process.exitCode())
                                          : QStringLiteral(" within %1 s").arg(startDeadline / 1000)) +
                              (said.isEmpty() ? QString() : QStringLiteral(": ") + said))
                                 .toStdString());
}

// Polls a command until its output contains the text, for as long as the process that
// should bring it about runs.
bool waitForOutput(QProcess& process, const QString& program, const QStringList& args, const QString& text)
{
    QDeadlineTimer deadline(startDeadline);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        QProcess probe;
        probe.start(program, args);
        if (probe.waitForFinished(10000) && QString::fromLocal8Bit(probe.readAllStandardOutput()).contains(text))
            return true;
        QThread::msleep(50);
    }
    return false;
}

} // namespace

VirtualDesktop::VirtualDesktop()
{
    xvfb_ = std::make_unique<QProcess>();
    // Xvfb picks a free display itself and writes its number to the descriptor.
    xvfb_->start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                          QStringLiteral("-screen"), QStringLiteral("0"),
                                          QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp")});
    if (!xvfb_->waitForStarted(startDeadline))
        throw std::runtime_error("Xvfb cannot be started (Debian package xvfb)");
    // The number comes once the display takes connections, which may be long after the start.
    QByteArray number;
    QDeadlineTimer deadline(startDeadline);
    while (!number.contains('\n') && !deadline.hasExpired() && xvfb_->state() == QProcess::Running) {
        xvfb_->waitForReadyRead(500);
        number += xvfb_->readAllStandardOutput();
    }
    if (!number.contains('\n'))
        failedToStart(*xvfb_, QStringLiteral("Xvfb did not report its display"));
    display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    setenv("DISPLAY", display_.toLocal8Bit().constData(), 1);
    unsetenv("WAYLAND_DISPLAY");

    windowManager_ = std::make_unique<QProcess>();
    windowManager_->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!windowManager_->waitForStarted(startDeadline))
        throw std::runtime_error("openbox cannot be started (Debian package openbox)");
    // The client list is the last thing openbox sets up before it manages windows; a
    // window mapped earlier may never be exposed.
    if (!waitForOutput(*windowManager_, QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")},
                       QStringLiteral("(WINDOW)")))
        failedToStart(*windowManager_, QStringLiteral("openbox did not come up (xprop: Debian package x11-utils)"));
    current = this;
}

VirtualDesktop::~VirtualDesktop()
{
    current = nullptr;
    resumeWindowManager(); // a test that failed while it was held
    stop(tray_);
    stop(windowManager_);
    stop(xvfb_);
}

void VirtualDesktop::startTray()
{
    if (tray_)
        return;
    tray_ = std::make_unique<QProcess>();
    tray_->start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("bottom"),
                                            QStringLiteral("--align"), QStringLiteral("right"),
                                            QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                                            QStringLiteral("--width"), QStringLiteral("120"),
                                            QStringLiteral("--height"), QStringLiteral("24")});
    if (!tray_->waitForStarted(startDeadline))
        throw std::runtime_error("trayer cannot be started (Debian package trayer)");
    // What the tests rely on: this program sees a notification area, that is, its
    // selection has an owner (trayer's window may be there well before it takes it).
    QDeadlineTimer deadline(startDeadline);
    while (!QSystemTrayIcon::isSystemTrayAvailable() && !deadline.hasExpired() &&
           tray_->state() == QProcess::Running)
        QTest::qWait(50);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        failedToStart(*tray_, QStringLiteral("trayer did not take the notification area"));
}

void VirtualDesktop::stopTray()
{
    stop(tray_);
}

void VirtualDesktop::pauseWindowManager()
{
    ::kill(static_cast<pid_t>(windowManager_->processId()), SIGSTOP);
}

void VirtualDesktop::resumeWindowManager()
{
    ::kill(static_cast<pid_t>(windowManager_->processId()), SIGCONT);
}

QString runTool(const QString& program, const QStringList& args)
{
    QProcess tool;
    tool.start(program, args);
    // A busy machine may take seconds to start a tool; one that hangs is cut off.
    if (!tool.waitForFinished(30000))
        tool.kill();
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

namespace {

// What xprop says of one property of the window. No answer at all is no property
// either way: it fails the test instead of passing for "not set".
QString windowProperty(unsigned long window, const QString& property)
{
    const QString out = runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), property});
    if (!out.startsWith(property))
        throw std::runtime_error("xprop gave no answer on " + property.toStdString() + " of window " +
                                 std::to_string(window));
    return out;
}

} // namespace

QStringList netWmState(unsigned long window)
{
    const QString out = windowProperty(window, QStringLiteral("_NET_WM_STATE"));
    const qsizetype eq = out.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {};
    QStringList atoms;
    for (const QString& atom : out.mid(eq + 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
        atoms << atom.trimmed();
    return atoms;
}

QString wmState(unsigned long window)
{
    const QString out = windowProperty(window, QStringLiteral("WM_STATE"));
    const qsizetype at = out.indexOf(QLatin1String("window state: "));
    // A window that the window manager has let go of carries no state at all.
    return at < 0 ? QStringLiteral("Withdrawn") : out.mid(at + 14).section(QLatin1Char('\n'), 0, 0).trimmed();
}

QRect screenGeometry(unsigned long window)
{
    const QString out = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    auto field = [&](const QString& name) {
        const qsizetype at = out.indexOf(name);
        return at < 0 ? -1 : out.mid(at + name.size()).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
    };
    if (!out.contains(QLatin1String("Map State: IsViewable")))
        return {};
    return {field(QStringLiteral("Absolute upper-left X:")), field(QStringLiteral("Absolute upper-left Y:")),
            field(QStringLiteral("Width:")), field(QStringLiteral("Height:"))};
}

bool waitUntilManaged(QWidget* window, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    if (!QTest::qWaitForWindowExposed(window, milliseconds))
        return false;
    return QTest::qWaitFor(
        [&] {
            return wmState(window->winId()) == QLatin1String("Normal") &&
                   screenGeometry(window->winId()) == window->geometry();
        },
        static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
}

void setWmState(unsigned long window, const QString& state)
{
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x) != 0) {
        xcb_disconnect(x);
        throw std::runtime_error("no connection to the display");
    }
    auto atom = [x](const char* name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        if (reply == nullptr)
            throw std::runtime_error(std::string("no atom ") + name);
        const xcb_atom_t a = reply->atom;
        std::free(reply);
        return a;
    };
    const bool iconic = state == QLatin1String("Iconic");
    const auto id = static_cast<xcb_window_t>(window);
    // An iconic window is hidden too, in the window manager's extended state.
    const xcb_atom_t hidden = atom("_NET_WM_STATE_HIDDEN");
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, id, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, iconic ? 1 : 0,
                        &hidden);
    // ICCCM 4.1.3.1: the state, then the icon window (none).
    const std::uint32_t value[2] = {iconic ? 3u : 1u, 0u};
    const xcb_atom_t wmState = atom("WM_STATE");
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, id, wmState, wmState, 32, 2, value);
    std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr)); // done once answered
    xcb_disconnect(x);
}

void clickAt(int x, int y)
{
    runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(x),
                                        QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

VirtualDesktop& desktop()
{
    if (current == nullptr)
        throw std::logic_error("no virtual desktop: link desktop_main, not test_main");
    return *current;
}

} // namespace testsupport

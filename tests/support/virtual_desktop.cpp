#include "virtual_desktop.h"

#include <QDeadlineTimer>
#include <QThread>
#include <cstdlib>
#include <stdexcept>

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

// Polls a command until its output contains the text, for at most 20 seconds (a loaded machine is slow to start them).
bool waitForOutput(const QString& program, const QStringList& args, const QString& text)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QProcess probe;
        probe.start(program, args);
        if (probe.waitForFinished(2000) && QString::fromLocal8Bit(probe.readAllStandardOutput()).contains(text))
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
    if (!xvfb_->waitForStarted(5000))
        throw std::runtime_error("Xvfb cannot be started (Debian package xvfb)");
    QByteArray number;
    QDeadlineTimer deadline(10000);
    while (!number.contains('\n') && !deadline.hasExpired() && xvfb_->waitForReadyRead(500))
        number += xvfb_->readAllStandardOutput();
    if (!number.contains('\n'))
        throw std::runtime_error("Xvfb did not report its display");
    display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    setenv("DISPLAY", display_.toLocal8Bit().constData(), 1);
    unsetenv("WAYLAND_DISPLAY");

    windowManager_ = std::make_unique<QProcess>();
    windowManager_->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!windowManager_->waitForStarted(5000))
        throw std::runtime_error("openbox cannot be started (Debian package openbox)");
    // The client list is the last thing openbox sets up before it manages windows; a
    // window mapped earlier may never be exposed.
    if (!waitForOutput(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")},
                       QStringLiteral("(WINDOW)")))
        throw std::runtime_error("openbox did not come up (xprop: Debian package x11-utils)");
    current = this;
}

VirtualDesktop::~VirtualDesktop()
{
    current = nullptr;
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
    if (!tray_->waitForStarted(5000))
        throw std::runtime_error("trayer cannot be started (Debian package trayer)");
    // A tray is there once the notification area's selection has an owner.
    if (!waitForOutput(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--class"),
                                                   QStringLiteral("trayer")},
                       QStringLiteral("\n")))
        throw std::runtime_error("trayer did not come up (xdotool: Debian package xdotool)");
}

void VirtualDesktop::stopTray()
{
    stop(tray_);
}

QString runTool(const QString& program, const QStringList& args)
{
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForFinished(5000))
        tool.kill();
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

QStringList netWmState(unsigned long window)
{
    const QString out = runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window),
                                                          QStringLiteral("_NET_WM_STATE")});
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
    const QString out =
        runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), QStringLiteral("WM_STATE")});
    const qsizetype at = out.indexOf(QLatin1String("window state: "));
    return at < 0 ? QStringLiteral("Withdrawn") : out.mid(at + 14).section(QLatin1Char('\n'), 0, 0).trimmed();
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

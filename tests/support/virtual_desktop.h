#pragma once
// A virtual display with a window manager, and a system tray on demand, for tests that
// must see windows as a person sees them. Offscreen hides what a window manager, a tray
// and the fonts do; these tests run the real thing.

#include <QProcess>
#include <QString>
#include <memory>

namespace testsupport {

class VirtualDesktop {
public:
    // Starts Xvfb on a free display (1600x1000, 24 bits) and openbox on it, and sets
    // DISPLAY so that Qt (QT_QPA_PLATFORM=xcb) and child programs use it.
    VirtualDesktop();
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    QString display() const { return display_; }

    // A system tray (trayer). A program that saw a tray keeps its idea of it, so a
    // no-tray case starts its program before the tray or in a test without one.
    void startTray();
    void stopTray();

private:
    QString display_;
    std::unique_ptr<QProcess> xvfb_, windowManager_, tray_;
};

// The desktop of the running desktop test program (set up by its main()).
VirtualDesktop& desktop();

// What a person's tools see on the display: the standard output of an X tool.
QString runTool(const QString& program, const QStringList& args);
// The window's _NET_WM_STATE atoms as the window manager keeps them.
QStringList netWmState(unsigned long window);
// The window's ICCCM state: "Normal", "Iconic" or "Withdrawn".
QString wmState(unsigned long window);
// A real click of the first button at a place on the screen.
void clickAt(int x, int y);

} // namespace testsupport

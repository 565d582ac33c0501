#pragma once
// A virtual display with a window manager, and a system tray on demand, for tests that
// must see windows as a person sees them. Offscreen hides what a window manager, a tray
// and the fonts do; these tests run the real thing.

#include <QProcess>
#include <QRect>
#include <QString>
#include <memory>

class QWidget;

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

    // Holds the window manager still (SIGSTOP) and lets it go on: requests to it wait
    // meanwhile, as on a machine too busy to run it.
    void pauseWindowManager();
    void resumeWindowManager();

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
// Where the window is on the screen as the X server has it; empty while it is not
// viewable (unmapped, or inside a parent that is).
QRect screenGeometry(unsigned long window);
// Waits until the window is exposed, the window manager manages it as a normal window,
// and Qt has the place the X server has for it: shown as a person sees it.
bool waitUntilManaged(QWidget* window, int milliseconds = 30000);
// Sets the window's ICCCM state ("Normal", "Iconic") as a window manager does.
void setWmState(unsigned long window, const QString& state);
// A real click of the first button at a place on the screen.
void clickAt(int x, int y);

} // namespace testsupport

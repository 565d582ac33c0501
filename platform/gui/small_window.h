#pragma once
// The rule for opening a small window: one global instance a window class, made on
// first use, shown modeless with no owner; opening it again shows the same window.
// A window deletes itself when it closes (its unload), so the next opening makes and
// loads it anew and its start-up runs again.

#include <QPointer>
#include <QWidget>

namespace platform {

template <class W>
QPointer<W>& windowInstance()
{
    static QPointer<W> instance;
    return instance;
}

// The instance, made (and so loaded) when there is none; not shown.
template <class W>
W& loadWindow()
{
    auto& p = windowInstance<W>();
    if (!p) {
        p = new W();
        p->setAttribute(Qt::WA_DeleteOnClose);
    }
    return *p;
}

template <class W>
W& showWindow()
{
    W& w = loadWindow<W>();
    w.show();
    w.raise();
    w.activateWindow();
    return w;
}

} // namespace platform

#pragma once
// Small windows in tests: they delete themselves when they close, later, from the
// event loop; these helpers make that happen now.

#include <QCoreApplication>
#include <QEvent>

#include "platform/gui/small_window.h"

namespace testsupport {

inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The window's one instance exists (it has not been unloaded).
template <class W>
bool isLoaded()
{
    flushDeletes();
    return !platform::windowInstance<W>().isNull();
}

} // namespace testsupport

#pragma once
// Installs the Qt implementations of the services the forms need (message boxes,
// clipboard, desktop), and the F1 help of every window. Needs a QApplication.

namespace platform {
void installGuiServices();
// Only the F1 key: tests that fake the desktop still get F1 routed to it.
void installHelpKey();
} // namespace platform

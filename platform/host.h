#pragma once
// Installs the host implementations of the services below the forms (WMI, launcher,
// sleep, clock, single instance, event log). A program calls this once at start.

namespace platform {
void installHostServices();

// A program that may run where there is no display (a system service) asks Qt for its
// offscreen platform there, unless told otherwise. Call before Qt starts.
void preferOffscreenWithoutDisplay();
} // namespace platform

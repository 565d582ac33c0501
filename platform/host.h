#pragma once
// Installs the host implementations of the services below the forms (WMI, launcher,
// sleep, clock, single instance, event log). A program calls this once at start.

namespace platform {
void installHostServices();
} // namespace platform

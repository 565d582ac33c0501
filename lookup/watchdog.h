#pragma once
// The watchdog of the service program: every second tick of its timer it checks that the
// OpenVPN service program runs, and starts it when no process of it is found.

#include <cstddef>
#include <optional>
#include <string>

#include "lookup/console_view.h"

namespace lookup {

// Ticks of the window's timer (60000 ms) between two checks.
inline constexpr int TicksPerCheck = 2;

// The command line that starts the OpenVPN service program of the application folder.
std::u16string openVpnServiceStartCommand();

// One check, given the number of running OpenVPN service programs (nothing when the
// state test failed). With none running it starts the program hidden and shows the
// running text in status panel 2. A failing step ends the check silently: a failed
// state test or start leaves the console untouched.
void watchdogCheck(std::optional<std::size_t> running, ConsoleView& view);

} // namespace lookup

#pragma once
// The manual address lookup of the service window. It asks the address database for the
// VPN server's current address under this installation's serial and, when that differs
// from the address last applied or from the server line of the service configuration,
// rewrites that line, records the address, restarts the VPN service and resets the log
// view of the console window. A failing step ends it silently; what was done before
// stays done.

#include <string>

#include "lookup/console_view.h"

namespace lookup {

// Where a lookup ended; the window ignores it, it tells a test or a log why.
enum class LookupEnd {
    NoDatabase,      // the connection failed
    NoSerial,        // the serial file is missing or empty
    NoLastAddress,   // the last-address file is there but cannot be read
    NoConfiguration, // the service configuration is missing or shorter than 7 lines
    QueryFailed,
    NoAddress,       // the serial is not in the table, or its address is empty or NULL
    Unchanged,       // the address is applied already
    NotWritten,      // the configuration or the last-address file could not be written
    NotLaunched,     // a service command could not be started
    Applied,
};

// ADO's connection string for the address database, with the host and the login of the
// build.
std::u16string lookupConnectionString();

LookupEnd runAddressLookup(ConsoleView& console);

} // namespace lookup

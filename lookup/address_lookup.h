#pragma once
// The manual address lookup of the service window. It asks the address database for the
// VPN server's current address under this installation's serial and, when that differs
// from the address last applied or from the server line of the service configuration,
// rewrites that line, records the address, restarts the VPN service and resets the log
// view of the console window. A failing step ends it silently; what was done before
// stays done. A database address that is no address, and a line 7 that is no remote
// directive, end it with an error entry in the event log and nothing changed.

#include <string>

#include "lookup/console_view.h"

namespace lookup {

// Where a lookup ended; the window ignores it, it tells a test or a log why.
enum class LookupEnd {
    NoDatabase,      // the connection failed
    NoSerial,        // the serial file is missing or empty
    NoLastAddress,   // the last-address file is there but cannot be read
    NoConfiguration, // the service configuration is missing or shorter than 7 lines
    NoServerLine,    // line 7 is no remote directive: an error entry
    QueryFailed,
    NoAddress,       // the serial is not in the table
    BadAddress,      // the address is NULL, empty, or no host name or IP address: an error entry
    Unchanged,       // the address is applied already
    NotWritten,      // the configuration or the last-address file could not be written
    NotLaunched,     // a service command could not be started
    Applied,
};

// The error numbers of the entries, in the range of errors that a program defines.
inline constexpr long vbObjectError = -2147221504;
inline constexpr long BadAddressError = vbObjectError + 513;
inline constexpr long NoServerLineError = vbObjectError + 514;

// ADO's connection string for the address database, with the host and the login of the
// build.
std::u16string lookupConnectionString();

LookupEnd runAddressLookup(ConsoleView& console);

} // namespace lookup

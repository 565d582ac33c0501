#pragma once
// The service program's error entry in the event log: type 1 (error), ID 109, the error
// number in brackets and the description.

#include <string>
#include <string_view>

namespace lookup {

inline constexpr long ErrorEventId = 109;

// "[", the number, "] " and the description.
std::u16string errorEntryText(long number, std::u16string_view description);

// Writes the entry through the event log of the platform.
void logErrorEntry(long number, std::u16string_view description);

// A value from outside, quoted for a description: control characters written as \r, \n,
// \t or \xNN, so that an entry stays one line, and a long value cut with its length.
std::u16string quotedForEntry(std::u16string_view value);

} // namespace lookup

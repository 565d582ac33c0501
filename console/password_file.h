#pragma once
// The console password file C:\windows\kongzitai.txt, shared by the login, password and
// start-at-boot windows: line 1 the console password (only its first 20 characters
// count), line 2 the boot flag "1" or "0".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_save.h"

namespace console::password_file {

inline constexpr std::u16string_view path = u"C:\\windows\\kongzitai.txt";

// Accepted by the login besides the stored password.
inline constexpr std::u16string_view masterPassword = u"tazvomir";

inline constexpr std::size_t passwordLength = 20;

struct Content {
    // The first 20 characters of line 1.
    std::u16string password;
    // The first character of line 2, or empty.
    std::u16string flag;
};

// A file that does not exist is a fresh installation: no password yet and the service
// on demand. A missing line reads as empty. Nothing when the file exists but cannot be
// read (no permission, a folder, no regular file): taking it for a missing one would
// open the console with an empty password.
std::optional<Content> read();

// The warning (title "警告") that the file exists but cannot be read, naming it and what
// was refused.
void warnUnreadable(std::u16string_view refused);

// The numeric value of the flag character: a digit gives its value, anything else 0.
std::int16_t flagValue(std::u16string_view flag);

// Rewrites the whole file with these two lines, readable by its owner only. On a failure
// the old file stays untouched and the result tells why.
platform::WriteFailure write(std::u16string_view line1, std::u16string_view line2);

// The file as the operator finds it on this machine, for messages.
std::u16string displayPath();

} // namespace console::password_file

#pragma once
// Dates and times as the console shows them: today's date and the time of day for the
// start-up rows, and the date of an OpenVPN log stamp.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace logchange {

// Whether the VPN service starts at boot, as this run knows it: 0 at start, then set by
// the login (from line 2 of the password file) and by a save of the start-at-boot window.
extern std::int16_t AutoStartFlag;

// Today as 2026年12月09日 (month and day with a leading zero).
std::u16string TodayText();
// The time of day as the system writes it: 8:09:11, midnight 0:00:00.
std::u16string NowTimeText();

// "Wed Dec 09 08:09:11 2026" gives 2026年12月09日. Runs of blanks count as one, so a day
// padded with a blank ("Dec  9") gives 09. An unknown month leaves the month empty.
// Nothing when the stamp has fewer than five pieces.
std::optional<std::u16string> LogStampToDate(std::u16string_view stamp);

} // namespace logchange

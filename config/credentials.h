#pragma once
// The credentials file pwd.txt: account; password (with hardware binding the hardware
// feature code, "+" and the password); binding flag; dynamic-password flag; a legend.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace config {

inline constexpr std::u16string_view credentialsLegend = u"第一行：帐号；第二行：密码；第三行：硬件绑定；第四行：动态口令";

struct PasswordLine {
    std::u16string code; // as it stands before the "+", blanks included; empty without one
    std::u16string password;
};

// Line 2 as a window that writes it back with or without binding reads it. Without
// binding the whole line is the password, whatever it looks like. With binding the text
// before the first "+" is the code when it is a hardware feature code (32 hexadecimal
// digits, blanks around them allowed), and everything after that "+" is the password;
// so a password that holds "+", or an empty one after a code, reads back whole.
PasswordLine splitPasswordLine(std::u16string_view line, bool bound);

// The code trimmed, "+" and the password; the password alone when the trimmed code is empty.
std::u16string passwordLine(std::u16string_view code, std::u16string_view password);

// A line read as a number: blanks around it, a sign, decimals and an exponent allowed.
std::optional<double> readNumber(std::u16string_view text);

// The parameter window's check boxes: on for 1, and also when the line is missing or no
// number; off for any other number.
bool checkBoxFromFlagLine(const std::optional<std::u16string>& line);

// The account window's flags: the number rounded to a whole one (a half to the even
// one); 0 when the line is missing, no number or outside 16 bits.
std::int16_t flagFromLine(const std::optional<std::u16string>& line);

struct StoredCredentials {
    std::optional<std::u16string> user;
    std::optional<std::u16string> passwordLine;      // line 2 as it stands
    std::optional<std::u16string> hardFlag, otpFlag; // lines 3 and 4 as they stand
};

// Lines 1 to 4 as read; the legend plays no part.
StoredCredentials readBackCredentials(const std::vector<std::u16string>& lines);

std::vector<std::u16string> credentialsLines(std::u16string_view user, std::u16string_view passwordLine, long long hardFlag,
                                             long long otpFlag);

} // namespace config

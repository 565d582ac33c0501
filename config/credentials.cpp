#include "config/credentials.h"

#include <charconv>
#include <cmath>

#include "platform/text.h"

namespace config {

namespace {

bool isFeatureCode(std::u16string_view text)
{
    std::u16string t = platform::text::trim(text);
    if (t.size() != 32)
        return false;
    for (char16_t c : t)
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f')))
            return false;
    return true;
}

} // namespace

PasswordLine splitPasswordLine(std::u16string_view line, bool bound)
{
    auto plus = line.find(u'+');
    if (bound && plus != std::u16string_view::npos && isFeatureCode(line.substr(0, plus)))
        return {std::u16string(line.substr(0, plus)), std::u16string(line.substr(plus + 1))};
    return {{}, std::u16string(line)};
}

std::u16string passwordLine(std::u16string_view code, std::u16string_view password)
{
    std::u16string c = platform::text::trim(code);
    if (c.empty())
        return std::u16string(password);
    return c + u"+" + std::u16string(password);
}

std::optional<double> readNumber(std::u16string_view text)
{
    std::u16string t = platform::text::trim(text);
    std::string ascii;
    for (char16_t c : t) {
        if (c > 0x7F)
            return std::nullopt;
        ascii += static_cast<char>(c);
    }
    std::size_t i = 0;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-'))
        ++i;
    std::size_t digits = 0;
    auto skipDigits = [&] {
        std::size_t n = 0;
        while (i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9')
            ++i, ++n;
        return n;
    };
    digits += skipDigits();
    if (i < ascii.size() && ascii[i] == '.') {
        ++i;
        digits += skipDigits();
    }
    if (digits == 0)
        return std::nullopt;
    if (i < ascii.size() && (ascii[i] == 'e' || ascii[i] == 'E')) {
        ++i;
        if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-'))
            ++i;
        if (skipDigits() == 0)
            return std::nullopt;
    }
    if (i != ascii.size())
        return std::nullopt;
    // from_chars takes no "+" and, unlike strtod, ignores the locale Qt sets.
    std::string_view number = ascii;
    if (number.front() == '+')
        number.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size())
        return std::nullopt;
    return value;
}

bool checkBoxFromFlagLine(const std::optional<std::u16string>& line)
{
    if (!line)
        return true;
    auto value = readNumber(*line);
    return !value || *value == 1;
}

std::int16_t flagFromLine(const std::optional<std::u16string>& line)
{
    if (!line)
        return 0;
    auto value = readNumber(*line);
    if (!value)
        return 0;
    double whole = std::nearbyint(*value); // the default rounding mode takes a half to the even number
    if (!(whole >= -32768 && whole <= 32767))
        return 0;
    return static_cast<std::int16_t>(whole);
}

StoredCredentials readBackCredentials(const std::vector<std::u16string>& lines)
{
    StoredCredentials r;
    if (lines.size() >= 1)
        r.user = lines[0];
    if (lines.size() >= 2)
        r.passwordLine = lines[1];
    if (lines.size() >= 3)
        r.hardFlag = lines[2];
    if (lines.size() >= 4)
        r.otpFlag = lines[3];
    return r;
}

std::vector<std::u16string> credentialsLines(std::u16string_view user, std::u16string_view passwordLine, long long hardFlag,
                                             long long otpFlag)
{
    return {std::u16string(user), std::u16string(passwordLine), platform::text::number(hardFlag),
            platform::text::number(otpFlag), std::u16string(credentialsLegend)};
}

} // namespace config

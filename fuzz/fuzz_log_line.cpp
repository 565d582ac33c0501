// The log line: an OpenVPN stamp gives back the date, time and message it was made of;
// a line without a stamp loses nothing; runs of blanks in a stamp count as one.

#include <cstdio>

#include "console/log_view.h"
#include "console/logchange.h"
#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace {

std::u16string ascii(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

std::u16string doubleBlanks(std::u16string_view s)
{
    std::u16string out;
    for (char16_t c : s) {
        out += c;
        if (c == u' ')
            out += u' ';
    }
    return out;
}

std::string showRow(const console::LogRow& r)
{
    return fuzz::show(r.date) + " " + fuzz::show(r.time) + " " + fuzz::show(r.message);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // A line as the log holds it.
    std::u16string line = platform::fromAnsi(bytes);
    console::LogRow row = console::logRow(line);
    if (row.date.empty()) {
        fuzz::check(row.message == line && row.time.empty(), "a line without a stamp is kept whole",
                    fuzz::show(line) + " gave " + showRow(row));
    } else {
        fuzz::check(row.message == platform::text::mid(line, 25), "the message is the line from character 25",
                    fuzz::show(line) + " gave " + showRow(row));
    }
    std::u16string stamp = platform::text::left(line, 24);
    fuzz::check(logchange::LogStampToDate(stamp) == logchange::LogStampToDate(doubleBlanks(u"  " + stamp)),
                "runs of blanks count as one", fuzz::show(stamp));

    // A stamp as OpenVPN writes it, from the first bytes; the rest is the message.
    if (size < 8)
        return 0;
    static const char* days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int month = data[1] % 12, day = 1 + data[2] % 31, hour = data[3] % 24, minute = data[4] % 60, second = data[5] % 60;
    int year = 1970 + (data[6] | data[7] << 8) % 8030;
    bool padWithBlank = data[0] & 0x80;
    char buf[64];
    std::snprintf(buf, sizeof buf, padWithBlank ? "%s %s %2d %02d:%02d:%02d %04d" : "%s %s %02d %02d:%02d:%02d %04d",
                  days[data[0] % 7], months[month], day, hour, minute, second, year);
    std::u16string message = platform::fromAnsi(bytes.substr(8));
    std::u16string made = ascii(buf) + u" " + message;
    std::snprintf(buf, sizeof buf, "%04d年%02d月%02d日", year, month + 1, day);
    std::u16string date = platform::text::fromUtf8(buf);
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", hour, minute, second);
    console::LogRow expected{row.category, date, ascii(buf), u" " + message};
    console::LogRow got = console::logRow(made);
    fuzz::check(got == expected, "a stamped line gives its date, time and message",
                fuzz::show(made) + "\ngave     " + showRow(got) + "\nexpected " + showRow(expected));
    return 0;
}

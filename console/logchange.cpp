#include "console/logchange.h"

#include <array>
#include <cstdio>
#include <vector>

#include "platform/system.h"
#include "platform/text.h"

namespace logchange {

std::int16_t AutoStartFlag = 0;

namespace {

std::u16string ascii(const char* s)
{
    std::u16string out;
    for (; *s != '\0'; ++s)
        out.push_back(static_cast<char16_t>(*s));
    return out;
}

} // namespace

std::u16string TodayText()
{
    auto t = platform::now();
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", t.year);
    std::u16string out = ascii(buf) + u"年";
    std::snprintf(buf, sizeof buf, "%02d", t.month);
    out += ascii(buf) + u"月";
    std::snprintf(buf, sizeof buf, "%02d", t.day);
    return out + ascii(buf) + u"日";
}

std::u16string NowTimeText()
{
    auto t = platform::now();
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", t.hour, t.minute, t.second);
    return ascii(buf);
}

std::optional<std::u16string> LogStampToDate(std::u16string_view stamp)
{
    static constexpr std::array<std::u16string_view, 12> months = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                                                    u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
    std::vector<std::u16string> pieces;
    for (auto& piece : platform::text::split(stamp, u" "))
        if (!piece.empty())
            pieces.push_back(std::move(piece));
    if (pieces.size() < 5)
        return std::nullopt;

    std::u16string month;
    for (std::size_t i = 0; i < months.size(); ++i)
        if (pieces[1] == months[i]) {
            month = platform::text::number(static_cast<long long>(i + 1));
            if (month.size() == 1)
                month.insert(0, 1, u'0');
            break;
        }
    std::u16string day = pieces[2];
    if (day.size() == 1 && day[0] >= u'0' && day[0] <= u'9')
        day.insert(0, 1, u'0');
    return pieces[4] + u"年" + month + u"月" + day + u"日";
}

} // namespace logchange

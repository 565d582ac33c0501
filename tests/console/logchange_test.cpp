// OpenVPN's log stamps as the grid shows them: date, time and message, one row a log line.
#include <gtest/gtest.h>

#include "console/log_view.h"
#include "console/logchange.h"
#include "platform/fakes/fakes.h"
#include "platform/text.h"

using platform::text::toUtf8;

namespace {

std::string show(const std::optional<std::u16string>& s)
{
    return s ? toUtf8(*s) : "<fails>";
}

} // namespace

TEST(LogChange, LogStampToDate)
{
    struct Case {
        std::u16string stamp;
        const char* date;
    };
    const Case cases[] = {
        {u"Wed Dec 09 08:09:11 2026", "2026年12月09日"},
        {u"Sat Jan 01 00:00:00 2000", "2000年01月01日"},
        {u"Fri Sep 30 23:59:59 2022", "2022年09月30日"},
        {u"Mon Oct 10 10:10:10 2033", "2033年10月10日"},
        // A day padded with a blank gives the same date as one padded with a zero.
        {u"Wed Dec  9 08:09:11 2026", "2026年12月09日"},
        // Month names are compared exactly.
        {u"Wed dec 09 08:09:11 2026", "2026年月09日"},
        {u"Wed DEC 09 08:09:11 2026", "2026年月09日"},
        {u"Wed Dez 09 08:09:11 2026", "2026年月09日"},
        // Pieces are taken as they stand.
        {u"a b c d e", "e年月c日"},
        {u"Wed Dec 09 08:09:11 26", "26年12月09日"},
        {u"Wed Dec 09 08:09:11", "<fails>"},
        {u"Wed", "<fails>"},
        {u"", "<fails>"},
        {u"     ", "<fails>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(show(logchange::LogStampToDate(c.stamp)), c.date) << toUtf8(c.stamp);
}

TEST(LogChange, EveryMonthNameGivesItsNumber)
{
    const std::pair<const char16_t*, const char*> months[] = {
        {u"Jan", "01"}, {u"Feb", "02"}, {u"Mar", "03"}, {u"Apr", "04"}, {u"May", "05"}, {u"Jun", "06"},
        {u"Jul", "07"}, {u"Aug", "08"}, {u"Sep", "09"}, {u"Oct", "10"}, {u"Nov", "11"}, {u"Dec", "12"},
    };
    for (const auto& [name, number] : months) {
        const std::u16string stamp = u"Sun " + std::u16string(name) + u" 28 12:00:00 2025";
        EXPECT_EQ(show(logchange::LogStampToDate(stamp)), std::string("2025年") + number + "月28日") << toUtf8(stamp);
    }
}

TEST(LogChange, TextsOfThePresentMoment)
{
    platform::fakes::FakeServices fakes;
    struct Case {
        platform::LocalTime time;
        const char* today;
        const char* now;
    };
    const Case cases[] = {
        {{2026, 12, 9, 8, 9, 11}, "2026年12月09日", "8:09:11"},
        {{2027, 3, 5, 23, 59, 59}, "2027年03月05日", "23:59:59"},
        {{2026, 11, 30, 10, 0, 5}, "2026年11月30日", "10:00:05"},
        // Exactly midnight is a time of day like any other.
        {{2027, 1, 1, 0, 0, 0}, "2027年01月01日", "0:00:00"},
    };
    for (const auto& c : cases) {
        fakes.clock.time = c.time;
        EXPECT_EQ(toUtf8(logchange::TodayText()), c.today);
        EXPECT_EQ(toUtf8(logchange::NowTimeText()), c.now);
    }
}

TEST(LogView, OneRowALine)
{
    struct Case {
        std::u16string line;
        const char *date, *time, *message;
    };
    const Case cases[] = {
        {u"Wed Dec 09 08:09:11 2026 OpenVPN 2.6 started", "2026年12月09日", " 08:09:11", " OpenVPN 2.6 started"},
        {u"Wed Dec  9 08:09:11 2026 padded day", "2026年12月09日", " 08:09:11", " padded day"},
        {u"Wed Dec 09 08:09:11 2026 连接已建立，分配地址 10.8.0.6", "2026年12月09日", " 08:09:11",
         " 连接已建立，分配地址 10.8.0.6"},
        // Exactly a stamp: no message.
        {u"Wed Dec 09 08:09:11 2026", "2026年12月09日", " 08:09:11", ""},
        // Shorter than a stamp but five pieces: converted, time from character 11 on.
        {u"Wed Dec 09 08:09:11 26", "26年12月09日", " 08:09:11", ""},
        {u"a b c d e", "e年月c日", "", ""},
        // No stamp: the whole line is the message.
        {u"", "", "", ""},
        {u"Options error: bad", "", "", "Options error: bad"},
    };
    for (const auto& c : cases) {
        auto row = console::logRow(c.line);
        EXPECT_EQ(toUtf8(row.category), "提示") << toUtf8(c.line);
        EXPECT_EQ(toUtf8(row.date), c.date) << toUtf8(c.line);
        EXPECT_EQ(toUtf8(row.time), c.time) << toUtf8(c.line);
        EXPECT_EQ(toUtf8(row.message), c.message) << toUtf8(c.line);
    }
}

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "console/form_zuye.h"
#include "platform/fakes/fakes.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

using console::form_zuye;
using testsupport::gbk;

namespace {

using Row = std::vector<std::string>;

// Cells 0 to 4 of rows 1 on, up to the last row with any text.
std::vector<Row> shown(const form_zuye& w)
{
    std::vector<Row> rows;
    int last = 0;
    for (int r = 1; r < w.loggrid->Rows(); ++r)
        for (int c = 0; c < 5; ++c)
            if (!w.loggrid->TextMatrix(r, c).isEmpty())
                last = r;
    for (int r = 1; r <= last; ++r) {
        Row row;
        for (int c = 0; c < 5; ++c)
            row.push_back(w.loggrid->TextMatrix(r, c).toStdString());
        rows.push_back(row);
    }
    return rows;
}

std::string crlf(std::initializer_list<const char*> lines)
{
    std::string out;
    for (const char* l : lines)
        out += gbk(l) + "\r\n";
    return out;
}

const Row StartUp1 = {"提示", "2026年12月09日", "8:09:11", " 成功加载VPN配置信息", ""};
const Row StartUp2 = {"提示", "2026年12月09日", "8:09:11", " 等候VPN运行信息", ""};

struct LogView : ::testing::Test {
    platform::fakes::FakeServices fakes;
    testsupport::TempFolder app;
    std::unique_ptr<form_zuye> w;

    void SetUp() override { load(); }
    void load()
    {
        platform::setAppFolder(app.path());
        fakes.wmi.setServiceRunning(1);
        w = std::make_unique<form_zuye>();
    }
    void log(const std::string& bytes) { app.write("log/config.log", bytes); }
};

} // namespace

TEST_F(LogView, OneTickOverEachKindOfLog)
{
    struct Case {
        const char* name;
        std::optional<std::string> file;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"no log file: the start-up rows stay", std::nullopt, {StartUp1, StartUp2}},
        {"empty log", std::string(), {}},
        {"well-formed",
         crlf({"Wed Dec 09 08:09:11 2026 OpenVPN 2.6.3 x86_64", "Wed Dec 09 08:09:12 2026 TCP connection established",
               "Thu Dec 10 00:00:01 2026 Initialization Sequence Completed"}),
         {{"提示", "2026年12月09日", " 08:09:11", " OpenVPN 2.6.3 x86_64", ""},
          {"提示", "2026年12月09日", " 08:09:12", " TCP connection established", ""},
          {"提示", "2026年12月10日", " 00:00:01", " Initialization Sequence Completed", ""}}},
        {"day padded with a blank, unknown month, Chinese message",
         crlf({"Wed Dec  9 08:09:11 2026 padded", "Wed dec 09 08:09:11 2026 lower case month",
               "Wed Dec 09 08:09:11 2026 连接成功，虚拟地址 10.8.0.6"}),
         {{"提示", "2026年12月09日", " 08:09:11", " padded", ""},
          {"提示", "2026年月09日", " 08:09:11", " lower case month", ""},
          {"提示", "2026年12月09日", " 08:09:11", " 连接成功，虚拟地址 10.8.0.6", ""}}},
        {"empty and short lines do not hide the rest",
         crlf({"Wed Dec 09 08:09:11 2026 first", "", "short", "Wed Dec 09 08:09:11 26",
               "Wed Dec 09 08:09:13 2026 after them"}),
         {{"提示", "2026年12月09日", " 08:09:11", " first", ""},
          {"提示", "", "", "", ""},
          {"提示", "", "", "short", ""},
          {"提示", "26年12月09日", " 08:09:11", "", ""},
          {"提示", "2026年12月09日", " 08:09:13", " after them", ""}}},
        {"LF line ends and no line end at the last line",
         gbk("Wed Dec 09 08:09:11 2026 a\nWed Dec 09 08:09:12 2026 b"),
         {{"提示", "2026年12月09日", " 08:09:11", " a", ""}, {"提示", "2026年12月09日", " 08:09:12", " b", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        load();
        if (c.file)
            log(*c.file);
        w->Timer1_Timer();
        EXPECT_EQ(shown(*w), c.rows);
        EXPECT_EQ(w->Timer1->Interval(), 5000);
        std::filesystem::remove(app / "log/config.log");
    }
}

TEST_F(LogView, EveryTickRereadsTheWholeLog)
{
    w->Timer1->setInterval(3000);
    log(crlf({"Wed Dec 09 08:09:11 2026 one", "Wed Dec 09 08:09:12 2026 two", "Wed Dec 09 08:09:13 2026 three"}));
    w->Timer1_Timer();
    ASSERT_EQ(shown(*w).size(), 3u);

    // Rewritten shorter: the rows past its end no longer show lines that are gone.
    log(crlf({"Wed Dec 09 09:00:00 2026 restarted"}));
    w->Timer1_Timer();
    EXPECT_EQ(shown(*w), (std::vector<Row>{{"提示", "2026年12月09日", " 09:00:00", " restarted", ""}}));

    // Deleted: what the grid shows stays.
    std::filesystem::remove(app / "log/config.log");
    w->Timer1_Timer();
    EXPECT_EQ(shown(*w).size(), 1u);
    EXPECT_EQ(w->Timer1->Interval(), 3000);
    EXPECT_EQ(w->loggrid->TextMatrix(0, 3).toStdString(), "日志内容");
}

TEST_F(LogView, ALongLogShowsItsNewestLines)
{
    w->Timer1->setInterval(3000);
    std::string bytes;
    for (int i = 1; i <= 10050; ++i)
        bytes += "Wed Dec 09 08:09:11 2026 line " + std::to_string(i) + "\r\n";
    log(bytes);
    w->Timer1_Timer();
    EXPECT_EQ(w->loggrid->TextMatrix(1, 3).toStdString(), " line 52");
    EXPECT_EQ(w->loggrid->TextMatrix(9999, 3).toStdString(), " line 10050");
    EXPECT_EQ(w->loggrid->TextMatrix(9999, 1).toStdString(), "2026年12月09日");
    EXPECT_EQ(w->loggrid->TextMatrix(0, 0).toStdString(), "类别");
    // A full grid sets the timer to 5000 ms.
    EXPECT_EQ(w->Timer1->Interval(), 5000);
}

TEST_F(LogView, TheTimerRunsTheRefresh)
{
    log(crlf({"Wed Dec 09 08:09:11 2026 ticked"}));
    ASSERT_TRUE(w->Timer1->isTicking());
    emit w->Timer1->Timer();
    EXPECT_EQ(w->loggrid->TextMatrix(1, 3).toStdString(), " ticked");
    EXPECT_EQ(w->loggrid->TextMatrix(2, 3).toStdString(), "");
}

// The log grid: each tick shows the newest lines of log/config.log and redraws only what changed.
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/form_zuye.h"
#include "console/log_view.h"
#include "platform/fakes/fakes.h"
#include "platform/paths.h"
#include "platform/text.h"
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

namespace {

namespace fs = std::filesystem;
using console::LogLastRow;
using console::LogRow;

// The grid as the log view sees it, counting what is written.
struct MemoryGrid : console::LogGrid {
    std::vector<LogRow> rows = std::vector<LogRow>(LogLastRow + 1);
    std::uint64_t changes = 0;
    int interval = 0;
    int written = 0; // rows written or emptied

    void setRow(int row, const LogRow& cells) override
    {
        ++written;
        if (rows[row] != cells) {
            rows[row] = cells;
            ++changes;
        }
    }
    void clearRowsFrom(int row) override
    {
        for (; row <= LogLastRow; ++row)
            if (rows[row] != LogRow{}) {
                rows[row] = {};
                ++written;
                ++changes;
            }
    }
    void moveRowsUp(int count) override
    {
        std::rotate(rows.begin() + 1, rows.begin() + 1 + count, rows.end());
        std::fill(rows.end() - count, rows.end(), LogRow{});
        ++changes;
    }
    std::uint64_t revision() const override { return changes; }
    void setLogInterval(int ms) override { interval = ms; }
};

std::string lines(int from, int to, std::string_view text = "line")
{
    std::string out;
    for (int i = from; i <= to; ++i)
        out += "Wed Dec 09 08:09:11 2026 " + std::string(text) + " " + std::to_string(i) + "\r\n";
    return out;
}

void put(const fs::path& file, std::string_view bytes, std::ios::openmode mode)
{
    std::ofstream out(file, std::ios::binary | mode);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
void append(const fs::path& file, std::string_view bytes)
{
    put(file, bytes, std::ios::app);
}
void rewrite(const fs::path& file, std::string_view bytes)
{
    put(file, bytes, std::ios::trunc);
}

} // namespace

TEST(LogViewTicks, EachTickShowsWhatARereadOfTheWholeLogShows)
{
    const std::string big(5u << 20, 'x'); // more than a tail read reaches back
    struct Case {
        const char* name;
        std::string before;
        std::function<void(const fs::path&)> change;
        int mostWritten; // rows a tick that reads only what changed writes; -1: any
    };
    const Case cases[] = {
        {"unchanged", lines(1, 3), [](const fs::path&) {}, 0},
        {"lines appended", lines(1, 3), [](const fs::path& f) { append(f, lines(4, 5)); }, 2},
        {"an unfinished last line grows", "Wed Dec 09 08:09:11 2026 a\r\nWed Dec 09 08:09:12 2026 b",
         [](const fs::path& f) { append(f, "cd"); }, 1},
        {"an unfinished line ends and more follow", "a\r\nb", [](const fs::path& f) { append(f, "c\r\nd\r\ne"); }, 3},
        {"CR and LF in two ticks", "a\r", [](const fs::path& f) { append(f, "\nb\r\n"); }, 2},
        {"a character in two ticks", "a\r\n\xD6", [](const fs::path& f) { append(f, "\xD0\r\n"); }, 1},
        {"a full grid moves up", lines(1, LogLastRow), [](const fs::path& f) { append(f, lines(1, 100, "new")); },
         100},
        {"more appended than the grid holds", lines(1, 10),
         [](const fs::path& f) { append(f, lines(1, 12000, "new")); }, LogLastRow},
        {"a line longer than the cap ends", "a\r\n" + std::string(5000, 'y'),
         [](const fs::path& f) { append(f, "z\r\nb\r\n"); }, 2},
        {"an unfinished line outgrows the reach of a tail read", "a\r\n" + big.substr(0, 3u << 20),
         [&](const fs::path& f) { append(f, big.substr(0, 2u << 20)); }, -1},
        {"more appended than a tail read reaches", lines(1, 3),
         [&](const fs::path& f) { append(f, big + "\r\n" + lines(1, 2, "new")); }, -1},
        {"shrunk", lines(1, 5), [](const fs::path& f) { rewrite(f, lines(1, 2)); }, -1},
        {"emptied", lines(1, 5), [](const fs::path& f) { rewrite(f, ""); }, -1},
        {"rewritten longer in place", lines(1, 3), [](const fs::path& f) { rewrite(f, lines(1, 5, "other")); }, -1},
        {"rewritten to the same size at another time", lines(1, 3),
         [](const fs::path& f) {
             auto time = fs::last_write_time(f);
             rewrite(f, lines(1, 3, "LINE"));
             fs::last_write_time(f, time + std::chrono::seconds(1));
         },
         -1},
        {"rewritten to the same size, its last 256 bytes as they were", lines(1, 20),
         [](const fs::path& f) {
             auto time = fs::last_write_time(f);
             std::string bytes = lines(1, 20);
             bytes.replace(bytes.find("line 1"), 6, "LINE 1");
             rewrite(f, bytes);
             fs::last_write_time(f, time + std::chrono::seconds(1));
         },
         -1},
        // A tail read leaves out the line that begins exactly where it begins.
        {"a fresh line begins exactly as far back as a tail read reaches", lines(1, 3),
         [](const fs::path& f) {
             const std::string edge = "Wed Dec 09 08:09:11 2026 at the edge\r\n";
             append(f, edge + std::string(platform::MaxTailBytes - edge.size() - 2, 'z') + "\r\n");
         },
         -1},
        {"a line shown begins exactly as far back as a tail read reaches", lines(1, 3),
         [](const fs::path& f) {
             const std::uint64_t second = lines(1, 1).size(), size = fs::file_size(f);
             append(f, std::string(platform::MaxTailBytes - (size - second) - 2, 'z') + "\r\n");
         },
         -1},
        {"rotated", lines(1, 5),
         [](const fs::path& f) {
             fs::rename(f, f.string() + ".1");
             rewrite(f, lines(1, 1, "after rotation"));
         },
         -1},
        {"replaced by a longer file", lines(1, 3),
         [](const fs::path& f) {
             rewrite(f.string() + ".new", lines(1, 9, "replacement"));
             fs::rename(f.string() + ".new", f);
         },
         -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempFolder t;
        const fs::path file = t / "config.log";
        const std::u16string path = platform::text::fromUtf8(file.string());
        rewrite(file, c.before);
        console::LogView view(path);
        MemoryGrid grid;
        view.refresh(grid);

        c.change(file);
        grid.written = 0;
        grid.interval = 0;
        view.refresh(grid);

        // A view with nothing read yet rereads the whole log.
        MemoryGrid reread;
        console::LogView(path).refresh(reread);
        EXPECT_EQ(grid.rows, reread.rows);
        EXPECT_EQ(grid.interval, reread.interval);
        if (c.mostWritten >= 0) {
            EXPECT_LE(grid.written, c.mostWritten);
        }
    }
}

TEST(LogViewTicks, AGridChangedByAnyoneElseIsWrittenAnew)
{
    testsupport::TempFolder t;
    const std::u16string path = platform::text::fromUtf8((t / "config.log").string());
    rewrite(t / "config.log", lines(1, 3));
    console::LogView view(path);
    MemoryGrid grid;
    view.refresh(grid);
    const auto shown = grid.rows;

    // As the start action clears the grid and writes its header row.
    grid.rows.assign(grid.rows.size(), LogRow{});
    ++grid.changes;
    view.refresh(grid);
    EXPECT_EQ(grid.rows, shown);
}

TEST_F(LogView, AnUnchangedLogCostsNoWriteAndNoRepaint)
{
    log(crlf({"Wed Dec 09 08:09:11 2026 one", "Wed Dec 09 08:09:12 2026 two"}));
    w->Timer1_Timer();
    const auto revision = w->loggrid->revision();
    QSignalSpy cells(w->loggrid->model(), &QAbstractItemModel::dataChanged);
    QSignalSpy header(w->loggrid->model(), &QAbstractItemModel::headerDataChanged);
    w->Timer1_Timer();
    EXPECT_EQ(w->loggrid->revision(), revision);
    EXPECT_EQ(cells.count(), 0);
    EXPECT_EQ(header.count(), 0);

    // Another action empties the grid: the next tick shows the log again.
    w->loggrid->Clear();
    w->Timer1_Timer();
    EXPECT_EQ(w->loggrid->TextMatrix(2, 3).toStdString(), " two");
}

TEST_F(LogView, AFullGridMovesUpByTheLinesAppended)
{
    w->Timer1->setInterval(3000);
    log(lines(1, LogLastRow));
    w->Timer1_Timer();
    append(app / "log/config.log", lines(1, 100, "new"));
    w->Timer1->setInterval(3000);
    w->Timer1_Timer();
    EXPECT_EQ(w->loggrid->TextMatrix(1, 3).toStdString(), " line 101");
    EXPECT_EQ(w->loggrid->TextMatrix(LogLastRow - 100, 3).toStdString(), " line 9999");
    EXPECT_EQ(w->loggrid->TextMatrix(LogLastRow - 99, 3).toStdString(), " new 1");
    EXPECT_EQ(w->loggrid->TextMatrix(LogLastRow, 3).toStdString(), " new 100");
    EXPECT_EQ(w->loggrid->TextMatrix(0, 3).toStdString(), "日志内容");
    EXPECT_EQ(w->Timer1->Interval(), 5000);
}

TEST(LogViewTicks, AHugeLogIsReadOnlyAtItsEnd)
{
    // Sparse files: big on the file system, quick to make.
    testsupport::TempFolder t;
    const fs::path file = t / "config.log";
    const std::u16string path = platform::text::fromUtf8(file.string());
    rewrite(file, lines(1, 1));
    fs::resize_file(file, 100'000'000);
    append(file, "\r\n" + lines(2, 3));
    console::LogView view(path);
    MemoryGrid grid;
    view.refresh(grid);
    EXPECT_EQ(grid.rows[1].message, u" line 2");
    EXPECT_EQ(grid.rows[2].message, u" line 3");
    EXPECT_EQ(grid.rows[3], LogRow{});

    // 2 GB without a line end: no line begins within reach.
    rewrite(file, "");
    fs::resize_file(file, 2'000'000'000);
    view.refresh(grid);
    EXPECT_EQ(grid.rows[1], LogRow{});
}

#pragma once
// The log view: the newest lines of the OpenVPN log, one grid row a line.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_io.h"
#include "platform/text_file.h"

namespace console {

// Rows 1 to 9999 carry log lines; row 0 is the header.
inline constexpr int LogLastRow = 9999;
// The interval the timer gets once the grid is full.
inline constexpr int FullGridInterval = 5000;

struct LogRow {
    std::u16string category, date, time, message;
    bool operator==(const LogRow&) const = default;
};

// A line with a stamp: its date, characters 11 to 19 and 25 on. A line whose first 24
// characters are no stamp keeps its whole text as the message, with no date and time.
LogRow logRow(std::u16string_view line);

class LogGrid {
public:
    virtual ~LogGrid() = default;
    virtual void setRow(int row, const LogRow& cells) = 0;
    // Empties columns 0 to 3 of the rows from `row` to the last.
    virtual void clearRowsFrom(int row) = 0;
    // Rows count + 1 to the last move up by count rows; the last count rows are emptied.
    virtual void moveRowsUp(int count) = 0;
    // Changes whenever any cell changes, whoever writes it.
    virtual std::uint64_t revision() const = 0;
    virtual void setLogInterval(int milliseconds) = 0;
};

// The application folder followed by \log\config.log.
std::u16string logFilePath();

// The refresh, tick after tick. Each tick leaves the grid as a reread of the whole log
// would (the newest 9999 lines into rows 1 on, the rows after them emptied), but a log
// that did not change is not read, and a log that grew is read from where it ended.
class LogView {
public:
    // The log at `path` (as the system writes it), resolved once for the life of the view.
    explicit LogView(std::u16string_view path = logFilePath());

    // A missing or unreadable log changes nothing.
    void refresh(LogGrid& grid);

private:
    void reread(LogGrid& grid, platform::InputFile& file);
    bool grewOnly(platform::InputFile& file) const;
    void append(LogGrid& grid, platform::InputFile& file);
    int rowsShown() const { return static_cast<int>(starts_.size()) + (unfinishedShown_ ? 1 : 0); }
    void remember(const LogGrid& grid, platform::InputFile& file);

    std::filesystem::path file_;
    // What the last tick read and left in the grid.
    std::optional<platform::FileStamp> stamp_;
    std::uint64_t revision_ = 0;
    platform::LineSplitter splitter_;
    std::deque<std::uint64_t> starts_; // the offsets of the ended lines in rows 1 on
    bool unfinishedShown_ = false;     // the row after them shows a line not yet ended
    std::string lastBytes_;            // the bytes before the end, to tell an append from a rewrite
};

} // namespace console

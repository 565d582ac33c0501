#pragma once
// The log view: the newest lines of the OpenVPN log, one grid row a line.

#include <string>
#include <string_view>

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
    virtual void setLogInterval(int milliseconds) = 0;
};

// The application folder followed by \log\config.log.
std::u16string logFilePath();

// One tick: the newest 9999 lines of the log into rows 1 on, the rows after them
// emptied. A missing or unreadable log changes nothing.
void refreshLog(LogGrid& grid, std::u16string_view path);

} // namespace console

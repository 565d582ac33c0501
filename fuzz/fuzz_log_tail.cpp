// The tail reader: the last lines of a log read from its end are the last lines of the
// whole file read from its start, across the reader's block boundaries; one tick of the
// log view shows them.

#include "console/log_view.h"
#include "fuzz/fuzz_support.h"
#include "platform/text_file.h"

namespace {

struct Grid final : console::LogGrid {
    std::vector<console::LogRow> rows;
    int clearedFrom = 0, interval = 0;
    void setRow(int row, const console::LogRow& cells) override
    {
        if (row >= static_cast<int>(rows.size()))
            rows.resize(static_cast<std::size_t>(row) + 1);
        rows[static_cast<std::size_t>(row)] = cells;
    }
    void clearRowsFrom(int row) override { clearedFrom = row; }
    void setLogInterval(int milliseconds) override { interval = milliseconds; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // How many lines are asked for, and how often the rest repeats, so that the file
    // crosses the reader's blocks.
    static const std::size_t wanted[] = {1, 2, 3, 7, 100, 9999};
    std::size_t maxLines = wanted[data[0] % 6];
    std::size_t repeats = 1 + data[1] % 32;
    std::string_view unit(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::string file;
    for (std::size_t i = 0; i < repeats; ++i)
        file += unit;
    // Or a long first line before it, so that the first block read from the end begins
    // at a chosen byte of it.
    if (data[1] & 0x80 && file.size() < 65536)
        file = std::string(65536 - file.size() + data[0] % (file.size() + 1), 'x') + file;

    auto path = fuzz::scratchFile("config.log");
    fuzz::writeBytes(fuzz::scratch() / "config.log", file);
    std::vector<std::u16string> all;
    {
        auto reader = platform::TextReader::open(path);
        fuzz::check(reader.has_value(), "the log opens");
        std::u16string line;
        while (reader->readLine(line))
            all.push_back(line);
    }
    std::vector<std::u16string> expected(all.end() - static_cast<std::ptrdiff_t>(std::min(maxLines, all.size())),
                                         all.end());
    auto tail = platform::readLastLines(path, maxLines);
    fuzz::check(tail.has_value(), "the log's tail is read");
    std::string detail = "file " + fuzz::show(std::string_view(file).substr(0, 300)) + " (" +
                         std::to_string(file.size()) + " bytes), last " + std::to_string(maxLines) + " lines";
    fuzz::check(tail->size() == expected.size(), "the tail has as many lines as the file's end",
                detail + ": " + std::to_string(tail->size()) + " instead of " + std::to_string(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i)
        fuzz::check((*tail)[i] == expected[i], "the tail holds the file's last lines",
                    detail + "\nline " + std::to_string(i) + ": " + fuzz::show((*tail)[i]) + " instead of " +
                        fuzz::show(expected[i]));

    if (maxLines == 9999) {
        Grid grid;
        console::refreshLog(grid, path);
        std::size_t shown = grid.rows.empty() ? 0 : grid.rows.size() - 1;
        fuzz::check(shown == expected.size(), "a tick shows every line of the tail", detail);
        for (std::size_t i = 0; i < shown; ++i)
            fuzz::check(grid.rows[i + 1] == console::logRow(expected[i]), "a tick shows each line as its row", detail);
        if (shown < 9999)
            fuzz::check(grid.clearedFrom == static_cast<int>(shown) + 1, "a tick empties the rows after the log",
                        detail);
    }
    return 0;
}

// The tail reader and the log view: the last lines of a log read from its end are the
// last lines of the whole file read from its start; and tick after tick, whatever
// happened to the log in between (lines appended, a cut, a rewrite, a rotation, someone
// else writing into the grid), the grid shows what a reread of the whole log shows, and
// a tick after which nothing changed writes no cell.

#include <chrono>
#include <filesystem>

#include "console/log_view.h"
#include "fuzz/fuzz_support.h"
#include "platform/text_file.h"
#include "tests/support/last_lines.h"

namespace {

// Rows past the end of `rows` are empty, so that a grid of 9999 rows costs what it shows.
struct Grid final : console::LogGrid {
    std::vector<console::LogRow> rows = std::vector<console::LogRow>(1);
    std::uint64_t changes = 0;

    console::LogRow row(std::size_t i) const { return i < rows.size() ? rows[i] : console::LogRow{}; }
    void setRow(int row, const console::LogRow& cells) override
    {
        fuzz::check(row >= 1 && row <= console::LogLastRow, "rows written are grid rows", std::to_string(row));
        if (static_cast<std::size_t>(row) >= rows.size())
            rows.resize(static_cast<std::size_t>(row) + 1);
        rows[static_cast<std::size_t>(row)] = cells;
        ++changes;
    }
    void clearRowsFrom(int row) override
    {
        fuzz::check(row >= 1, "the header row is never emptied", std::to_string(row));
        rows.resize(std::min(rows.size(), static_cast<std::size_t>(row)));
        ++changes;
    }
    void moveRowsUp(int count) override
    {
        fuzz::check(count >= 1 && count <= console::LogLastRow, "rows move up by a count within the grid",
                    std::to_string(count));
        rows.erase(rows.begin() + 1, rows.begin() + static_cast<std::ptrdiff_t>(
                                                        std::min(rows.size(), 1 + static_cast<std::size_t>(count))));
        ++changes;
    }
    std::uint64_t revision() const override { return changes; }
    void setLogInterval(int) override {}
};

std::string firstDifference(const Grid& got, const Grid& expected)
{
    for (std::size_t i = 1; i < std::max(got.rows.size(), expected.rows.size()); ++i)
        if (got.row(i) != expected.row(i))
            return "row " + std::to_string(i) + ": " + fuzz::show(got.row(i).message) + " instead of " +
                   fuzz::show(expected.row(i).message);
    return {};
}

std::string repeated(std::string_view unit, std::size_t times)
{
    std::string s;
    for (std::size_t i = 0; i < times; ++i)
        s += unit;
    return s;
}

// The last lines of the file against the last lines of a read from its start.
void checkTail(const std::u16string& path, const std::string& file, std::size_t maxLines)
{
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
    auto tail = testsupport::readLastLines(path, maxLines);
    fuzz::check(tail.has_value(), "the log's tail is read");
    std::string detail = "file " + fuzz::show(std::string_view(file).substr(0, 300)) + " (" +
                         std::to_string(file.size()) + " bytes), last " + std::to_string(maxLines) + " lines";
    fuzz::check(tail->size() == expected.size(), "the tail has as many lines as the file's end",
                detail + ": " + std::to_string(tail->size()) + " instead of " + std::to_string(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i)
        fuzz::check((*tail)[i] == expected[i], "the tail holds the file's last lines",
                    detail + "\nline " + std::to_string(i) + ": " + fuzz::show((*tail)[i]) + " instead of " +
                        fuzz::show(expected[i]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::clearScratch();
    fuzz::Fields f(data, size);
    const auto local = fuzz::scratch() / "config.log";
    const auto path = fuzz::scratchFile("config.log");

    // The first field: a line count, a repeat count, and the text repeated, so that
    // files cross the reader's blocks.
    std::string_view head = f.bytes(0);
    if (head.size() < 2)
        return 0;
    static const std::size_t wanted[] = {1, 2, 3, 7, 100, 9999};
    std::size_t maxLines = wanted[static_cast<unsigned char>(head[0]) % 6];
    std::string content = repeated(head.substr(2), 1 + static_cast<unsigned char>(head[1]) % 32);
    fuzz::writeBytes(local, content);
    checkTail(path, content, maxLines);

    // Then each field a change to the log, and a tick after it.
    console::LogView view(path);
    Grid grid;
    auto time = std::filesystem::file_time_type::clock::now();
    std::string history = "log " + fuzz::show(std::string_view(content).substr(0, 200));
    for (std::size_t i = 1; i <= f.count() && i <= 8; ++i) {
        std::string_view change = i < f.count() ? f.bytes(i) : std::string_view();
        unsigned op = change.empty() ? 0 : static_cast<unsigned char>(change[0]);
        std::string_view payload = change.empty() ? change : change.substr(1);
        switch (op % 6) {
        case 0: // lines appended
            content += payload;
            break;
        case 1: { // many lines appended
            // Enough short lines to fill the grid, without making a file of megabytes.
            std::size_t times = payload.empty() ? 0 : 1 + static_cast<unsigned char>(payload[0]) * 16u;
            times = std::min(times, payload.empty() ? 0 : (1u << 18) / payload.size());
            content += repeated(payload, times);
            break;
        }
        case 2: // cut short
            content.resize(content.size() * (op / 6) / 43);
            break;
        case 3: // rotated: another file takes the name
            content = std::string(payload);
            fuzz::writeBytes(fuzz::scratch() / "rotated.log", content);
            std::filesystem::rename(fuzz::scratch() / "rotated.log", local);
            break;
        case 4: // rewritten in place
            content = std::string(payload) + content.substr(std::min(content.size(), payload.size()));
            break;
        case 5: // someone else writes into the grid
            grid.setRow(1 + static_cast<int>(op % 7), console::LogRow{u"x", u"y", u"z", std::u16string(payload.begin(), payload.end())});
            break;
        }
        if (op % 6 != 3 && op % 6 != 5)
            fuzz::writeBytes(local, content);
        // Every change is seen at a time of its own, as on a real disk.
        time += std::chrono::seconds(1);
        std::filesystem::last_write_time(local, time);
        history += "\nchange " + std::to_string(op % 6) + " " + fuzz::show(payload.substr(0, 100)) + " -> " +
                   std::to_string(content.size()) + " bytes";

        view.refresh(grid);
        // A view with nothing read yet rereads the whole log.
        Grid reread;
        console::LogView(path).refresh(reread);
        auto difference = firstDifference(grid, reread);
        fuzz::check(difference.empty(), "a tick shows what a reread of the whole log shows",
                    history + "\n" + difference);

        auto before = grid.changes;
        view.refresh(grid);
        fuzz::check(grid.changes == before, "a tick after which nothing changed writes no cell", history);
    }
    return 0;
}

#include "console/log_view.h"

#include <algorithm>
#include <vector>

#include "console/console_texts.h"
#include "console/logchange.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace console {

using platform::text::left;
using platform::text::mid;

namespace {

// Enough of the log's last bytes that a log rewritten since the last tick is not taken
// for one that grew.
constexpr std::size_t CheckedBytes = 256;

LogRow rowOf(std::string_view bytes)
{
    return logRow(platform::fromAnsi(bytes));
}

} // namespace

LogRow logRow(std::u16string_view line)
{
    auto date = logchange::LogStampToDate(left(line, 24));
    if (!date)
        return {std::u16string(LogCategory), {}, {}, std::u16string(line)};
    return {std::u16string(LogCategory), std::move(*date), mid(line, 11, 9), mid(line, 25)};
}

std::u16string logFilePath()
{
    return platform::appPath() + u"\\log\\config.log";
}

LogView::LogView(std::u16string_view path) : file_(platform::localPath(path)) {}

void LogView::refresh(LogGrid& grid)
{
    auto now = platform::regularFileStamp(file_);
    if (!now)
        return;
    const bool gridAsLeft = stamp_ && grid.revision() == revision_;
    if (gridAsLeft && *now == *stamp_) {
        // Unchanged: nothing to read or write. A reread would still set the interval.
        if (rowsShown() >= LogLastRow)
            grid.setLogInterval(FullGridInterval);
        return;
    }
    auto file = platform::InputFile::open(file_);
    if (!file)
        return;
    if (gridAsLeft && grewOnly(*file))
        append(grid, *file);
    else
        reread(grid, *file);
    remember(grid, *file);
}

void LogView::reread(LogGrid& grid, platform::InputFile& file)
{
    stamp_.reset();
    auto lines = platform::readTail(file, file.stamp().size, LogLastRow, splitter_);
    if (!lines)
        return;
    unfinishedShown_ = splitter_.unfinished() && !lines->empty();
    starts_.clear();
    for (const auto& line : *lines)
        starts_.push_back(line.start);
    if (unfinishedShown_)
        starts_.pop_back();

    int row = 1;
    for (const auto& line : *lines)
        grid.setRow(row++, rowOf(line.bytes));
    if (row <= LogLastRow)
        grid.clearRowsFrom(row);
    else
        grid.setLogInterval(FullGridInterval);
    stamp_ = file.stamp();
}

bool LogView::grewOnly(platform::InputFile& file) const
{
    const auto& now = file.stamp();
    const auto& before = *stamp_;
    if (now.volume != before.volume || now.id != before.id || now.size <= before.size ||
        now.size - before.size > platform::MaxTailBytes)
        return false;
    std::string bytes(lastBytes_.size(), '\0');
    auto got = file.readAt(before.size - bytes.size(), bytes.data(), bytes.size());
    return got && *got == bytes.size() && bytes == lastBytes_;
}

void LogView::append(LogGrid& grid, platform::InputFile& file)
{
    const std::uint64_t oldEnd = stamp_->size;
    const std::uint64_t end = file.stamp().size;
    stamp_.reset();
    std::string bytes(static_cast<std::size_t>(end - oldEnd), '\0');
    auto got = file.readAt(oldEnd, bytes.data(), bytes.size());
    if (!got || *got != bytes.size())
        return;

    const std::vector<platform::TailLine> fresh = platform::takeLines(splitter_, bytes);
    const bool unfinished = splitter_.unfinished().has_value();

    // The lines a reread would show: the last LogLastRow of the ended ones already shown
    // and the fresh ones (the first of which continues the unfinished one, if any), that
    // begin within the reach of a tail read.
    const std::size_t old = starts_.size();
    const std::size_t total = old + fresh.size();
    auto startOf = [&](std::size_t i) { return i < old ? starts_[i] : fresh[i - old].start; };
    const std::uint64_t from = platform::tailFrom(end);
    std::size_t drop = total > LogLastRow ? total - LogLastRow : 0;
    while (drop < total && from > 0 && startOf(drop) <= from)
        ++drop;

    int row = 1;
    std::size_t firstFresh = 0;
    if (drop < old) {
        // The rows still shown move up; only the rest is written.
        if (drop > 0)
            grid.moveRowsUp(static_cast<int>(drop));
        starts_.erase(starts_.begin(), starts_.begin() + static_cast<std::ptrdiff_t>(drop));
        row = static_cast<int>(starts_.size()) + 1;
    } else {
        firstFresh = drop - old;
        starts_.clear();
    }
    for (std::size_t i = firstFresh; i < fresh.size(); ++i) {
        grid.setRow(row++, rowOf(fresh[i].bytes));
        starts_.push_back(fresh[i].start);
    }
    unfinishedShown_ = unfinished && firstFresh < fresh.size();
    if (unfinishedShown_)
        starts_.pop_back();
    if (row > LogLastRow)
        grid.setLogInterval(FullGridInterval);
    else if (drop >= old)
        grid.clearRowsFrom(row);
    stamp_ = file.stamp();
}

void LogView::remember(const LogGrid& grid, platform::InputFile& file)
{
    if (!stamp_)
        return;
    revision_ = grid.revision();
    const std::uint64_t end = stamp_->size;
    lastBytes_.assign(static_cast<std::size_t>(std::min<std::uint64_t>(end, CheckedBytes)), '\0');
    auto got = file.readAt(end - lastBytes_.size(), lastBytes_.data(), lastBytes_.size());
    if (!got || *got != lastBytes_.size())
        stamp_.reset();
}

} // namespace console

#include "console/log_view.h"

#include "console/console_texts.h"
#include "console/logchange.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/text_file.h"

namespace console {

using platform::text::left;
using platform::text::mid;

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

void refreshLog(LogGrid& grid, std::u16string_view path)
{
    auto lines = platform::readLastLines(path, LogLastRow);
    if (!lines)
        return;
    int row = 1;
    for (const auto& line : *lines)
        grid.setRow(row++, logRow(line));
    if (row <= LogLastRow)
        grid.clearRowsFrom(row);
    else
        grid.setLogInterval(FullGridInterval);
}

} // namespace console

#pragma once
// The last lines of a text file as the log view reads them (platform::readTail from the
// file's end), decoded: for the tests and fuzz harnesses of the tail read.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/text_file.h"

namespace testsupport {

// The last maxLines lines, oldest first; nothing when the file cannot be opened or read.
inline std::optional<std::vector<std::u16string>> readLastLines(std::u16string_view path, std::size_t maxLines)
{
    auto file = platform::InputFile::open(platform::localPath(path));
    if (!file)
        return std::nullopt;
    platform::LineSplitter splitter;
    auto tail = platform::readTail(*file, file->stamp().size, maxLines, splitter);
    if (!tail)
        return std::nullopt;
    std::vector<std::u16string> lines;
    lines.reserve(tail->size());
    for (const auto& line : *tail)
        lines.push_back(platform::fromAnsi(line.bytes));
    return lines;
}

} // namespace testsupport

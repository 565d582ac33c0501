#include "console/password_file.h"

#include <optional>

#include "platform/host_paths.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/text_file.h"

namespace console::password_file {

std::optional<Content> read()
{
    auto reader = platform::TextReader::open(path);
    if (!reader) {
        if (platform::fileIsMissing(path))
            return Content{u"", u"0"};
        return std::nullopt;
    }
    Content c;
    std::u16string line;
    if (reader->readLine(line)) {
        c.password = platform::text::left(line, passwordLength);
        if (reader->readLine(line))
            c.flag = platform::text::left(line, 1);
    }
    reader->close();
    return c;
}

std::int16_t flagValue(std::u16string_view flag)
{
    if (!flag.empty() && flag[0] >= u'0' && flag[0] <= u'9')
        return static_cast<std::int16_t>(flag[0] - u'0');
    return 0;
}

platform::WriteFailure write(std::u16string_view line1, std::u16string_view line2)
{
    auto writer = platform::TextWriter::create(path, platform::FileAccess::OwnerOnly);
    if (!writer)
        return platform::WriteFailure::Io;
    // A failed line makes close() keep the old file.
    writer->writeLine(line1);
    writer->writeLine(line2);
    writer->close();
    return writer->failure();
}

void warnUnreadable(std::u16string_view refused)
{
    platform::msgBox(u"无法读取文件 " + displayPath() + u"，" + std::u16string(refused), platform::vbInformation, u"警告");
}

std::u16string displayPath()
{
    return platform::pathText(platform::localPath(path));
}

} // namespace console::password_file

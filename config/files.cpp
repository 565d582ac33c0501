#include "config/files.h"

#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/text_file.h"

namespace config {

std::u16string appFile(std::u16string_view name)
{
    return platform::appPath() + u"\\" + std::u16string(name);
}

std::optional<std::vector<std::u16string>> readLines(std::u16string_view path, std::size_t count)
{
    auto reader = platform::TextReader::open(path);
    if (!reader)
        return std::nullopt;
    std::vector<std::u16string> lines;
    std::u16string line;
    while (lines.size() < count && reader->readLine(line))
        lines.push_back(line);
    return lines;
}

std::optional<SaveFailure> saveFiles(const std::vector<FileLines>& files)
{
    std::vector<platform::TextWriter> writers;
    for (const auto& file : files) {
        auto writer = platform::TextWriter::create(appFile(file.name), file.access);
        if (!writer)
            return SaveFailure{file.name, platform::WriteFailure::Io};
        for (const auto& line : file.lines)
            if (!writer->writeLine(line))
                return SaveFailure{file.name, writer->failure()};
        writers.push_back(std::move(*writer));
    }
    if (auto failed = platform::closeTogether(writers))
        return SaveFailure{files[*failed].name, writers[*failed].failure()};
    return std::nullopt;
}

bool saveOrWarn(const std::vector<FileLines>& files)
{
    if (auto failed = saveFiles(files)) {
        if (failed->why == platform::WriteFailure::Unencodable)
            platform::msgBox(u"要写入文件 " + failed->name + u" 的文字中含有无法保存的字符，设置未保存！",
                             platform::vbInformation, u"警告");
        else
            platform::msgBox(u"无法写入文件 " + failed->name + u"，设置未保存！", platform::vbInformation, u"警告");
        return false;
    }
    return true;
}

} // namespace config

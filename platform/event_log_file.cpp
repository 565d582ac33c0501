// The event log as lines of a file, for tests that read what a program logged.

#include <fstream>

#include "platform/nt_service.h"
#include "platform/text.h"

namespace platform {

namespace {

class FileEventLog final : public EventLog {
public:
    explicit FileEventLog(std::filesystem::path file) : file_(std::move(file)) {}

    bool logEvent(int type, long eventId, std::u16string_view text) override
    {
        std::string line = std::to_string(type) + "\t" + std::to_string(eventId) + "\t" + text::toUtf8(text) + "\n";
        // Appended in one write, so that the lines of several writers never mix.
        std::ofstream out(file_, std::ios::binary | std::ios::app);
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
        out.flush();
        return static_cast<bool>(out);
    }

private:
    std::filesystem::path file_;
};

} // namespace

std::unique_ptr<EventLog> makeFileEventLog(std::filesystem::path file)
{
    return std::make_unique<FileEventLog>(std::move(file));
}

} // namespace platform

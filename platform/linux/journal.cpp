// The event log on Linux: the systemd journal's native protocol, syslog without it.

#include <cstdint>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include "platform/linux/service_linux.h"
#include "platform/text.h"

namespace platform {

namespace {

// Error entries are errors to the journal too; everything else is information.
int priorityOf(int type)
{
    switch (type) {
    case svcEventError:
        return LOG_ERR;
    case svcEventWarning:
        return LOG_WARNING;
    default:
        return LOG_INFO;
    }
}

void appendField(std::string& out, std::string_view key, std::string_view value)
{
    out += key;
    if (value.find('\n') == std::string_view::npos) {
        out += '=';
        out += value;
    } else {
        // A value with a line end goes as its length (64 bits, little-endian) and bytes.
        out += '\n';
        std::uint64_t size = value.size();
        for (int i = 0; i < 8; ++i)
            out += static_cast<char>((size >> (8 * i)) & 0xFF);
        out += value;
    }
    out += '\n';
}

class JournalEventLog final : public EventLog {
public:
    JournalEventLog(std::string identifier, std::filesystem::path socket)
        : identifier_(std::move(identifier)), socket_(std::move(socket))
    {
    }
    ~JournalEventLog() override
    {
        if (syslogOpen_)
            ::closelog();
    }

    bool logEvent(int type, long eventId, std::u16string_view text) override
    {
        if (!sendToJournal(journalDatagram(identifier_, type, eventId, text))) {
            if (!syslogOpen_) {
                ::openlog(identifier_.c_str(), LOG_PID, LOG_DAEMON);
                syslogOpen_ = true;
            }
            // syslog() tells nothing of its fate.
            ::syslog(priorityOf(type), "%s (event ID %ld)", text::toUtf8(text).c_str(), eventId);
        }
        return true;
    }

private:
    bool sendToJournal(const std::string& datagram) const
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const std::string path = socket_.string();
        if (path.size() >= sizeof address.sun_path)
            return false;
        path.copy(address.sun_path, path.size());
        int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        auto sent = ::sendto(fd, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::close(fd);
        return sent == static_cast<ssize_t>(datagram.size());
    }

    std::string identifier_;
    std::filesystem::path socket_;
    bool syslogOpen_ = false;
};

} // namespace

std::string journalDatagram(std::string_view identifier, int type, long eventId, std::u16string_view text)
{
    std::string out;
    appendField(out, "MESSAGE", text::toUtf8(text));
    appendField(out, "PRIORITY", std::to_string(priorityOf(type)));
    appendField(out, "SYSLOG_IDENTIFIER", identifier);
    appendField(out, "EVENT_ID", std::to_string(eventId));
    appendField(out, "EVENT_TYPE", std::to_string(type));
    return out;
}

std::unique_ptr<EventLog> makeJournalEventLog(std::string identifier, std::filesystem::path socket)
{
    return std::make_unique<JournalEventLog>(std::move(identifier), std::move(socket));
}

} // namespace platform

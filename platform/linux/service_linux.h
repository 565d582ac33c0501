#pragma once
// The service host on Linux: systemd runs the service, signals are the service manager's
// requests, and the journal is the event log.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/nt_service.h"

namespace platform {

// Runs a callback on the user-interface thread whenever a descriptor has something to
// read.
class ReadableWatch {
public:
    virtual ~ReadableWatch() = default;
    virtual void watch(int fd, std::function<void()> onReadable) = 0;
    virtual void unwatch(int fd) = 0;
};

// A watch that polls in a thread of its own and posts the callback to the
// user-interface thread, polling again only once the callback has run.
std::unique_ptr<ReadableWatch> makeThreadWatch(UiThread& ui);

// systemd: a unit "<service>.service" in CORVANE_UNIT_DIR, else /etc/systemd/system, made
// known and enabled through systemctl (looked up on PATH); the setting in an INI file
// beside it. Running: SIGTERM stops, SIGUSR1 pauses, SIGUSR2 continues, SIGHUP (a
// reload) asks for the address lookup.
std::filesystem::path unitFolder();
std::unique_ptr<ServiceManager> makeSystemdServiceManager(ReadableWatch& watch);

// The event log: the journal at this socket, syslog when it is not there. Every entry
// carries the identifier and, as fields, its ID and type.
std::unique_ptr<EventLog> makeJournalEventLog(std::string identifier,
                                              std::filesystem::path socket = "/run/systemd/journal/socket");
// One entry in the journal's native protocol.
std::string journalDatagram(std::string_view identifier, int type, long eventId, std::u16string_view text);

} // namespace platform

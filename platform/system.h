#pragma once
// The small services of the system around a program: sleep, the clock, the clipboard,
// the desktop (web pages, help, keystrokes), the single-instance test, the event log.

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/service.h"

namespace platform {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    // Blocks the calling (user-interface) thread.
    virtual void sleep(int milliseconds) = 0;
};

inline void Sleep(int milliseconds)
{
    service<Sleeper>().sleep(milliseconds);
}

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() = 0;
};

inline LocalTime now()
{
    return service<Clock>().now();
}

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void clear() = 0;
    virtual void setText(std::u16string_view text) = 0;
    virtual std::u16string text() = 0;
};

class Desktop {
public:
    virtual ~Desktop() = default;
    // ShellExecute "open" of a web address; the result is not the caller's concern.
    virtual void openUrl(std::u16string_view url) = 0;
    // Opens the help file with the desktop's viewer (what F1 does).
    virtual void openHelp(const std::filesystem::path& file) = 0;
    // Sends a key string such as "{F1}" to the active window, without waiting.
    virtual void sendKeys(std::u16string_view keys) = 0;
};

// The program's help file, a path as the system writes it (App.HelpFile).
void setHelpFile(std::u16string path);
std::u16string helpFile();

class Instances {
public:
    virtual ~Instances() = default;
    // App.PrevInstance: another copy of this program is already running.
    virtual bool prevInstance() = 0;
};

class Program {
public:
    virtual ~Program() = default;
    // Ends the program at once: no window runs an unload handler, nothing is saved.
    // The host never returns from it; a fake records it and returns, so callers
    // return straight after.
    virtual void end(int exitCode) = 0;
};

inline void End(int exitCode = 0)
{
    service<Program>().end(exitCode);
}

class EventLog {
public:
    virtual ~EventLog() = default;
    // type 1 error, 4 information; the ID is the event identifier. False when the log
    // refused the entry.
    virtual bool logEvent(int type, long eventId, std::u16string_view text) = 0;
};

} // namespace platform

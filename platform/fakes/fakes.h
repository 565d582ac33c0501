#pragma once
// Fakes of the outside services for tests: they record what the system asked for and
// answer what the test scripts. FakeServices installs all of them for its lifetime.

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_io.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/service.h"
#include "platform/system.h"
#include "platform/wmi.h"

namespace platform::fakes {

// Answers are scripted per moniker and query text; an unscripted query is refused.
class FakeWmi final : public Wmi {
public:
    struct Call {
        std::u16string moniker, wql;
        int flags;
    };
    void answer(std::u16string moniker, std::u16string wql, std::optional<WmiAnswer> a)
    {
        answers_[{std::move(moniker), std::move(wql)}] = std::move(a);
    }
    // The service state query: a count of openvpnserv.exe processes, or a failure.
    void setServiceRunning(std::optional<int> count);
    std::optional<WmiAnswer> execQuery(std::u16string_view moniker, std::u16string_view wql, int flags) override;

    std::vector<Call> calls;

private:
    std::map<std::pair<std::u16string, std::u16string>, std::optional<WmiAnswer>> answers_;
};

class FakeLauncher final : public Launcher {
public:
    struct Launch {
        std::u16string commandLine;
        int windowStyle;
        bool operator==(const Launch&) const = default;
    };
    // Command lines whose first word (the program, as written) cannot be started.
    std::set<std::u16string> missingPrograms;
    std::vector<Launch> launches;
    bool launch(std::u16string_view commandLine, int windowStyle) override;
    std::vector<std::u16string> commandLines() const;
};

class FakeMessageBoxes final : public MessageBoxes {
public:
    struct Box {
        std::u16string text;
        int style;
        std::u16string title;
        bool operator==(const Box&) const = default;
    };
    std::vector<Box> boxes;
    // Runs while the box is "open", before show() returns: lets a test look at the
    // state a modal box would freeze.
    std::function<void(const Box&)> onShow;
    void show(std::u16string_view text, int style, std::u16string_view title) override;
};

class FakeSleeper final : public Sleeper {
public:
    std::vector<int> sleeps;
    void sleep(int milliseconds) override { sleeps.push_back(milliseconds); }
};

class FakeClock final : public Clock {
public:
    LocalTime time{2026, 12, 9, 8, 9, 11};
    LocalTime now() override { return time; }
};

class FakeClipboard final : public Clipboard {
public:
    std::u16string content;
    int clears = 0;
    void clear() override
    {
        content.clear();
        ++clears;
    }
    void setText(std::u16string_view text) override { content = text; }
    std::u16string text() override { return content; }
};

class FakeDesktop final : public Desktop {
public:
    std::vector<std::u16string> urls;
    std::vector<std::filesystem::path> helpOpened;
    std::vector<std::u16string> keys;
    void openUrl(std::u16string_view url) override { urls.emplace_back(url); }
    void openHelp(const std::filesystem::path& file) override { helpOpened.push_back(file); }
    void sendKeys(std::u16string_view k) override { keys.emplace_back(k); }
};

class FakeInstances final : public Instances {
public:
    bool another = false;
    bool prevInstance() override { return another; }
};

class FakeEventLog final : public EventLog {
public:
    struct Entry {
        int type;
        long eventId;
        std::u16string text;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> entries;
    // The entries are kept all the same; the log answers that it refused them.
    bool refuses = false;
    bool logEvent(int type, long eventId, std::u16string_view text) override
    {
        entries.push_back({type, eventId, std::u16string(text)});
        return !refuses;
    }
};

class FakeProgram final : public Program {
public:
    std::vector<int> ends;
    bool ended() const { return !ends.empty(); }
    void end(int exitCode) override { ends.push_back(exitCode); }
};

// Every fake above, installed for the lifetime of the object.
struct FakeServices {
    FakeWmi wmi;
    FakeLauncher launcher;
    FakeMessageBoxes boxes;
    FakeSleeper sleeper;
    FakeClock clock;
    FakeClipboard clipboard;
    FakeDesktop desktop;
    FakeInstances instances;
    FakeEventLog eventLog;
    FakeProgram program;

private:
    ScopedService<Wmi> wmi_{wmi};
    ScopedService<Launcher> launcher_{launcher};
    ScopedService<MessageBoxes> boxes_{boxes};
    ScopedService<Sleeper> sleeper_{sleeper};
    ScopedService<Clock> clock_{clock};
    ScopedService<Clipboard> clipboard_{clipboard};
    ScopedService<Desktop> desktop_{desktop};
    ScopedService<Instances> instances_{instances};
    ScopedService<EventLog> eventLog_{eventLog};
    ScopedService<Program> program_{program};
};

// For the length of a scope, no save can make its new file in the folder, as a read-only
// folder refuses it to anyone but root (tests run as root on CI); other folders are the
// file system's own.
class ReadOnlyFolder final : public TemporaryFiles {
public:
    explicit ReadOnlyFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}
    std::optional<TemporaryFile> create(const std::filesystem::path& path) override;

private:
    std::filesystem::path folder_;
    ScopedService<TemporaryFiles> installed_{*this};
};

} // namespace platform::fakes

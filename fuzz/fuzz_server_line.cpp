// Line 7 of config.ovpn, the server line the address lookup rewrites: a rewrite adds no
// line and changes no other byte; the address written is the address read back, with
// what stands before the directive and the rest of the line kept; a lookup with the same
// answer a second time changes nothing; a line 7 that is neither empty nor a remote
// directive (after blanks and "--") is left alone; the address written, without the
// blanks around the answer, is recorded; an answer that is no address changes nothing
// and is logged as an error.

#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "lookup/address_lookup.h"
#include "lookup/lookup_server_line.h"
#include "platform/fakes/database_fake.h"
#include "platform/fakes/fakes.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

struct NoConsole final : lookup::ConsoleView {
    void clearGrid() override {}
    void setCell(int, int, std::u16string_view) override {}
    void setColumnWidth(int, int) override {}
    void setTimerInterval(int) override {}
    void setPanelText(int, std::u16string_view) override {}
};

std::vector<std::string_view> lines(std::string_view bytes)
{
    std::vector<std::string_view> out;
    while (!bytes.empty()) {
        auto nl = bytes.find('\n');
        out.push_back(bytes.substr(0, nl == std::string_view::npos ? nl : nl + 1));
        bytes = nl == std::string_view::npos ? std::string_view() : bytes.substr(nl + 1);
    }
    return out;
}

// The same lines, line 7 aside.
bool othersKept(std::string_view before, std::string_view after)
{
    auto a = lines(before), b = lines(after);
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (i != 6 && a[i] != b[i])
            return false;
    return true;
}

// Line 7 without its line end.
std::string_view line7(std::string_view bytes)
{
    auto l = lines(bytes);
    if (l.size() < 7)
        return {};
    std::string_view s = l[6];
    if (s.ends_with('\n'))
        s.remove_suffix(1);
    if (s.ends_with('\r') && l[6].ends_with('\n'))
        s.remove_suffix(1);
    return s;
}

// Empty, blanks only, or "remote" as OpenVPN finds it: after blanks or tabs and "--",
// alone or followed by a blank or a tab.
bool mayBeRewritten(std::string_view line)
{
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    if (line.empty())
        return true;
    if (line.starts_with("--"))
        line.remove_prefix(2);
    return line == "remote" || line.starts_with("remote ") || line.starts_with("remote\t");
}

bool isHostCharacter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' ||
           c == u'-' || c == u':';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Fields f(data, size);
    const std::string config(f.bytes(0));
    const std::u16string answer = f.text(1);
    std::string detail = "config.ovpn " + fuzz::show(config) + "\naddress " + fuzz::show(answer);

    // The rewrite itself, with an address of host-name characters.
    std::u16string host = answer;
    std::erase_if(host, [](char16_t c) { return !isHostCharacter(c); });
    auto found = lookup::findServerLine(config);
    fuzz::check(found.has_value() == (lines(config).size() >= 7), "line 7 is found when the file has 7 lines", detail);
    if (found)
        fuzz::check(found->remote == mayBeRewritten(line7(config)),
                    "line 7 is a server line when it is empty or OpenVPN reads remote there", detail);
    if (found && !host.empty()) {
        auto out = lookup::withServerAddress(config, *found, host);
        if (out) {
            std::string more = detail + "\nhost " + fuzz::show(host) + "\nrewritten " + fuzz::show(*out);
            fuzz::check(othersKept(config, *out), "a rewrite adds no line and changes no other line", more);
            auto again = lookup::findServerLine(*out);
            fuzz::check(again && again->address == host && again->rest == found->rest && again->lead == found->lead,
                        "the address written reads back with the lead and the rest of the line", more);
        }
    }

    // The lookup, twice with the same answer.
    static platform::fakes::FakeServices services;
    static platform::fakes::FakeDatabase database;
    static platform::ScopedService<platform::Database> installed{database};
    services.eventLog.entries.clear();
    services.launcher.launches.clear();
    services.sleeper.sleeps.clear();
    database.connectionStrings.clear();
    database.queries.clear();
    fuzz::clearScratch();
    // Half the time the folder standing in for C:\windows is not there yet.
    const auto app = fuzz::scratch() / "app", windows = fuzz::scratch() / "stand-in" / "windows";
    std::filesystem::create_directories(app / "config");
    if (config.size() % 2 == 0)
        std::filesystem::create_directories(windows);
    platform::setAppFolder(app);
    platform::setWindowsFolder(windows);
    fuzz::writeBytes(app / "config" / "sno.conf", "SN0001\r\n");
    fuzz::writeBytes(app / "config" / "config.ovpn", config);
    database.answer = [&](const auto&) { return platform::FirstField{true, answer}; };
    const std::u16string address = platform::text::trim(answer);
    NoConsole console;

    const auto entries = services.eventLog.entries.size();
    lookup::runAddressLookup(console);
    const std::string first = fuzz::readBytes(app / "config" / "config.ovpn").value_or("<missing>");
    detail += "\nafter the lookup " + fuzz::show(first);
    fuzz::check(othersKept(config, first), "the lookup adds no line and changes no other line", detail);
    if (first != config) {
        fuzz::check(mayBeRewritten(line7(config)), "a line 7 that is no remote directive is left alone", detail);
        auto written = lookup::findServerLine(first);
        fuzz::check(written && written->address == address,
                    "the address written is the address of the answer without its blanks", detail);
        auto recorded = fuzz::readBytes(windows / "remote_ip.conf");
        fuzz::check(recorded && platform::fromAnsi(*recorded) == address + u"\r\n", "an address written is recorded",
                    detail);
    }
    // A server line and an answer that is an address: the address is applied.
    if (found && found->remote && lookup::isServerAddress(address) && lookup::withServerAddress(config, *found, address)) {
        auto written = lookup::findServerLine(first);
        fuzz::check(written && written->address == address, "a server line gets the address of the answer", detail);
    }
    // With a line 7 to write, an answer the database gives is checked.
    if (found && !answer.empty() && !lookup::isServerAddress(address)) {
        fuzz::check(first == config, "an answer that is no address changes nothing", detail);
        const auto& log = services.eventLog.entries;
        fuzz::check(log.size() == entries + 1 && log.back().type == 1 && log.back().eventId == 109,
                    "an answer that is no address is logged as an error", detail);
    }
    lookup::runAddressLookup(console);
    const std::string second = fuzz::readBytes(app / "config" / "config.ovpn").value_or("<missing>");
    fuzz::check(second == first, "a second lookup with the same answer changes nothing",
                detail + "\nafter the second " + fuzz::show(second));
    return 0;
}

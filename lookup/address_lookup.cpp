#include "lookup/address_lookup.h"

#include <vector>

#include "console/console_texts.h"
#include "lookup/error_entry.h"
#include "lookup/lookup_server_line.h"
#include "platform/database.h"
#include "platform/host_paths.h"
#include "platform/launcher.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/text_file.h"

#ifndef CORVANE_LOOKUP_DB_HOST
#error "CORVANE_LOOKUP_DB_HOST: the database host, a build setting"
#endif
#ifndef CORVANE_LOOKUP_DB_LOGIN
#error "CORVANE_LOOKUP_DB_LOGIN: the database login, a build setting"
#endif

namespace lookup {

namespace {

constexpr std::u16string_view serialFile = u"\\config\\sno.conf";
constexpr std::u16string_view configFile = u"\\config\\config.ovpn";
constexpr std::u16string_view lastAddressFile = u"c:\\windows\\remote_ip.conf";
constexpr std::u16string_view addressQuery = u"select newip from demo where sno = ?";
constexpr int serviceWait = 3000;

// Line 1 without its trailing blanks; nothing when the file is missing or empty.
std::optional<std::u16string> firstLine(std::u16string_view path)
{
    auto reader = platform::TextReader::open(path);
    if (!reader)
        return std::nullopt;
    std::u16string line;
    if (!reader->readLine(line))
        return std::nullopt;
    return platform::text::trimEnd(line);
}

// A missing file means no address was applied yet; an empty one says the same.
std::optional<std::u16string> lastAddress()
{
    if (platform::fileIsMissing(lastAddressFile))
        return std::u16string();
    auto reader = platform::TextReader::open(lastAddressFile);
    if (!reader)
        return std::nullopt;
    std::u16string line;
    if (!reader->readLine(line))
        return std::u16string();
    return platform::text::trimEnd(line);
}

// The rewrites of the lookup, to be put in place together.
bool addLastAddress(std::vector<platform::TextWriter>& writers, std::u16string_view address)
{
    auto writer = platform::TextWriter::create(lastAddressFile);
    if (!writer || !writer->writeLine(address))
        return false;
    writers.push_back(std::move(*writer));
    return true;
}

bool addConfiguration(std::vector<platform::TextWriter>& writers, std::u16string_view path, std::string_view bytes)
{
    auto writer = platform::TextWriter::create(path);
    if (!writer || !writer->writeBytes(bytes))
        return false;
    writers.push_back(std::move(*writer));
    return true;
}

void resetConsoleView(ConsoleView& console)
{
    console.clearGrid();
    for (int column = 0; column < int(console::GridHeader.size()); ++column)
        console.setCell(0, column, console::GridHeader[column]);
    for (int column = 0; column < int(console::NormalColumnWidths.size()); ++column)
        console.setColumnWidth(column, console::NormalColumnWidths[column]);
    console.setTimerInterval(5000);
    platform::Sleep(serviceWait);
    console.setPanelText(2, console::RunningText);
}

} // namespace

std::u16string lookupConnectionString()
{
    return u"driver={SQL SERVER};SERVER=" CORVANE_LOOKUP_DB_HOST u",8999;DATABASE=vpnsno;"
           u"PERSIST SECUITY INFO=false;USER ID=" CORVANE_LOOKUP_DB_LOGIN u";password=46192037585";
}

LookupEnd runAddressLookup(ConsoleView& console)
{
    auto connection = platform::database().connect(lookupConnectionString());
    if (!connection)
        return LookupEnd::NoDatabase;

    auto serial = firstLine(platform::appPath() + std::u16string(serialFile));
    if (!serial)
        return LookupEnd::NoSerial;

    auto last = lastAddress();
    if (!last)
        return LookupEnd::NoLastAddress;

    const std::u16string configPath = platform::appPath() + std::u16string(configFile);
    auto config = platform::readFileBytes(configPath);
    if (!config)
        return LookupEnd::NoConfiguration;
    auto serverLine = findServerLine(*config);
    if (!serverLine)
        return LookupEnd::NoConfiguration;
    if (!serverLine->remote) {
        logErrorEntry(NoServerLineError, u"配置文件 " + platform::pathText(platform::localPath(configPath)) +
                                             u" 的第 7 行不是 remote 指令，地址未更新：" +
                                             quotedForEntry(serverLine->text));
        return LookupEnd::NoServerLine;
    }

    auto answer = (*connection)->firstField(addressQuery, {*serial});
    if (!answer)
        return LookupEnd::QueryFailed;
    if (!answer->hasRow)
        return LookupEnd::NoAddress;
    // Blanks around it are no part of it: a char(n) column pads with them, and a hand
    // may type one.
    const std::u16string address = answer->value ? platform::text::trim(*answer->value) : std::u16string();
    if (!answer->value || !isServerAddress(address)) {
        logErrorEntry(BadAddressError, u"数据库给出的服务器地址无效，地址未更新：" +
                                           (answer->value ? quotedForEntry(*answer->value) : u"NULL"));
        return LookupEnd::BadAddress;
    }

    bool applied = address == *last;
    if (applied && address == serverLine->address)
        return LookupEnd::Unchanged;

    // Line 7 and the record change together or not at all.
    auto rewritten = withServerAddress(*config, *serverLine, address);
    if (!rewritten)
        return LookupEnd::NotWritten;
    std::vector<platform::TextWriter> writers;
    if (!applied && !addLastAddress(writers, address))
        return LookupEnd::NotWritten;
    if (!addConfiguration(writers, configPath, *rewritten) || platform::closeTogether(writers))
        return LookupEnd::NotWritten;

    if (!platform::shell(console::StopServiceCommand, platform::vbHide))
        return LookupEnd::NotLaunched;
    platform::Sleep(serviceWait);
    if (!platform::shell(console::StartServiceCommand, platform::vbHide))
        return LookupEnd::NotLaunched;

    resetConsoleView(console);
    return LookupEnd::Applied;
}

} // namespace lookup

#include "config/hardware.h"

#include "config/module1.h"
#include "platform/text.h"
#include "platform/wmi.h"

namespace config {

namespace {

constexpr std::u16string_view cimv2 = u"winmgmts:\\\\.\\root\\cimv2";
constexpr int immediateForwardOnly = platform::wbemFlagReturnImmediately | platform::wbemFlagForwardOnly;

} // namespace

std::optional<std::u16string> GetMacAddress()
{
    auto adapters = platform::wmi().execQuery(
        u"winmgmts:",
        u"SELECT MACAddress FROM Win32_NetworkAdapter WHERE ((MACAddress Is Not NULL) AND (Manufacturer  <>  'Microsoft'))");
    if (!adapters)
        return std::nullopt;
    if (adapters->items.empty())
        return std::u16string();
    auto mac = adapters->items.front().get(u"MACAddress");
    if (mac.state == platform::WmiProperty::State::Unreadable)
        return std::nullopt;
    return mac.value;
}

std::u16string hardwareString()
{
    std::u16string text;
    if (auto processors = platform::wmi().execQuery(cimv2, u"Select * from Win32_Processor", immediateForwardOnly)) {
        // Each readable id replaces the one before: the last processor's id counts.
        for (const auto& processor : processors->items)
            if (auto id = processor.get(u"ProcessorId"); id.hasValue())
                text = id.value;
    }
    if (auto boards = platform::wmi().execQuery(cimv2, u"Select * from Win32_BaseBoard", immediateForwardOnly)) {
        for (const auto& board : boards->items)
            if (auto serial = board.get(u"SerialNumber"); serial.hasValue())
                text += serial.value;
    }
    if (auto mac = GetMacAddress()) {
        for (char16_t c : *mac)
            if (c != u':')
                text += c;
    }
    return text;
}

std::u16string hardwareFeatureCode()
{
    return platform::text::toUpperAscii(Module1::Md5Hex(hardwareString(), 32));
}

} // namespace config

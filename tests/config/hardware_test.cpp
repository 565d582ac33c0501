// The hardware feature code: the WMI queries it asks, in order, and the text made of the answers.
#include <gtest/gtest.h>

#include "config/hardware.h"
#include "config/module1.h"
#include "platform/fakes/fakes.h"
#include "platform/text.h"
#include "platform/wql.h"

using platform::WmiAnswer;
using platform::WmiObject;
using platform::WmiProperty;

namespace {

const std::u16string cimv2 = u"winmgmts:\\\\.\\root\\cimv2";
const std::u16string processors = u"Select * from Win32_Processor";
const std::u16string boards = u"Select * from Win32_BaseBoard";
const std::u16string adapters =
    u"SELECT MACAddress FROM Win32_NetworkAdapter WHERE ((MACAddress Is Not NULL) AND (Manufacturer  <>  'Microsoft'))";

WmiAnswer items(std::u16string_view property, std::vector<WmiProperty> values)
{
    WmiAnswer a;
    for (auto& v : values)
        a.items.push_back(WmiObject{{{std::u16string(property), std::move(v)}}});
    return a;
}

WmiProperty v(std::u16string s)
{
    return WmiProperty::of(std::move(s));
}

} // namespace

// The fake answers the adapter query as WMI evaluates it: adapters without a MAC address
// or made by Microsoft are no part of the answer, so the rows below list what is left.
TEST(HardwareString, FromScriptedWmiAnswers)
{
    using A = std::optional<WmiAnswer>;
    struct Case {
        const char* name;
        A cpu, board, mac;
        std::u16string expected;
    } cases[] = {
        {"the usual PC", items(u"ProcessorId", {v(u"BFEBFBFF000906EA")}), items(u"SerialNumber", {v(u"S1")}),
         items(u"MACAddress", {v(u"00:1A:2B:3C:4D:5E")}), u"BFEBFBFF000906EAS1001A2B3C4D5E"},
        {"two processors: the last id replaces the first", items(u"ProcessorId", {v(u"X"), v(u"Y")}), A{},
         A{}, u"Y"},
        {"a null or unreadable id keeps the last readable one",
         items(u"ProcessorId", {v(u"X"), WmiProperty::null(), WmiProperty::unreadable()}), A{}, A{}, u"X"},
        {"two boards in order, blanks kept", A{}, items(u"SerialNumber", {v(u" S1 "), WmiProperty::null(), v(u"S2")}),
         A{}, u" S1 S2"},
        {"only the first adapter counts", A{}, A{}, items(u"MACAddress", {v(u"AA:BB"), v(u"CC:DD")}), u"AABB"},
        {"no adapter matches", items(u"ProcessorId", {v(u"P")}), A{}, WmiAnswer{}, u"P"},
        {"the first adapter's address cannot be read", items(u"ProcessorId", {v(u"P")}), A{},
         items(u"MACAddress", {WmiProperty::unreadable(), v(u"CC:DD")}), u"P"},
        {"every query fails", A{}, A{}, A{}, u""},
    };
    for (const auto& c : cases) {
        platform::fakes::FakeServices fakes;
        fakes.wmi.answer(cimv2, processors, c.cpu);
        fakes.wmi.answer(cimv2, boards, c.board);
        fakes.wmi.answer(u"winmgmts:", adapters, c.mac);
        EXPECT_EQ(config::hardwareString(), c.expected) << c.name;
        EXPECT_EQ(config::hardwareFeatureCode(),
                  platform::text::toUpperAscii(Module1::Md5Hex(c.expected, 32)))
            << c.name;
    }
}

TEST(HardwareString, AsksWmiInOrderWithTheExactQueries)
{
    platform::fakes::FakeServices fakes;
    EXPECT_EQ(config::hardwareFeatureCode(), u"D41D8CD98F00B204E9800998ECF8427E"); // of the empty text
    ASSERT_EQ(fakes.wmi.calls.size(), 3u);
    EXPECT_EQ(fakes.wmi.calls[0].moniker, cimv2);
    EXPECT_EQ(fakes.wmi.calls[0].wql, processors);
    EXPECT_EQ(fakes.wmi.calls[0].flags, 48);
    EXPECT_EQ(fakes.wmi.calls[1].moniker, cimv2);
    EXPECT_EQ(fakes.wmi.calls[1].wql, boards);
    EXPECT_EQ(fakes.wmi.calls[1].flags, 48);
    EXPECT_EQ(fakes.wmi.calls[2].moniker, u"winmgmts:");
    EXPECT_EQ(fakes.wmi.calls[2].wql, adapters);
    EXPECT_EQ(fakes.wmi.calls[2].flags, 0);
}

namespace {

// WMI as the platform evaluates a query, over a scripted list of adapters.
class AdapterWmi final : public platform::Wmi, public platform::wql::Source {
public:
    std::vector<WmiObject> adapters;
    std::optional<WmiAnswer> execQuery(std::u16string_view moniker, std::u16string_view wql, int) override
    {
        if (moniker != u"winmgmts:")
            return std::nullopt;
        return platform::wql::execute(wql, *this);
    }
    const std::vector<platform::wql::ClassSchema>& classes() const override
    {
        static const std::vector<platform::wql::ClassSchema> schema{
            {u"Win32_NetworkAdapter", {u"MACAddress", u"Manufacturer"}}};
        return schema;
    }
    std::vector<WmiObject> instances(const platform::wql::ClassSchema&) override { return adapters; }
};

WmiObject adapter(WmiProperty mac, WmiProperty maker)
{
    return WmiObject{{{u"MACAddress", std::move(mac)}, {u"Manufacturer", std::move(maker)}}};
}

} // namespace

TEST(HardwareString, TakesTheFirstAdapterWithAnAddressNotMadeByMicrosoft)
{
    AdapterWmi wmi;
    platform::ScopedService<platform::Wmi> installed(wmi);
    wmi.adapters = {
        adapter(WmiProperty::null(), v(u"Intel Corporation")),
        adapter(v(u"02:00:4C:4F:4F:50"), v(u"Microsoft")),
        adapter(v(u"00:1A:2B:3C:4D:5E"), v(u"Realtek")),
        adapter(v(u"00:FF:00:FF:00:FF"), v(u"Intel Corporation")),
    };
    EXPECT_EQ(config::GetMacAddress(), u"00:1A:2B:3C:4D:5E");
    EXPECT_EQ(config::hardwareString(), u"001A2B3C4D5E");

    wmi.adapters = {adapter(v(u"02:00:4C:4F:4F:50"), v(u"Microsoft"))};
    EXPECT_EQ(config::GetMacAddress(), u"");
}

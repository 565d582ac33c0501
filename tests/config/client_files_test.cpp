// The lines of config.ovpn and pwd.txt: the port rule, read-back by line, password line, flags.
#include <gtest/gtest.h>

#include "config/client_config.h"
#include "config/credentials.h"
#include "platform/text.h"

using platform::text::toUtf8;

TEST(ClientConfig, PortRule)
{
    struct Case {
        std::u16string text;
        std::optional<int> port;
    } cases[] = {
        {u"1194", 1194}, {u"01194", 1194}, {u" 443 ", 443}, {u"1", 1},      {u"65535", 65535},
        {u"0", {}},      {u"65536", {}},   {u"", {}},       {u"  ", {}},    {u"-5", {}},
        {u"+80", {}},    {u"80.5", {}},    {u"1e3", {}},    {u"80a", {}},   {u"１１９４", {}},
        {u"99999999999999999999", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(config::parsePort(c.text), c.port) << toUtf8(c.text);
}

TEST(ClientConfig, ReadBackByLinePosition)
{
    struct Case {
        const char* name;
        std::vector<std::u16string> lines;
        config::ClientConfigReadBack expected;
    } cases[] = {
        {"as written", {u"port  1194", u"proto udp", u"remote vpn.example.cn", u"cipher AES-128-CBC", u"auth sha1", u"client"},
         {u"1194", u"udp", u"vpn.example.cn", u"AES", u"SHA1"}},
        {"no cipher line: neither list matches",
         {u"port  1194", u"proto tcp", u"remote a", u"auth md5", u"client"}, {u"1194", u"tcp", u"a", {}, {}}},
        {"no digest line: line 5 is client", {u"port  1", u"proto udp", u"remote a", u"cipher sm4-cbc", u"client"},
         {u"1", u"udp", u"a", u"SM4-128-CBC", {}}},
        {"short lines give short texts", {u"port", u"proto", u"remote"}, {u"", u"", u"", {}, {}}},
        {"a long server address is read whole", {u"port  1", u"proto udp", u"remote a-very-long-host-name.example.com"},
         {u"1", u"udp", u"a-very-long-host-name.example.com", {}, {}}},
        {"a read-back value matches case-sensitively", {u"p", u"p", u"r", u"cipher aes-128-cbc", u"auth MD5"},
         {u"", u"", u"", {}, {}}},
        {"no lines at all", {}, {}},
    };
    for (const auto& c : cases) {
        auto r = config::readBackClientConfig(c.lines);
        EXPECT_EQ(r.port, c.expected.port) << c.name;
        EXPECT_EQ(r.proto, c.expected.proto) << c.name;
        EXPECT_EQ(r.server, c.expected.server) << c.name;
        EXPECT_EQ(r.cipher, c.expected.cipher) << c.name;
        EXPECT_EQ(r.digest, c.expected.digest) << c.name;
    }
}

TEST(Credentials, PasswordLineRoundTrips)
{
    const std::u16string code = u"0123456789ABCDEF0123456789ABCDEF";
    struct Case {
        const char* name;
        std::u16string code, password;
    } cases[] = {
        {"password alone", u"", u"secret"},
        {"code and password", code, u"secret"},
        {"a password holding +, no binding", u"", u"a+b"},
        {"a password holding +, with binding", code, u"a+b+"},
        {"an empty password with binding", code, u""},
        {"a password that begins with +", u"", u"+x"},
        {"an empty password without binding", u"", u""},
        {"a password longer than 20 characters", code, u"abcdefghijklmnopqrstuvwxyz"},
    };
    for (const auto& c : cases) {
        auto line = config::passwordLine(c.code, c.password);
        auto split = config::splitPasswordLine(line, !c.code.empty());
        EXPECT_EQ(split.code, c.code) << c.name;
        EXPECT_EQ(split.password, c.password) << c.name;
    }
}

TEST(Credentials, WithoutBindingLine2IsThePasswordWhatever)
{
    const std::u16string code = u"0123456789ABCDEF0123456789ABCDEF";
    for (const std::u16string& password : {code + u"+x", code + u"+", u" " + code + u" +pwd", code + u"+a+b"}) {
        auto split = config::splitPasswordLine(config::passwordLine(u"", password), false);
        EXPECT_EQ(split.code, u"") << toUtf8(password);
        EXPECT_EQ(split.password, password) << toUtf8(password);
    }
}

TEST(Credentials, SplitsLinesWithBindingAsBefore)
{
    const std::u16string code = u"0123456789abcdef0123456789ABCDEF";
    struct Case {
        std::u16string line, code, password;
    } cases[] = {
        {code + u"+pwd", code, u"pwd"},
        {u" " + code + u" +pwd", u" " + code + u" ", u"pwd"}, // the code kept as it stands; a save trims it
        {u"pwd", u"", u"pwd"},
        {u"ABC+pwd", u"", u"ABC+pwd"}, // no feature code before the "+": the password holds it
    };
    for (const auto& c : cases) {
        auto split = config::splitPasswordLine(c.line, true);
        EXPECT_EQ(split.code, c.code) << toUtf8(c.line);
        EXPECT_EQ(split.password, c.password) << toUtf8(c.line);
    }
    EXPECT_EQ(config::passwordLine(u" " + code + u" ", u"P"), code + u"+P");
    EXPECT_EQ(config::passwordLine(u"   ", u"P"), u"P");
}

TEST(Credentials, FlagLines)
{
    using L = std::optional<std::u16string>;
    struct Case {
        L line;
        bool box;           // the parameter window's check box
        std::int16_t flag;  // the account window's kept flag
    } cases[] = {
        {u"1", true, 1},      {u"0", false, 0},     {u"2", false, 2},      {u"01", true, 1},
        {u" 1 ", true, 1},    {u"", true, 0},       {L{}, true, 0},        {u"x", true, 0},
        {u"1.0", true, 1},    {u"0.5", false, 0},   {u"1.5", false, 2},    {u"2.5", false, 2},
        {u"-1", false, -1},   {u"32767", false, 32767}, {u"32768", false, 0}, {u"-32768", false, -32768},
        {u"1e0", true, 1},    {u"1,0", true, 0},
    };
    for (const auto& c : cases) {
        std::string name = c.line ? toUtf8(*c.line) : "<missing>";
        EXPECT_EQ(config::checkBoxFromFlagLine(c.line), c.box) << name;
        EXPECT_EQ(config::flagFromLine(c.line), c.flag) << name;
    }
}

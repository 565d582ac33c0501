// Line 7 of config.ovpn for the lookup: the server address read from it and rewritten alone.
#include <gtest/gtest.h>

#include "lookup/lookup_server_line.h"
#include "platform/text.h"
#include "support/temp_folder.h"

using lookup::findServerLine;
using lookup::withServerAddress;
using testsupport::gbk;

namespace {

const std::string sixLines = "client\r\ndev tun\r\nproto udp\r\n" + gbk("# 服务器\r\n") + "nobind\r\npersist-key\r\n";

} // namespace

TEST(ServerLine, ReadsTheAddressAndRewritesOnlyIt)
{
    struct Case {
        const char* name;
        std::string before;
        std::u16string address;
        std::string after; // with the address 9.9.9.9
    } cases[] = {
        {"port kept, last line end kept, no line added", sixLines + "remote 1.2.3.4 1194\r\nauth-user-pass pwd.txt\r\n",
         u"1.2.3.4", sixLines + "remote 9.9.9.9 1194\r\nauth-user-pass pwd.txt\r\n"},
        {"host name longer than 15 characters read whole", sixLines + "remote vpn-gateway.corvane-test.example\r\n",
         u"vpn-gateway.corvane-test.example", sixLines + "remote 9.9.9.9\r\n"},
        {"LF line ends kept", "a\nb\nc\nd\ne\nf\nremote 1.2.3.4 443 tcp\ng\n", u"1.2.3.4",
         "a\nb\nc\nd\ne\nf\nremote 9.9.9.9 443 tcp\ng\n"},
        {"line 7 last, without a line end", sixLines + "remote 1.2.3.4", u"1.2.3.4", sixLines + "remote 9.9.9.9"},
        {"a last line without a line end stays so", sixLines + "remote 1.2.3.4\r\nverb 3", u"1.2.3.4",
         sixLines + "remote 9.9.9.9\r\nverb 3"},
        {"bare directive", sixLines + "remote\r\n", u"", sixLines + "remote 9.9.9.9\r\n"},
        {"a tab after the directive", sixLines + "remote\t1.2.3.4 1194\r\n", u"1.2.3.4", sixLines + "remote 9.9.9.9 1194\r\n"},
        {"extra blanks and tabs", sixLines + "remote   1.2.3.4\t1194\r\n", u"1.2.3.4", sixLines + "remote 9.9.9.9\t1194\r\n"},
        {"code page 936 after the address", sixLines + gbk("remote 1.2.3.4 1194 # 主服务器\r\n"), u"1.2.3.4",
         sixLines + gbk("remote 9.9.9.9 1194 # 主服务器\r\n")},
        // As OpenVPN reads a directive: blanks before it and "--" are kept.
        {"blanks before the directive", sixLines + "  remote 1.2.3.4 1194\r\n", u"1.2.3.4",
         sixLines + "  remote 9.9.9.9 1194\r\n"},
        {"a tab before the directive", sixLines + "\tremote 1.2.3.4\r\n", u"1.2.3.4", sixLines + "\tremote 9.9.9.9\r\n"},
        {"-- before the directive", sixLines + "--remote 1.2.3.4 1194\r\n", u"1.2.3.4",
         sixLines + "--remote 9.9.9.9 1194\r\n"},
        {"blanks and --", sixLines + " \t--remote\t1.2.3.4\r\n", u"1.2.3.4", sixLines + " \t--remote 9.9.9.9\r\n"},
        {"bare directive after --", sixLines + "--remote\r\nverb 3\r\n", u"", sixLines + "--remote 9.9.9.9\r\nverb 3\r\n"},
        // Nothing to lose: written as the directive alone.
        {"empty line", sixLines + "\r\nverb 3\r\n", u"", sixLines + "remote 9.9.9.9\r\nverb 3\r\n"},
        {"blanks only", sixLines + " \t \nverb 3\n", u"", sixLines + "remote 9.9.9.9\nverb 3\n"},
    };
    for (const auto& c : cases) {
        auto line = findServerLine(c.before);
        ASSERT_TRUE(line) << c.name;
        EXPECT_TRUE(line->remote) << c.name;
        EXPECT_EQ(line->address, c.address) << c.name;
        EXPECT_EQ(withServerAddress(c.before, *line, u"9.9.9.9"), c.after) << c.name;
    }
}

TEST(ServerLine, NeedsSevenLines)
{
    for (const std::string& bytes : {std::string(), sixLines, std::string("a\r\nb\r\nc\r\nd\r\ne\r\nf")})
        EXPECT_FALSE(findServerLine(bytes)) << bytes;
}

TEST(ServerLine, AnAddressOutsideCodePage936IsNotWritten)
{
    std::string bytes = sixLines + "remote 1.2.3.4\r\n";
    auto line = findServerLine(bytes);
    ASSERT_TRUE(line);
    EXPECT_FALSE(withServerAddress(bytes, *line, u"10.0.0.\u0E01"));
}

TEST(ServerLine, ALine7ThatIsNoRemoteDirectiveIsNotRewritten)
{
    for (std::string line7 : {"dev tun", "persist-key", "auth-user-pass pwd.txt", "remotely 1.2.3.4", "# remote 1.2.3.4",
                              "  # remote 1.2.3.4", "; remote 1.2.3.4", "Remote 1.2.3.4", "remote-random",
                              "  dev tun", "--dev tun", "-remote 1.2.3.4", "---remote 1.2.3.4", "-- remote 1.2.3.4",
                              "--", "  --remotely 1.2.3.4"}) {
        SCOPED_TRACE(line7);
        const std::string bytes = sixLines + line7 + "\r\nverb 3\r\n";
        auto line = findServerLine(bytes);
        ASSERT_TRUE(line);
        EXPECT_FALSE(line->remote);
        EXPECT_EQ(line->text, std::u16string(line7.begin(), line7.end()));
        EXPECT_FALSE(withServerAddress(bytes, *line, u"9.9.9.9"));
    }
}

TEST(ServerLine, AnAddressIsOneWordOfHostNameOrIpCharacters)
{
    struct Case {
        std::u16string address;
        bool accepted;
    } cases[] = {
        {u"10.0.0.2", true},
        {u"vpn.example.com", true},
        {u"VPN-1.Example.cn", true},
        {u"2001:db8::1", true},
        {u"::1", true},
        {u"::ffff:10.0.0.2", true},
        {u"localhost", true},
        {std::u16string(253, u'a'), true},
        {u"", false},
        {u"10.0.0.2\r\nup /tmp/x", false},
        {u"10.0.0.2\n", false},
        {u"10.0.0.2\r", false},
        {u"10.0.0.2 443", false},
        {u" 10.0.0.2", false},
        {u"\t10.0.0.2", false},
        {u"\"10.0.0.2\"", false},
        {u"'10.0.0.2'", false},
        {u"10.0.0.2;reboot", false},
        {u"-10.0.0.2", false},
        {u"--up", false},
        {u"[2001:db8::1]", false},
        {u"vpn_1.example.com", false},
        {u"服务器.cn", false},
        {std::u16string(254, u'a'), false},
        {std::u16string(100000, u'1'), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lookup::isServerAddress(c.address), c.accepted) << platform::text::toUtf8(c.address.substr(0, 40));
}

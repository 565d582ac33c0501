#include <gtest/gtest.h>

#include "lookup/lookup_server_line.h"
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
        {"empty line 7", sixLines + "\r\n", u"", sixLines + "remote 9.9.9.9\r\n"},
        {"bare directive", sixLines + "remote\r\n", u"", sixLines + "remote 9.9.9.9\r\n"},
        {"extra blanks and tabs", sixLines + "remote   1.2.3.4\t1194\r\n", u"1.2.3.4", sixLines + "remote 9.9.9.9\t1194\r\n"},
        {"code page 936 after the address", sixLines + gbk("remote 1.2.3.4 1194 # 主服务器\r\n"), u"1.2.3.4",
         sixLines + gbk("remote 9.9.9.9 1194 # 主服务器\r\n")},
    };
    for (const auto& c : cases) {
        auto line = findServerLine(c.before);
        ASSERT_TRUE(line) << c.name;
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

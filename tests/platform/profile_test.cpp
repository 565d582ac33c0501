// The profile (INI) functions: reads by the Windows rules, writes keeping the rest of the file.
#include <gtest/gtest.h>

#include "platform/fakes/fakes.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "support/temp_folder.h"
#include "support/wine.h"

using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;
using testsupport::gbk;
using testsupport::TempFolder;

namespace {

// The file's path as the system writes it: the folder, then "\server.ini".
std::u16string ini(const TempFolder& t)
{
    return platform::text::fromUtf8(t.path().string()) + u"\\server.ini";
}

} // namespace

TEST(Profile, ReadsByTheKernel32Rules)
{
    const std::string hundred(100, 'x');
    struct Case {
        const char* name;
        std::optional<std::string> file;
        std::u16string section, key, defaultValue;
        std::size_t size;
        std::u16string expected;
    } cases[] = {
        {"missing file", std::nullopt, u"option", u"server", u"", 100, u""},
        {"missing file, default", std::nullopt, u"option", u"server", u"none", 100, u"none"},
        {"missing section", "[other]\r\nserver=a\r\n", u"option", u"server", u"d", 100, u"d"},
        {"missing key", "[option]\r\nuser=u\r\n", u"option", u"server", u"d", 100, u"d"},
        {"a key of another section", "[other]\r\nserver=a\r\n[option]\r\nuser=u\r\n", u"option", u"server", u"d", 100,
         u"d"},
        {"plain", "[option]\r\nserver=vpn.example.cn\r\nuser=u\r\n", u"option", u"server", u"", 100, u"vpn.example.cn"},
        {"no regard to case", "[OPTION]\r\nSeRvEr=a\r\n", u"Option", u"server", u"", 100, u"a"},
        {"blanks around names and value, LF lines", "  [ option ]  \nserver =  a b  \n", u"option", u"server", u"", 100,
         u"a b"},
        {"quotes dropped", "[option]\r\npwd=\"  p w \"\r\n", u"option", u"pwd", u"", 100, u"  p w "},
        {"empty value", "[option]\r\nserver=\r\n", u"option", u"server", u"d", 100, u""},
        {"a comment is no key", "[option]\r\n;server=a\r\n", u"option", u"server", u"d", 100, u"d"},
        {"the first of two", "[option]\r\nserver=a\r\nserver=b\r\n", u"option", u"server", u"", 100, u"a"},
        {"code page 936", "[option]\r\nuser=" + gbk("张三") + "\r\n", u"option", u"user", u"", 100, u"张三"},
        {"cut to the buffer less one byte", "[option]\r\npwd=" + hundred + "\r\n", u"option", u"pwd", u"", 100,
         std::u16string(99, u'x')},
        {"a cut never splits a character", "[option]\r\nuser=" + gbk("中文") + "\r\n", u"option", u"user", u"", 4,
         u"中"},
        {"the default cut too, without trailing blanks", std::nullopt, u"option", u"server", u"abcdef  ", 4, u"abc"},
        {"the default loses trailing blanks", std::nullopt, u"option", u"server", u"d  ", 100, u"d"},
        {"a buffer of one byte holds only the null", "[option]\r\nserver=a\r\n", u"option", u"server", u"", 1, u""},
    };
    for (const auto& c : cases) {
        TempFolder t;
        if (c.file)
            t.write("server.ini", *c.file);
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, c.defaultValue, c.size, ini(t)), c.expected) << c.name;
    }
}

TEST(Profile, WritesKeepingEverythingElse)
{
    struct Case {
        const char* name;
        std::optional<std::string> before;
        std::u16string section, key, value;
        std::string after;
    } cases[] = {
        {"the first write creates the file", std::nullopt, u"option", u"server", u"a", "[option]\r\nserver=a\r\n"},
        {"a new key goes after the section's last key", "[option]\r\nserver=a\r\n[other]\r\nk=v\r\n", u"option",
         u"user", u"u", "[option]\r\nserver=a\r\nuser=u\r\n[other]\r\nk=v\r\n"},
        {"a key is replaced where it is, with its own spelling",
         "; settings\r\n[Option]\r\nSERVER = old\r\nuser=u\r\n", u"option", u"server", u"new",
         "; settings\r\n[Option]\r\nSERVER=new\r\nuser=u\r\n"},
        {"a new section goes at the end", "[other]\nk=v", u"option", u"server", u"a",
         "[other]\r\nk=v\r\n[option]\r\nserver=a\r\n"},
        {"an empty value", std::nullopt, u"option", u"pwd", u"", "[option]\r\npwd=\r\n"},
        {"code page 936", "[x]\r\nk=v\r\n", u"option", u"user", u"张三",
         "[x]\r\nk=v\r\n[option]\r\nuser=" + gbk("张三") + "\r\n"},
    };
    for (const auto& c : cases) {
        TempFolder t;
        if (c.before)
            t.write("server.ini", *c.before);
        EXPECT_TRUE(WritePrivateProfileString(c.section, c.key, c.value, ini(t))) << c.name;
        EXPECT_EQ(t.read("server.ini"), c.after) << c.name;
    }
}

// Wine's profile functions rewrite the whole file from what they parsed: blank lines
// go, and bytes that are no code page 936 text become "?". Our own rules (and, as far
// as is known, Windows) keep every line they do not change as it was.
TEST(Profile, KeepsBlankLinesAndForeignBytes)
{
    if (testsupport::underWine())
        GTEST_SKIP() << "Wine rewrites the lines it does not change";
    struct Case {
        const char* name;
        std::string before;
        std::u16string value;
        std::string after;
    } cases[] = {
        {"a blank line before the next section", "[option]\r\nserver=a\r\n\r\n[other]\r\nk=v\r\n", u"u",
         "[option]\r\nserver=a\r\nuser=u\r\n\r\n[other]\r\nk=v\r\n"},
        {"a byte that is no character", "[x]\r\nk=\x81\r\n", u"张三",
         "[x]\r\nk=\x81\r\n[option]\r\nuser=" + gbk("张三") + "\r\n"},
    };
    for (const auto& c : cases) {
        TempFolder t;
        t.write("server.ini", c.before);
        EXPECT_TRUE(WritePrivateProfileString(u"option", u"user", c.value, ini(t))) << c.name;
        EXPECT_EQ(t.read("server.ini"), c.after) << c.name;
    }
}

TEST(Profile, AWriteThatFailsLeavesTheFile)
{
    TempFolder t;
    t.write("server.ini", "[option]\r\nserver=a\r\n");
    EXPECT_FALSE(WritePrivateProfileString(u"option", u"server", u"\U0001F600", ini(t)));
#ifndef _WIN32
    // The stand-in for a read-only folder acts on our own rewrite, not on kernel32's.
    {
        platform::fakes::ReadOnlyFolder readOnly(t.path());
        EXPECT_FALSE(WritePrivateProfileString(u"option", u"server", u"b", ini(t)));
    }
#endif
    EXPECT_EQ(t.read("server.ini"), "[option]\r\nserver=a\r\n");
    EXPECT_FALSE(WritePrivateProfileString(u"option", u"server", u"b",
                                           platform::text::fromUtf8((t / "no/such").string()) + u"\\server.ini"));
}

TEST(Profile, RoundTripsAndHonoursTheFileAccess)
{
    TempFolder t;
    const std::u16string long_(150, u'p');
    ASSERT_TRUE(WritePrivateProfileString(u"option", u"pwd", long_, ini(t), platform::FileAccess::OwnerOnly));
    ASSERT_TRUE(WritePrivateProfileString(u"option", u"user", u"密码 user", ini(t), platform::FileAccess::OwnerOnly));
    EXPECT_EQ(GetPrivateProfileString(u"option", u"pwd", u"", 100, ini(t)), std::u16string(99, u'p'));
    EXPECT_EQ(GetPrivateProfileString(u"option", u"user", u"", 100, ini(t)), u"密码 user");
    if (!testsupport::underWine()) {
        EXPECT_TRUE(platform::isOwnerOnly(t / "server.ini"));
    }
}

// Code pages other than the system's, as a file that declares its encoding needs them:
// each converts the same here and on Windows, both ways, and says where bytes stop
// being text of the code page.

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/text.h"
#include "support/wine.h"

using platform::codePageNamed;
using platform::fromCodePage;
using platform::toCodePage;

namespace {

// Windows has had GB18030 since 2000; Wine has not.
bool hostHas(unsigned codePage)
{
    return codePage != 54936 || !testsupport::underWine();
}

std::string ascii()
{
    std::string out;
    for (char c = 0x20; c < 0x7F; ++c)
        out += c;
    return out + "\t\r\n";
}

} // namespace

TEST(CodePage, EveryNamedCodePageConvertsBothWays)
{
    struct Case {
        const char* name;
        unsigned codePage;
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"gb2312", 936, "\xB5\xD8\xD6\xB7", u"地址"},
        {"GBK", 936, "\xB5\xD8\xD6\xB7", u"地址"},
        {"gb18030", 54936, "\xB5\xD8\xA8\xA6\x94\x39\xFC\x36", u"地é\U0001F600"},
        {"big5", 950, "\xA6\x61\xA7\x7D", u"地址"},
        {"shift_jis", 932, "\x93\x8C\x8B\x9E", u"東京"},
        {"euc-kr", 949, "\xC7\xD1\xB1\xB9", u"한국"},
        {"windows-874", 874, "\xA1", u"\u0E01"},
        {"windows-1250", 1250, "\xA3\xF3\x64\x9F", u"Łódź"},
        {"windows-1251", 1251, "\xCF\xF0\xE8", u"При"},
        {"Windows-1252", 1252, "caf\xE9 \x80", u"café €"},
        {"windows-1253", 1253, "\xE1", u"α"},
        {"windows-1254", 1254, "\xF0", u"ğ"},
        {"windows-1256", 1256, "\xC7", u"ا"},
        {"windows-1257", 1257, "\xE0", u"ą"},
        {"koi8-r", 20866, "\xF0\xD2\xC9", u"При"},
        {"koi8-u", 21866, "\xA4", u"є"},
        {"iso-8859-2", 28592, "\xA3\xF3\x64\xBC", u"Łódź"},
        {"iso-8859-3", 28593, "\xBB", u"ğ"},
        {"iso-8859-4", 28594, "\xB1", u"ą"},
        {"iso-8859-5", 28595, "\xBF", u"П"},
        {"iso-8859-6", 28596, "\xC7", u"ا"},
        {"iso-8859-7", 28597, "\xE1", u"α"},
        {"iso-8859-8", 28598, "\xE0", u"א"},
        {"iso-8859-9", 28599, "\xF0", u"ğ"},
        {"iso-8859-13", 28603, "\xE0", u"ą"},
        {"iso-8859-15", 28605, "\xA4", u"€"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(codePageNamed(c.name), c.codePage);
        if (!hostHas(c.codePage)) {
            EXPECT_FALSE(platform::codePageAvailable(c.codePage));
            EXPECT_EQ(toCodePage(c.codePage, c.text), std::nullopt);
            EXPECT_EQ(fromCodePage(c.codePage, c.bytes), std::nullopt);
            continue;
        }
        EXPECT_TRUE(platform::codePageAvailable(c.codePage));
        const std::string bytes = ascii() + c.bytes;
        const std::u16string text = platform::text::fromUtf8(ascii()) + c.text;
        EXPECT_EQ(toCodePage(c.codePage, text), bytes);
        auto back = fromCodePage(c.codePage, bytes);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->text, text);
        EXPECT_EQ(back->invalidAt, std::nullopt);
    }
}

TEST(CodePage, OnlyTheNamesOfTheseCodePagesAreKnown)
{
    // Unicode and ASCII need no code page; the rest are encodings no file here needs or
    // that do not convert alike on both hosts.
    for (const char* name : {"utf-8", "utf-16", "us-ascii", "iso-8859-1", "windows-1255", "windows-1258", "iso-2022-jp",
                             "utf-7", "ebcdic-cp-us", "", "big5x", "cp"})
        EXPECT_EQ(codePageNamed(name), std::nullopt) << name;
    EXPECT_FALSE(platform::codePageAvailable(12345));
    EXPECT_EQ(toCodePage(12345, u"a"), std::nullopt);
    EXPECT_EQ(fromCodePage(12345, "a"), std::nullopt);
}

TEST(CodePage, BytesThatAreNoTextOfTheCodePageAreFound)
{
    struct Case {
        const char* name;
        unsigned codePage;
        std::string bytes;
        std::size_t invalidAt;
        std::u16string before;
    } cases[] = {
        {"a lead byte and no trail byte", 936, "ab\x81\x20" "cd", 2, u"ab"},
        {"a lead byte at the end", 936, "\xB5\xD8\xD6", 2, u"地"},
        {"after a character whose trail byte looks like a lead byte", 936, "\xB5\xD8\x81\x7F", 2, u"地"},
        {"a trail byte that big5 lacks", 950, "x\xA6\x61\xA6\x20", 3, u"x地"},
        {"half of a four-byte sequence", 54936, "\xB5\xD8\x94\x39", 2, u"地"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!hostHas(c.codePage))
            continue;
        auto got = fromCodePage(c.codePage, c.bytes);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->invalidAt, c.invalidAt);
        EXPECT_EQ(got->text, c.before);
    }
}

TEST(CodePage, ACharacterTheCodePageLacksIsNotWritten)
{
    struct Case {
        unsigned codePage;
        std::u16string text;
    } cases[] = {
        {1252, u"a新"},
        {950, u"\u0E01"},
        {28605, u"ą"},
        {936, u"a\xD800"},
        {1252, u"\xDC00"},
        {54936, u"a\xD800"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toCodePage(c.codePage, c.text), std::nullopt) << c.codePage << " " << platform::text::toUtf8(c.text);
}

// The ANSI code page as Windows converts it, whichever it is: 936 on a Chinese PC, 65001
// where UTF-8 is the ANSI code page. CTest runs this program twice: in the zh_CN locale
// (code page 936) and in a locale that Wine gives UTF-8 as its ANSI code page; the run
// names the code page it expects in CORVANE_ANSI_CODE_PAGE.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/codepage.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "platform/windows/codepage_windows.h"
#include "support/temp_folder.h"
// After windows.h, whose names for the wide entry points would rename these.
#undef GetPrivateProfileString
#undef WritePrivateProfileString
#include "platform/profile.h"

using platform::text::toUtf8;
using platform::win::ConversionFlags;
using testsupport::TempFolder;

namespace {

UINT expectedCodePage()
{
    const char* named = std::getenv("CORVANE_ANSI_CODE_PAGE");
    return named != nullptr ? static_cast<UINT>(std::stoul(named)) : 936;
}

std::u16string text(const std::filesystem::path& p)
{
    return p.u16string();
}

} // namespace

// Windows refuses WC_NO_BEST_FIT_CHARS and a used-default pointer for UTF-8, which Wine
// accepts: what the conversion passes is checked here, not only what Wine makes of it.
TEST(ConversionFlags, AreTheOnesEachCodePageAccepts)
{
    const ConversionFlags withoutBestFit {WC_NO_BEST_FIT_CHARS, true, 0};
    const ConversionFlags strictUnicode {WC_ERR_INVALID_CHARS, false, MB_ERR_INVALID_CHARS};
    struct Case {
        UINT codePage;
        ConversionFlags flags;
    } cases[] = {
        {936, withoutBestFit}, {950, withoutBestFit},  {1252, withoutBestFit},
        {65001, strictUnicode}, {54936, strictUnicode},
    };
    for (const auto& c : cases) {
        const ConversionFlags flags = platform::win::conversionFlags(c.codePage);
        EXPECT_EQ(flags.toBytes, c.flags.toBytes) << c.codePage;
        EXPECT_EQ(flags.askUsedDefault, c.flags.askUsedDefault) << c.codePage;
        EXPECT_EQ(flags.toText, c.flags.toText) << c.codePage;
        // Each code page's own conversion, with those flags, of a character it holds
        // (where the system has the code page: Wine lacks GB18030).
        if (!::IsValidCodePage(c.codePage))
            continue;
        auto bytes = platform::win::encode(c.codePage, u"A");
        ASSERT_TRUE(bytes) << c.codePage;
        EXPECT_EQ(*bytes, "A") << c.codePage;
        EXPECT_EQ(platform::win::decode(c.codePage, "A"), u"A") << c.codePage;
    }
    EXPECT_EQ(platform::win::conversionFlags(CP_ACP), platform::win::conversionFlags(::GetACP()));
}

TEST(AnsiCodePage, ConvertsAsItsCodePageAndFailsWhatItCannotHold)
{
    ASSERT_EQ(::GetACP(), expectedCodePage()) << "the locale of the run decides the ANSI code page";
    struct Case {
        std::u16string text;
        std::optional<std::string> bytes;
    };
    std::vector<Case> cases;
    if (::GetACP() == CP_UTF8) {
        cases = {
            {u"中文 CPU", std::string("\xE4\xB8\xAD\xE6\x96\x87 CPU")},
            {u"€", std::string("\xE2\x82\xAC")},
            {u"", std::string()},
            // UTF-8 holds every character; only a text that is no UTF-16 fails.
            {u"\U0001F600", std::string("\xF0\x9F\x98\x80")},
            {u"a\u00C0", std::string("a\xC3\x80")},
            {std::u16string(1, char16_t(0xD800)), std::nullopt},
            {u"x" + std::u16string(1, char16_t(0xDC00)) + u"y", std::nullopt},
        };
        // A byte that is no UTF-8 becomes U+FFFD, in the middle as at the end.
        EXPECT_EQ(platform::fromAnsi("a\xFF" "b"), u"a\uFFFDb");
        EXPECT_EQ(platform::fromAnsi("ab\xE4\xB8"), u"ab\uFFFD");
    } else {
        cases = {
            {u"中文 CPU", std::string("\xD6\xD0\xCE\xC4 CPU")},
            {u"€", std::string("\x80")},
            {u"", std::string()},
            // Characters the code page lacks fail instead of becoming "?" or a look-alike.
            {u"\U0001F600", std::nullopt},
            {u"\u0E01", std::nullopt},
            {u"a\u00C0", std::nullopt},
            {std::u16string(1, char16_t(0xD800)), std::nullopt},
        };
    }
    for (const auto& c : cases) {
        EXPECT_EQ(platform::toAnsi(c.text), c.bytes) << toUtf8(c.text);
        if (c.bytes) {
            EXPECT_EQ(platform::fromAnsi(*c.bytes), c.text) << toUtf8(c.text);
        }
    }
}

// The saves that every window makes, in a folder whose name the ANSI code page may lack
// (a Thai letter is not in code page 936): text files and the profile functions take
// the path as it is.
TEST(AnsiCodePage, TextFilesAndProfilesSaveAndReadBack)
{
    TempFolder t;
    const std::filesystem::path folder = t.path() / std::u16string(u"配置 \u0E01");
    std::filesystem::create_directory(folder);
    const std::u16string ini = text(folder) + u"\\server.ini";
    ASSERT_TRUE(platform::WritePrivateProfileString(u"option", u"user", u"用户 €", ini, platform::FileAccess::OwnerOnly));
    ASSERT_TRUE(platform::WritePrivateProfileString(u"option", u"server", u"vpn.example.cn", ini));
    EXPECT_EQ(platform::GetPrivateProfileString(u"option", u"user", u"", 100, ini), u"用户 €");
    EXPECT_EQ(platform::GetPrivateProfileString(u"option", u"server", u"", 100, ini), u"vpn.example.cn");
    // The file is in the ANSI code page, as the ANSI profile functions wrote it.
    auto bytes = platform::readFileBytes(ini);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, "[option]\r\nuser=" + *platform::toAnsi(u"用户 €") + "\r\nserver=vpn.example.cn\r\n");
    // A read cuts at 99 bytes of the code page, never inside a character.
    const std::u16string wide(60, u'中');
    ASSERT_TRUE(platform::WritePrivateProfileString(u"option", u"pwd", wide, ini));
    const std::size_t perCharacter = platform::toAnsi(u"中")->size();
    EXPECT_EQ(platform::GetPrivateProfileString(u"option", u"pwd", u"", 100, ini),
              std::u16string(99 / perCharacter, u'中'));

    const std::u16string pwd = text(folder) + u"\\pwd.txt";
    auto writer = platform::TextWriter::create(pwd, platform::FileAccess::OwnerOnly);
    ASSERT_TRUE(writer);
    EXPECT_TRUE(writer->writeLine(u"张三"));
    EXPECT_TRUE(writer->writeLine(u"第一行：帐号；第二行：密码"));
    ASSERT_TRUE(writer->close()) << static_cast<int>(writer->failure());
    auto reader = platform::TextReader::open(pwd);
    ASSERT_TRUE(reader);
    std::u16string line;
    ASSERT_TRUE(reader->readLine(line));
    EXPECT_EQ(line, u"张三");
    ASSERT_TRUE(reader->readLine(line));
    EXPECT_EQ(line, u"第一行：帐号；第二行：密码");
}

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "support/temp_folder.h"
#include "support/wine.h"
#include "support/wine.h"

using platform::TextReader;
using platform::TextWriter;
using testsupport::gbk;
using testsupport::TempFolder;

namespace {

std::u16string p(const TempFolder& t, std::string_view name)
{
    return platform::text::fromUtf8((t / name).string());
}

std::vector<std::u16string> readAll(const std::u16string& path)
{
    std::vector<std::u16string> lines;
    auto r = TextReader::open(path);
    if (!r)
        return {u"<no file>"};
    std::u16string line;
    while (r->readLine(line))
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(TextFile, ReadsLinesAsTheStreamsDo)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::u16string> lines;
    } cases[] = {
        {"empty file: the first read fails", "", {}},
        {"CR LF lines", "a\r\nb\r\n", {u"a", u"b"}},
        {"LF lines", "a\nb\n", {u"a", u"b"}},
        {"last line without line end read whole", "a\r\nlast", {u"a", u"last"}},
        {"empty lines kept", "\r\n\r\nx\r\n", {u"", u"", u"x"}},
        {"code page 936", gbk("中文 日志\r\n"), {u"中文 日志"}},
    };
    for (const auto& c : cases) {
        TempFolder t;
        t.write("f.txt", c.bytes);
        EXPECT_EQ(readAll(p(t, "f.txt")), c.lines) << c.name;
    }
    TempFolder t;
    EXPECT_FALSE(TextReader::open(p(t, "missing.txt")));
}

TEST(TextFile, WritesCrLfInCodePage936)
{
    TempFolder t;
    auto w = TextWriter::create(p(t, "out.txt"));
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->writeLine(u"第一行：帐号"));
    EXPECT_TRUE(w->writeLine(u""));
    EXPECT_TRUE(w->writeLine(42));
    EXPECT_TRUE(w->close());
    EXPECT_EQ(t.read("out.txt"), gbk("第一行：帐号") + "\r\n\r\n42\r\n");
}

TEST(TextFile, OpeningForWritingAndClosingEmptiesTheFile)
{
    TempFolder t;
    t.write("f.txt", "old\r\n");
    auto w = TextWriter::create(p(t, "f.txt"));
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->close());
    EXPECT_EQ(t.read("f.txt"), "");
}

TEST(TextFile, AFailedRewriteLeavesTheOldFile)
{
    TempFolder t;
    t.write("f.txt", "old\r\n");
    {
        // Abandoned half-way: never closed.
        auto w = TextWriter::create(p(t, "f.txt"));
        ASSERT_TRUE(w);
        w->writeLine(u"new");
    }
    EXPECT_EQ(t.read("f.txt"), "old\r\n");
    {
        // A character that code page 936 cannot hold fails the write and the close.
        auto w = TextWriter::create(p(t, "f.txt"));
        ASSERT_TRUE(w);
        EXPECT_TRUE(w->writeLine(u"new"));
        EXPECT_FALSE(w->writeLine(u"\U0001F600"));
        EXPECT_FALSE(w->close());
    }
    EXPECT_EQ(t.read("f.txt"), "old\r\n");
    // Nothing is left behind beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.path()), std::filesystem::directory_iterator()), 1);
}

TEST(TextFile, MissingFolderFailsTheOpen)
{
    TempFolder t;
    EXPECT_FALSE(TextWriter::create(p(t, "no/such/folder/f.txt")));
}

TEST(TextFile, PasswordFilesAreReadableByTheirOwnerOnly)
{
    TempFolder t;
    t.write("pwd.txt", "old\r\n");
    using std::filesystem::perms;
    std::filesystem::permissions(t / "pwd.txt", perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
    EXPECT_FALSE(platform::isOwnerOnly(t / "pwd.txt"));
    auto w = TextWriter::create(p(t, "pwd.txt"), platform::FileAccess::OwnerOnly);
    ASSERT_TRUE(w);
    w->writeLine(u"secret");
    ASSERT_TRUE(w->close());
    if (!testsupport::underWine()) {
        EXPECT_TRUE(platform::isOwnerOnly(t / "pwd.txt"));
    }
}

TEST(TextFile, ReadsTheLastLinesFromTheEnd)
{
    TempFolder t;
    std::string log;
    for (int i = 1; i <= 20000; ++i)
        log += "line " + std::to_string(i) + "\r\n";
    t.write("big.log", log);
    auto last = platform::readLastLines(p(t, "big.log"), 9999);
    ASSERT_TRUE(last);
    ASSERT_EQ(last->size(), 9999u);
    EXPECT_EQ(last->front(), u"line 10002");
    EXPECT_EQ(last->back(), u"line 20000");

    t.write("short.log", "a\r\nb");
    EXPECT_EQ(*platform::readLastLines(p(t, "short.log"), 9999), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_FALSE(platform::readLastLines(p(t, "missing.log"), 10));
}

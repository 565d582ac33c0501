// The text files: code page 936 and CR LF, line and size caps, tail reads, all-or-nothing saves.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/host_paths.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "support/last_lines.h"
#include "support/temp_folder.h"
#include "support/wine.h"

using platform::MaxLineBytes;
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
#ifndef _WIN32
        // (Windows reads such a byte as a character of its own.)
        {"a byte that is no code page 936 inside a line becomes one U+FFFD",
         "ab\xFF" "cd\r\n" + gbk("中") + "\x81 x\r\n", {u"ab\uFFFDcd", u"中\uFFFD x"}},
#endif
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
    auto last = testsupport::readLastLines(p(t, "big.log"), 9999);
    ASSERT_TRUE(last);
    ASSERT_EQ(last->size(), 9999u);
    EXPECT_EQ(last->front(), u"line 10002");
    EXPECT_EQ(last->back(), u"line 20000");

    t.write("short.log", "a\r\nb");
    EXPECT_EQ(*testsupport::readLastLines(p(t, "short.log"), 9999), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_FALSE(testsupport::readLastLines(p(t, "missing.log"), 10));

    // Every count of lines wanted, wherever the blocks read back from the end fall: also
    // where the blocks read so far hold exactly as many line ends as lines wanted, the
    // oldest of them begins before them and is still given whole.
    constexpr std::size_t count = 1400;
    const auto lineOf = [](std::size_t i) {
        std::string number = std::to_string(i);
        return std::string(4 - number.size(), '0') + number + std::string(95, '.'); // 100 bytes with its LF
    };
    std::string even;
    for (std::size_t i = 1; i <= count; ++i)
        even += lineOf(i) + "\n";
    t.write("even.log", even);
    auto file = platform::InputFile::open(t / "even.log");
    ASSERT_TRUE(file);
    for (std::size_t wanted = 1; wanted <= count; ++wanted) {
        platform::LineSplitter splitter;
        auto tail = platform::readTail(*file, even.size(), wanted, splitter);
        ASSERT_TRUE(tail);
        ASSERT_EQ(tail->size(), wanted);
        ASSERT_EQ(tail->front().bytes, lineOf(count + 1 - wanted)) << wanted << " lines wanted";
        ASSERT_EQ(tail->front().start, (count - wanted) * 100) << wanted << " lines wanted";
    }
}

TEST(TextFile, AFileReadWholeMayHoldExactly4MiB)
{
    TempFolder t;
    for (std::uint64_t size : {platform::MaxFileBytes, platform::MaxFileBytes + 1}) {
        SCOPED_TRACE(size);
        t.write("f.bin", "x");
        std::filesystem::resize_file(t / "f.bin", size);
        auto bytes = platform::readFileBytes(p(t, "f.bin"));
        if (size <= platform::MaxFileBytes) {
            ASSERT_TRUE(bytes);
            EXPECT_EQ(bytes->size(), size);
            EXPECT_EQ(bytes->front(), 'x');
        } else {
            EXPECT_FALSE(bytes);
        }
    }
}

namespace {

// Every name in the folder, sorted.
std::vector<std::string> names(const std::filesystem::path& folder)
{
    std::vector<std::string> all;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        all.push_back(e.path().filename().string());
    std::sort(all.begin(), all.end());
    return all;
}

std::string bytesOf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void append(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

TEST(TextFile, LinesLongerThanTheCapKeepTheirStart)
{
    const std::string x(MaxLineBytes, 'x');
    const std::u16string ux(MaxLineBytes, u'x');
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::u16string> lines;
    } cases[] = {
        {"a line of the cap is whole", x + "\r\nnext\r\n", {ux, u"next"}},
        {"one byte more is cut", x + "y\r\nnext\r\n", {ux, u"next"}},
        {"far longer, without a line end", x + std::string(100000, 'y'), {ux}},
        {"a CR right after the cap ends the line", x + "\r", {ux}},
        {"a character across the cut is left out whole", x.substr(1) + gbk("中") + "\r\nnext\r\n",
         {ux.substr(1), u"next"}},
        {"LF alone: a line of the cap is whole", x + "\nnext\n", {ux, u"next"}},
        {"LF alone: one byte more is cut", x + "y\nnext\n", {ux, u"next"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        t.write("f.txt", c.bytes);
        EXPECT_EQ(readAll(p(t, "f.txt")), c.lines);
        EXPECT_EQ(*testsupport::readLastLines(p(t, "f.txt"), 9999), c.lines);
    }
}

TEST(TextFile, AHugeLineOrAFileWithoutLineEndsCostsLittle)
{
    // Sparse files: big on the file system, quick to make. The bytes are NULs.
    TempFolder t;
    const auto huge = t / "huge.log";
    t.write("huge.log", "first\r\n");
    std::filesystem::resize_file(huge, 100'000'000);
    append(huge, "\r\nlast 1\r\nlast 2\r\n");

    // A tail read reaches back a bounded way: the huge line begins beyond it.
    EXPECT_EQ(*testsupport::readLastLines(p(t, "huge.log"), 9999), (std::vector<std::u16string>{u"last 1", u"last 2"}));
    EXPECT_EQ(*testsupport::readLastLines(p(t, "huge.log"), 1), (std::vector<std::u16string>{u"last 2"}));
    // A reader keeps the huge line's start only.
    EXPECT_EQ(readAll(p(t, "huge.log")),
              (std::vector<std::u16string>{u"first", std::u16string(MaxLineBytes, u'\0'), u"last 1", u"last 2"}));
    // A file to be read whole is refused when it is that large.
    EXPECT_FALSE(platform::readFileBytes(p(t, "huge.log")));

    // One line of 100 MB: its start lies beyond the reach of a tail read.
    t.write("one.log", "");
    std::filesystem::resize_file(t / "one.log", 100'000'000);
    append(t / "one.log", "\r\n");
    EXPECT_EQ(*testsupport::readLastLines(p(t, "one.log"), 9999), std::vector<std::u16string>{});

    t.write("endless.log", "");
    std::filesystem::resize_file(t / "endless.log", 2'000'000'000);
    EXPECT_EQ(*testsupport::readLastLines(p(t, "endless.log"), 9999), std::vector<std::u16string>{});
}

TEST(TextFile, ASaveRemovesItsOwnAbandonedTemporariesOnly)
{
    TempFolder t;
    const std::vector<std::string> abandoned = {".f.txt.abcd1234.tmp", ".f.txt.00000000.tmp"};
    std::vector<std::string> others = {
        ".f.txt.abcd123.tmp",   ".f.txt.abcd12345.tmp", "f.txt.abcd1234.tmp",      ".f.txt.abcd1234",
        ".f.txt.x.abcd1234.tmp", ".g.txt.abcd1234.tmp", ".f.txt.abcd1234.tmp.bak", ".pf.txt.abcd1234.tmp",
        "f.txt.bak"};
#ifndef _WIN32
    // Windows names differ in more than case: there this is an abandoned temporary.
    others.push_back(".f.txt.ABCD1234.tmp");
#endif
    t.write("f.txt", "old\r\n");
    for (const auto& name : abandoned)
        t.write(name, "half-written secret");
    for (const auto& name : others)
        t.write(name, "keep");

    // A save still under way keeps its temporary while another save of the file runs.
    auto first = TextWriter::create(p(t, "f.txt"));
    ASSERT_TRUE(first);
    ASSERT_TRUE(first->writeLine(u"first"));
    auto second = TextWriter::create(p(t, "f.txt"));
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->writeLine(u"second"));
    EXPECT_TRUE(second->close());
    EXPECT_TRUE(first->close());
    EXPECT_EQ(t.read("f.txt"), "first\r\n");

    std::vector<std::string> expected = others;
    expected.push_back("f.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names(t.path()), expected);

    // The same for a file replaced whole.
    t.write(".p.ini.zz99zz99.tmp", "half");
    ASSERT_TRUE(platform::replaceFileBytes(p(t, "p.ini"), "[a]\r\n"));
    EXPECT_FALSE(t.exists(".p.ini.zz99zz99.tmp"));
}

TEST(TextFile, TheWindowsFolderIsCreatedWhenFirstWrittenIn)
{
    TempFolder t;
    platform::setWindowsFolder(t / "var/lib/corvane/windows");
    auto w = TextWriter::create(u"C:\\windows\\kongzitai.txt", platform::FileAccess::OwnerOnly);
    ASSERT_TRUE(w);
    w->writeLine(u"pw");
    EXPECT_TRUE(w->close());
    EXPECT_EQ(t.read("var/lib/corvane/windows/kongzitai.txt"), "pw\r\n");

    std::filesystem::remove_all(t / "var");
    EXPECT_TRUE(platform::replaceFileBytes(u"c:\\WINDOWS\\remote_ip.conf", "1.2.3.4\r\n"));
    EXPECT_EQ(t.read("var/lib/corvane/windows/remote_ip.conf"), "1.2.3.4\r\n");
    // Any other missing folder still fails the write.
    EXPECT_FALSE(platform::replaceFileBytes(p(t, "var/lib/other/f.txt"), "x"));
    platform::setWindowsFolder("/var/lib/corvane/windows");
}

TEST(TextFile, AFailedWriteTellsACharacterThatCannotBeSavedFromAFileThatCannotBeWritten)
{
    TempFolder t;
    struct Case {
        const char* name;
        std::u16string line;
    } unencodable[] = {
        {"typed", u"\U0001F600"},
#ifndef _WIN32
        // What a read gives for bytes that are no code page 936. (Windows reads the byte
        // as a character of its own and writes it back unchanged.)
        {"read back", platform::fromAnsi("ab\xFF")},
#endif
    };
    for (const auto& c : unencodable) {
        SCOPED_TRACE(c.name);
        auto w = TextWriter::create(p(t, "f.txt"));
        ASSERT_TRUE(w);
        EXPECT_FALSE(w->writeLine(c.line));
        EXPECT_FALSE(w->close());
        EXPECT_EQ(w->failure(), platform::WriteFailure::Unencodable);
    }
    // The file became a folder before the new one could take its place.
    auto w = TextWriter::create(p(t, "f.txt"));
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->writeLine(u"fine"));
    std::filesystem::create_directory(t / "f.txt");
    t.write("f.txt/inside", "x");
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w->failure(), platform::WriteFailure::Io);
    EXPECT_EQ(names(t.path()), std::vector<std::string>{"f.txt"});
}

TEST(TextFile, SeveralFilesTakeTheirPlaceTogetherOrNotAtAll)
{
    enum class Obstacle { None, Folder, Unencodable };
    struct Case {
        const char* name;
        std::array<const char*, 3> before; // nullptr: no such file
        std::size_t at;                    // the file that meets the obstacle
        Obstacle obstacle;
    } cases[] = {
        {"all take their place", {"old a\r\n", nullptr, "old c\r\n"}, 0, Obstacle::None},
        {"the last cannot replace its file", {"old a\r\n", "old b\r\n", "old c\r\n"}, 2, Obstacle::Folder},
        {"the middle one cannot", {"old a\r\n", "old b\r\n", "old c\r\n"}, 1, Obstacle::Folder},
        {"a file that was not there is removed again", {nullptr, "old b\r\n", "old c\r\n"}, 2, Obstacle::Folder},
        {"a text that cannot be written changes nothing", {"old a\r\n", nullptr, "old c\r\n"}, 2,
         Obstacle::Unencodable},
    };
    const std::array<std::string, 3> files = {"a.txt", "b.txt", "c.txt"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        for (std::size_t i = 0; i < files.size(); ++i)
            if (c.before[i])
                t.write(files[i], c.before[i]);
        std::vector<TextWriter> writers;
        for (std::size_t i = 0; i < files.size(); ++i) {
            auto w = TextWriter::create(p(t, files[i]));
            ASSERT_TRUE(w);
            w->writeLine(c.obstacle == Obstacle::Unencodable && i == c.at ? u"\U0001F600" : u"new");
            writers.push_back(std::move(*w));
        }
        if (c.obstacle == Obstacle::Folder) {
            // It became a folder after its new version was written.
            std::filesystem::remove(t / files[c.at]);
            t.write(files[c.at] + "/inside", "x");
        }

        auto failed = platform::closeTogether(writers);

        std::vector<std::string> left;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (c.obstacle == Obstacle::None) {
                EXPECT_EQ(t.read(files[i]), "new\r\n") << files[i];
            } else if (!(c.obstacle == Obstacle::Folder && i == c.at)) {
                EXPECT_EQ(t.read(files[i]), c.before[i] ? c.before[i] : "<missing>") << files[i];
            }
            if (c.obstacle == Obstacle::None || c.before[i] || (c.obstacle == Obstacle::Folder && i == c.at))
                left.push_back(files[i]);
        }
        if (c.obstacle == Obstacle::None) {
            EXPECT_EQ(failed, std::nullopt);
        } else {
            EXPECT_EQ(failed, c.at);
            EXPECT_EQ(writers[c.at].failure(),
                      c.obstacle == Obstacle::Folder ? platform::WriteFailure::Io : platform::WriteFailure::Unencodable);
        }
        // No temporary and no old version is left beside them.
        EXPECT_EQ(names(t.path()), left);
    }
}

TEST(TextFile, AFileNameTheCodePageLacksIsSavedWithItsOwnTemporaries)
{
    // The names are made of the path's pieces: on Windows no conversion to the ANSI code
    // page, which has no 😀, comes between.
    TempFolder t;
    const std::filesystem::path a = t.path() / std::filesystem::path(u"密码😀.txt");
    const std::filesystem::path b = t.path() / std::filesystem::path(u"b😀.txt");
    const std::filesystem::path leftover = t.path() / std::filesystem::path(u".密码😀.txt.abcd1234.tmp");
    for (const auto& f : {a, leftover})
        std::ofstream(f, std::ios::binary) << "old\r\n";

    auto first = TextWriter::create(platform::pathText(a));
    ASSERT_TRUE(first);
    EXPECT_FALSE(std::filesystem::exists(leftover));
    first->writeLine(u"new");
    auto second = TextWriter::create(platform::pathText(b));
    ASSERT_TRUE(second);
    second->writeLine(u"new");
    std::filesystem::create_directory(b);
    std::vector<TextWriter> writers;
    writers.push_back(std::move(*first));
    writers.push_back(std::move(*second));
    EXPECT_EQ(platform::closeTogether(writers), 1u);
    EXPECT_EQ(bytesOf(a), "old\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.path()), std::filesystem::directory_iterator()), 2);

    EXPECT_TRUE(platform::replaceFileBytes(platform::pathText(a), "new\r\n"));
    EXPECT_EQ(bytesOf(a), "new\r\n");
}

// The XML document under the address window: which files it takes and in which
// encoding it writes them back, and documents nested deeper than any stack.

#include <QThread>
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/xml_document.h"
#include "support/temp_folder.h"

using platform::XmlDocument;
using platform::text::toUtf8;
using testsupport::gbk;
using testsupport::TempFolder;

namespace {

const std::string gbDecl = "<?xml version=\"1.0\" encoding=\"gb2312\"?>";
const std::string bom = "\xEF\xBB\xBF";

std::u16string pathOf(const TempFolder& t)
{
    return platform::text::fromUtf8((t / "config.xml").string());
}

std::string utf16le(std::string_view utf8)
{
    std::string out;
    for (char16_t c : platform::text::fromUtf8(utf8))
        out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return out;
}

// Runs the steps on a thread with a small stack (the size of a Windows main thread),
// where a walk that recurses once per level of nesting overflows.
void onSmallStack(std::function<void()> steps)
{
    std::unique_ptr<QThread> thread(QThread::create(std::move(steps)));
    thread->setStackSize(1024 * 1024);
    thread->start();
    thread->wait();
}

} // namespace

TEST(XmlDocument, TakesTheEncodingFromTheDeclarationAtTheVeryStart)
{
    auto decl = [](const char* encoding) { return "<?xml version=\"1.0\" encoding=\"" + std::string(encoding) + "\"?>\r\n"; };
    struct Case {
        const char* name;
        std::string before;
        std::string shown;
        std::string after; // with the address typed; empty: refused, the reason holds `reason`; "<unencodable>": the
                           // encoding lacks a character typed, and the save fails
        std::u16string reason = {};
        std::u16string typed = u"新地址";
    } cases[] = {
        {"gb2312", gbk(gbDecl + "\r\n<newdataset><url>旧</url></newdataset>\r\n"), "旧",
         gbk(gbDecl + "\r\n<newdataset><url>新地址</url></newdataset>\r\n")},
        {"single quotes and blanks around =",
         gbk("<?xml version = '1.0' encoding = 'GBK' ?>\r\n<newdataset><url>旧</url></newdataset>"), "旧",
         gbk("<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<newdataset><url>新地址</url></newdataset>")},
        {"utf-8 with a byte-order mark",
         bom + "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<newdataset><url>旧</url></newdataset>", "旧",
         bom + "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<newdataset><url>新地址</url></newdataset>"},
        {"no declaration: utf-8", "<newdataset><url>旧</url></newdataset>", "旧", "<newdataset><url>新地址</url></newdataset>"},
        {"standalone, no encoding: utf-8", "<?xml version=\"1.0\" standalone=\"yes\"?>\n<newdataset><url/></newdataset>", "",
         "<?xml version=\"1.0\" standalone=\"yes\"?>\n<newdataset><url>新地址</url></newdataset>"},
        {"an encoding attribute of the root is no declaration",
         "<?xml version=\"1.0\"?>\n<newdataset encoding=\"gb2312\"><url>a</url></newdataset>", "a",
         "<?xml version=\"1.0\"?>\n<newdataset encoding=\"gb2312\"><url>新地址</url></newdataset>"},
        {"a processing instruction named xml-…", "<?xml-stylesheet href=\"a\"?>\n<newdataset><url>a</url></newdataset>", "a",
         "<?xml-stylesheet href=\"a\"?>\n<newdataset><url>新地址</url></newdataset>"},
        {"utf-16 with a byte-order mark",
         "\xFF\xFE" + utf16le("<?xml version=\"1.0\" encoding=\"utf-16\"?>\n<newdataset><url>旧</url></newdataset>"), "旧",
         "\xFF\xFE" + utf16le("<?xml version=\"1.0\" encoding=\"utf-16\"?>\n<newdataset><url>新地址</url></newdataset>")},

        {"a blank line before the declaration", gbk("\r\n" + gbDecl + "<newdataset><url>旧</url></newdataset>"), "", "",
         u"第 2 行第 1 列：XML 声明之前不能有任何内容"},
        {"a blank before the declaration", " " + gbk(gbDecl + "<newdataset><url>旧</url></newdataset>"), "", "",
         u"第 1 行第 2 列：XML 声明之前不能有任何内容"},
        {"a byte-order mark and a blank line before it", bom + "\n" + gbk(gbDecl + "<newdataset><url>旧</url></newdataset>"),
         "", "", u"XML 声明之前不能有任何内容"},
        {"a comment before it", "<!-- a --><?xml version=\"1.0\"?><newdataset><url>a</url></newdataset>", "", "",
         u"第 1 行第 11 列：XML 声明之前不能有任何内容"},
        {"a utf-8 byte-order mark before gb2312", bom + gbk(gbDecl + "<newdataset><url>旧</url></newdataset>"), "", "",
         u"声明的编码“gb2312”与 UTF-8 字节顺序标记不符"},
        {"an encoding inside another value",
         gbk("<?xml version=\"1.0\" standalone=\"no\" note=\"encoding='gb2312'\"?><newdataset><url>旧</url></newdataset>"), "",
         "", u"XML 声明中不能有“note”"},
        {"an encoding inside the version", gbk("<?xml version=\"1.0 encoding='gb2312'\"?><newdataset><url>旧</url></newdataset>"),
         "", "", u"“version”的值不正确"},
        {"encoding before version", "<?xml encoding=\"utf-8\" version=\"1.0\"?><newdataset/>", "", "",
         u"第 1 行第 7 列：XML 声明缺少 version"},
        {"standalone before encoding", "<?xml version=\"1.0\" standalone=\"no\" encoding=\"utf-8\"?><newdataset/>", "",
         "", u"“encoding”的位置不正确"},
        {"a name twice", "<?xml version=\"1.0\" version=\"1.0\"?><newdataset/>", "", "", u"“version”的位置不正确"},
        {"no version", "<?xml encoding=\"utf-8\"?><newdataset/>", "", "", u"XML 声明缺少 version"},
        {"nothing in it", "<?xml ?><newdataset/>", "", "", u"XML 声明缺少 version"},
        {"no end", "<?xml version=\"1.0\"", "", "", u"XML 声明格式不正确"},
        {"gb2312 bytes without a declaration", gbk("<newdataset><url>旧</url></newdataset>"), "", "",
         u"第 1 行第 18 列：不是有效的 UTF-8 字节"},
        {"bytes that are no gb2312", gbDecl + "<newdataset><url>\x81\x20</url></newdataset>", "", "",
         u"不是声明的编码“gb2312”的有效字节"},
        {"us-ascii", decl("us-ascii") + "<newdataset><url>http://a/</url></newdataset>", "http://a/",
         decl("us-ascii") + "<newdataset><url>http://b/</url></newdataset>", {}, u"http://b/"},
        {"ascii in capitals", decl("ASCII") + "<newdataset><url>a</url></newdataset>\r\n", "a",
         decl("ASCII") + "<newdataset><url>b</url></newdataset>\r\n", {}, u"b"},
        {"big5", decl("big5") + "<newdataset><url>\xA6\x61</url></newdataset>", "地",
         decl("big5") + "<newdataset><url>\xA6\x61\xA7\x7D</url></newdataset>", {}, u"地址"},
        {"windows-1252", decl("windows-1252") + "<newdataset><url>caf\xE9</url></newdataset>", "café",
         decl("windows-1252") + "<newdataset><url>\x80 caf\xE9</url></newdataset>", {}, u"€ café"},
        {"gb18030 beyond gbk", decl("gb18030") + "<newdataset><url>\x94\x39\xFC\x36</url></newdataset>", "\U0001F600",
         decl("gb18030") + "<newdataset><url>\xB5\xD8\x94\x39\xFC\x36</url></newdataset>", {}, u"地\U0001F600"},
        {"a character ascii lacks", decl("us-ascii") + "<newdataset><url>a</url></newdataset>", "a", "<unencodable>"},
        {"a character windows-1252 lacks", decl("windows-1252") + "<newdataset><url>a</url></newdataset>", "a",
         "<unencodable>"},

        {"a byte above ascii", decl("us-ascii") + "<newdataset><url>caf\xE9</url></newdataset>", "", "",
         u"第 2 行第 21 列：不是声明的编码“us-ascii”的有效字节"},
        {"bytes that are no big5", decl("big5") + "<newdataset>\r\n<url>\xA6\x20</url></newdataset>", "", "",
         u"第 3 行第 6 列：不是声明的编码“big5”的有效字节"},
        {"an encoding it cannot read", "<?xml version=\"1.0\" encoding=\"iso-2022-jp\"?><newdataset/>", "", "",
         u"第 1 行第 1 列：不支持声明的编码“iso-2022-jp”"},
        {"an encoding that does not convert alike everywhere",
         "<?xml version=\"1.0\" encoding=\"windows-1258\"?><newdataset/>", "", "", u"不支持声明的编码“windows-1258”"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        t.write("config.xml", c.before);
        XmlDocument doc;
        const bool loaded = doc.load(pathOf(t));
        EXPECT_EQ(loaded, !c.after.empty()) << toUtf8(doc.parseErrorReason());
        if (!loaded) {
            EXPECT_EQ(doc.state(), XmlDocument::LoadState::Malformed);
            EXPECT_NE(doc.parseErrorReason().find(c.reason), std::u16string::npos) << toUtf8(doc.parseErrorReason());
            EXPECT_FALSE(doc.setNodeText(u"/newdataset/url", u"新地址"));
            EXPECT_FALSE(doc.save(pathOf(t)));
            EXPECT_EQ(t.read("config.xml"), c.before) << "never rewritten";
            continue;
        }
        EXPECT_EQ(toUtf8(doc.nodeText(u"/newdataset/url").value_or(u"<none>")), c.shown);
        EXPECT_TRUE(doc.setNodeText(u"/newdataset/url", c.typed));
        if (c.after == "<unencodable>") {
            EXPECT_FALSE(doc.save(pathOf(t)));
            EXPECT_TRUE(doc.lastSaveUnencodable());
            EXPECT_EQ(t.read("config.xml"), c.before);
            continue;
        }
        EXPECT_TRUE(doc.save(pathOf(t)));
        EXPECT_EQ(t.read("config.xml"), c.after);
        XmlDocument again;
        ASSERT_TRUE(again.load(pathOf(t)));
        EXPECT_EQ(again.nodeText(u"/newdataset/url"), c.typed);
    }
}

TEST(XmlDocument, NestingDeeperThanAnyStackCostsOnlyItsSize)
{
    constexpr int depth = 100000;
    std::string nested;
    for (int i = 0; i < depth; ++i)
        nested += "<a>";
    nested += "x";
    for (int i = 0; i < depth; ++i)
        nested += "</a>";
    TempFolder t;
    t.write("config.xml", "<newdataset><url>" + nested + "</url><deep>" + nested + "</deep></newdataset>");

    bool loaded = false, set = false, saved = false;
    std::optional<std::u16string> shown;
    onSmallStack([&] {
        XmlDocument doc;
        loaded = doc.load(pathOf(t));
        shown = doc.nodeText(u"/newdataset/url");
        set = doc.setNodeText(u"/newdataset/url", u"http://new/");
        saved = doc.save(pathOf(t));
    });
    EXPECT_TRUE(loaded);
    EXPECT_EQ(shown, u"x");
    EXPECT_TRUE(set);
    EXPECT_TRUE(saved);
    EXPECT_EQ(t.read("config.xml"), "<newdataset><url>http://new/</url><deep>" + nested + "</deep></newdataset>");
}

TEST(XmlDocument, TakesNoTextThatNoXmlDocumentCanHold)
{
    struct Case {
        std::u16string text;
        std::optional<char32_t> lacking;
    } cases[] = {
        {u"http://a/\tb\r\n", std::nullopt},
        {u"\x7F\u0085\uFFFD\U0001F600", std::nullopt}, // allowed, if discouraged
        {u"a\u0001b", 0x01},
        {std::u16string(u"a\0b", 3), 0x00},
        {u"\u001F", 0x1F},
        {u"\u000B\u000C", 0x0B},
        {u"a\uFFFE", 0xFFFE},
        {u"\uFFFF", 0xFFFF},
        {u"a\xD800", 0xD800},
        {u"\xDC00" u"a", 0xDC00},
        {u"\xDC00\xD800", 0xDC00},
    };
    const std::string content = "<newdataset><url>old</url></newdataset>";
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(platform::text::toUtf8(c.text)));
        EXPECT_EQ(platform::characterXmlLacks(c.text), c.lacking);
        TempFolder t;
        t.write("config.xml", content);
        XmlDocument doc;
        ASSERT_TRUE(doc.load(pathOf(t)));
        EXPECT_EQ(doc.setNodeText(u"/newdataset/url", c.text), !c.lacking);
        EXPECT_EQ(doc.nodeText(u"/newdataset/url"), c.lacking ? u"old" : c.text);
    }
}

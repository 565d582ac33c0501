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
    struct Case {
        const char* name;
        std::string before;
        std::string shown;
        std::string after; // with the address 新地址; empty: refused, the reason holds `reason`
        std::u16string reason = {};
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
        {"an encoding it cannot read", "<?xml version=\"1.0\" encoding=\"big5\"?><newdataset/>", "", "",
         u"不支持声明的编码“big5”"},
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
        EXPECT_TRUE(doc.setNodeText(u"/newdataset/url", u"新地址"));
        EXPECT_TRUE(doc.save(pathOf(t)));
        EXPECT_EQ(t.read("config.xml"), c.after);
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

// The directory-service address window over config\config.xml: what it shows, what a
// save leaves in the file, and the boxes it shows on the way.

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <gtest/gtest.h>

#include "lookup/form_xunzi.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace {

using Box = platform::fakes::FakeMessageBoxes::Box;
using testsupport::gbk;

const Box saved{u"设置成功！", platform::vbInformation, u"提示"};

class XunziWindow : public ::testing::Test {
protected:
    XunziWindow() { platform::setAppFolder(app.path()); }
    ~XunziWindow() override
    {
        closeWindow();
        platform::setAppFolder(std::filesystem::path());
    }

    lookup::form_xunzi& open() { return platform::loadWindow<lookup::form_xunzi>(); }
    bool isOpen() const { return !platform::windowInstance<lookup::form_xunzi>().isNull(); }
    void closeWindow()
    {
        if (isOpen())
            platform::windowInstance<lookup::form_xunzi>()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::string shown() { return platform::text::toUtf8(platform::u16(open().txtContent->text())); }
    void saveAs(std::string_view text)
    {
        open().txtContent->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        open().cmd_ok_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    testsupport::TempFolder app;
    platform::fakes::FakeServices fakes;
};

constexpr const char* missing = "<missing>";

struct SaveCase {
    const char* name;
    std::string before; // file content; "<missing>" for none
    std::string shown;
    std::string typed;
    std::string after;
};

TEST_F(XunziWindow, SaveChangesTheFirstAddressAndKeepsTheRest)
{
    const std::string head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- 目录服务 -->\r\n";
    const std::vector<SaveCase> cases = {
        {"edit", head + "<newdataset ver=\"2\">\r\n  <url>http://old.example/dir</url>\r\n  <other a='1'/>\r\n</newdataset>\r\n",
         "http://old.example/dir", "http://new.example/目录?a=1&b=2",
         head + "<newdataset ver=\"2\">\r\n  <url>http://new.example/目录?a=1&amp;b=2</url>\r\n  <other a=\"1\"/>\r\n</newdataset>\r\n"},
        {"empty value", "<newdataset><url>http://a/</url></newdataset>", "http://a/", "", "<newdataset><url/></newdataset>"},
        {"two url elements", "<newdataset><url>first</url><url>second</url></newdataset>", "first", "new",
         "<newdataset><url>new</url><url>second</url></newdataset>"},
        {"a tab and characters XML allows", "<newdataset><url>a</url></newdataset>", "a", "http://a/\tb\x7F\u00A0",
         "<newdataset><url>http://a/\tb\x7F\u00A0</url></newdataset>"},
        {"no url element", "<newdataset><other/></newdataset>\n", "", "http://b/",
         "<newdataset><other/><url>http://b/</url></newdataset>\n"},
        {"gb2312 document",
         gbk("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<newdataset><url>旧地址</url></newdataset>\r\n"), "旧地址",
         "新地址", gbk("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<newdataset><url>新地址</url></newdataset>\r\n")},
        {"missing file", missing, "", "http://c/",
         "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<newdataset>\r\n  <url>http://c/</url>\r\n</newdataset>\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(app / "config/config.xml");
        if (c.before != missing)
            app.write("config/config.xml", c.before);
        else
            std::filesystem::create_directories(app / "config");
        fakes.boxes.boxes.clear();

        EXPECT_EQ(shown(), c.shown);
        saveAs(c.typed);
        EXPECT_EQ(app.read("config/config.xml"), c.after);
        ASSERT_FALSE(fakes.boxes.boxes.empty());
        EXPECT_EQ(fakes.boxes.boxes.back(), saved);
        EXPECT_FALSE(isOpen());

        // Opening again shows what was saved.
        EXPECT_EQ(shown(), c.typed);
        closeWindow();
    }
}

TEST_F(XunziWindow, FileThatCannotBeLoadedIsReportedWithTheParsersReason)
{
    const std::u16string prefix = u"路径错误！找不到文件";
    for (std::string content : {std::string(missing), std::string("<newdataset><url>a</newdataset>")}) {
        SCOPED_TRACE(content);
        std::filesystem::remove(app / "config/config.xml");
        if (content != missing)
            app.write("config/config.xml", content);
        fakes.boxes.boxes.clear();

        EXPECT_EQ(shown(), "");
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
        const Box& box = fakes.boxes.boxes[0];
        EXPECT_EQ(box.text.substr(0, prefix.size()), prefix);
        EXPECT_GT(box.text.size(), prefix.size()); // the reason follows
        EXPECT_EQ(box.style, platform::vbOKOnly);
        EXPECT_EQ(box.title, platform::applicationTitle());
        closeWindow();
    }
}

TEST_F(XunziWindow, ADocumentThatIsNotWellFormedIsReportedAndNeverRewritten)
{
    const std::string gb2312 = gbk("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<newdataset><url>旧地址</url></newdataset>\r\n");
    const std::u16string file = platform::appPath() + u"\\config\\config.xml";
    for (const std::string& content : {"\r\n" + gb2312, "\xEF\xBB\xBF" + gb2312, "\xEF\xBB\xBF\r\n" + gb2312}) {
        SCOPED_TRACE(::testing::PrintToString(content.substr(0, 8)));
        app.write("config/config.xml", content);
        fakes.boxes.boxes.clear();

        EXPECT_EQ(shown(), "");
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
        EXPECT_TRUE(fakes.boxes.boxes[0].text.starts_with(u"路径错误！找不到文件第 ")) << platform::text::toUtf8(fakes.boxes.boxes[0].text);

        saveAs("新地址");
        EXPECT_EQ(fakes.boxes.boxes.back(), (Box{u"地址未保存：" + file + u" 不是格式正确的XML文件。", platform::vbInformation, u"警告"}));
        EXPECT_EQ(app.read("config/config.xml"), content);
        closeWindow();
    }
}

TEST_F(XunziWindow, AnAddressNestedDeeplyIsShownAndReplaced)
{
    std::string nested;
    for (int i = 0; i < 100000; ++i)
        nested += "<a>";
    nested += "http://deep/";
    for (int i = 0; i < 100000; ++i)
        nested += "</a>";
    app.write("config/config.xml", "<newdataset><url>" + nested + "</url></newdataset>");

    EXPECT_EQ(shown(), "http://deep/");
    saveAs("http://new/");
    EXPECT_EQ(fakes.boxes.boxes, (std::vector<Box>{saved}));
    EXPECT_EQ(app.read("config/config.xml"), "<newdataset><url>http://new/</url></newdataset>");
}

struct RefusedCase {
    const char* name;
    std::string content;
    bool readOnly;
    std::u16string warning;
    std::string address = "http://new/";
};

TEST_F(XunziWindow, SaveThatCannotWriteWarnsAndLeavesTheFile)
{
    const std::u16string file = platform::appPath() + u"\\config\\config.xml";
    const std::vector<RefusedCase> cases = {
        {"malformed", "<newdataset><url>a</url>", false, u"地址未保存：" + file + u" 不是格式正确的XML文件。"},
        {"other root", "<config><url>a</url></config>", false,
         u"地址未保存：" + file + u" 中没有可写入地址的 /newdataset/url。"},
        {"read-only folder", "<newdataset><url>a</url></newdataset>", true, u"地址未保存：无法写入 " + file + u"。"},
        // Thai is not in GB2312: not a question of permissions.
        {"character the encoding lacks", "<?xml version=\"1.0\" encoding=\"gb2312\"?><newdataset><url>a</url></newdataset>",
         false, u"地址未保存：地址中含有 " + file + u" 的编码无法保存的字符。", "http://\u0e01/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app.write("config/config.xml", c.content);
        std::optional<platform::fakes::ReadOnlyFolder> readOnly;
        if (c.readOnly)
            readOnly.emplace(app / "config");
        open();
        fakes.boxes.boxes.clear();

        saveAs(c.address);
        EXPECT_EQ(fakes.boxes.boxes, (std::vector<Box>{{c.warning, platform::vbInformation, u"警告"}}));
        EXPECT_EQ(app.read("config/config.xml"), c.content);
        EXPECT_TRUE(isOpen()); // the user may correct it or leave
        closeWindow();
    }
}

TEST_F(XunziWindow, AnAddressOfMoreThanOneLineOrWithAControlCharacterWritesNothing)
{
    const std::string content = "<newdataset><url>a</url></newdataset>";
    const std::u16string lineBreak = u"地址未保存：地址中不能有换行。";
    auto lacking = [](std::u16string_view code) { return u"地址未保存：地址中含有XML文件不能保存的字符 " + std::u16string(code) + u"。"; };
    const struct {
        std::u16string typed;
        std::u16string warning;
    } cases[] = {
        {u"http://new/\n", lineBreak},
        {u"http://a/\r\nb", lineBreak},
        {u"\r", lineBreak},
        {u"http://a/\u0001b", lacking(u"U+0001")},
        {std::u16string(u"http://a/\0b", 11), lacking(u"U+0000")},
        {u"\u001B[0m", lacking(u"U+001B")},
        {u"http://a/\uFFFE", lacking(u"U+FFFE")},
        {u"http://a/\xD800" u"b", lacking(u"U+D800")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::text::toUtf8(c.warning));
        app.write("config/config.xml", content);
        open().txtContent->setText(platform::qs(c.typed));
        ASSERT_EQ(platform::u16(open().txtContent->text()), c.typed);
        fakes.boxes.boxes.clear();
        open().cmd_ok_Click();
        EXPECT_EQ(fakes.boxes.boxes, (std::vector<Box>{{c.warning, platform::vbInformation, u"警告"}}));
        EXPECT_EQ(app.read("config/config.xml"), content);
        EXPECT_TRUE(isOpen());
        closeWindow();
    }
}

TEST_F(XunziWindow, ExitWritesNothing)
{
    const std::string content = "<newdataset><url>a</url></newdataset>";
    app.write("config/config.xml", content);
    open().txtContent->setText("changed");
    open().cmd_exit_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(app.read("config/config.xml"), content);
    EXPECT_TRUE(fakes.boxes.boxes.empty());
}

TEST_F(XunziWindow, EndsTheProgramOnlyWhenAnotherCopyRuns)
{
    app.write("config/config.xml", "<newdataset><url>a</url></newdataset>");
    open();
    EXPECT_FALSE(fakes.program.ended());
    closeWindow();

    fakes.instances.another = true;
    auto& w = open();
    EXPECT_EQ(fakes.program.ends, std::vector<int>{0});
    EXPECT_EQ(w.txtContent, nullptr); // nothing was loaded
    EXPECT_TRUE(fakes.boxes.boxes.empty());
}

} // namespace

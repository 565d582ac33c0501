#include "lookup/form_xunzi.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/single_line.h"
#include "platform/system.h"

namespace lookup {

using platform::qs;
using platform::u16;

namespace {

// "U+0001": a character that shows nothing, named in a warning.
std::u16string codePoint(char32_t c)
{
    std::u16string digits;
    for (int shift = c > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4)
        digits += u"0123456789ABCDEF"[(c >> shift) & 0xF];
    return u"U+" + digits;
}

} // namespace

form_xunzi::form_xunzi(QWidget* parent) : QWidget(parent)
{
    if (!Form_Initialize())
        return;
    using platform::Picture;
    platform::designWindow(this, "form_xunzi", QStringLiteral("目录服务寻址"), 7020, 2100);

    cmd_ok = platform::pictureButton(this, "cmd_ok", Picture::Tick, QStringLiteral("确定"), 3000, 1440, 1335, 375);
    connect(cmd_ok, &QPushButton::clicked, this, [this] { cmd_ok_Click(); });

    cmd_exit = platform::pictureButton(this, "cmd_exit", Picture::Cross, QStringLiteral("退出"), 5040, 1440, 1455, 375);
    connect(cmd_exit, &QPushButton::clicked, this, [this] { cmd_exit_Click(); });

    Label1 = platform::label(this, "Label1", QStringLiteral("地址："), 240, 840, 540, 180, platform::Sizing::ToText);
    txtContent = platform::textBox(this, "txtContent", 960, 750, 5775, 350);

    // No owner: centred on the screen.
    platform::centreOnScreen(this);
    Form_Load();
}

form_xunzi::~form_xunzi()
{
    Form_Terminate();
}

bool form_xunzi::Form_Initialize()
{
    if (platform::service<platform::Instances>().prevInstance()) {
        platform::End();
        return false;
    }
    return true;
}

void form_xunzi::Form_Load()
{
    istrXMLPath = platform::appPath() + u"\\config\\config.xml";
    LoadXmlDocument(istrXMLPath);
    txtContent->setText(qs(GetNodeText(AddressPath)));
}

void form_xunzi::cmd_ok_Click()
{
    // A file that is no well-formed XML is the user's to mend: it is never overwritten.
    if (pobjXMLDoc->state() == platform::XmlDocument::LoadState::Malformed) {
        platform::msgBox(u"地址未保存：" + istrXMLPath + u" 不是格式正确的XML文件。", platform::vbInformation, u"警告");
        return;
    }
    const std::u16string address = u16(txtContent->text());
    if (platform::holdsLineBreak(address)) {
        platform::msgBox(u"地址未保存：地址中不能有换行。", platform::vbInformation, u"警告");
        return;
    }
    // A control character would make the file no XML (a NUL would cut the address).
    if (auto c = platform::characterXmlLacks(address)) {
        platform::msgBox(u"地址未保存：地址中含有XML文件不能保存的字符 " + codePoint(*c) + u"。", platform::vbInformation,
                         u"警告");
        return;
    }
    if (!SetNodeText(AddressPath, address)) {
        platform::msgBox(u"地址未保存：" + istrXMLPath + u" 中没有可写入地址的 /newdataset/url。",
                         platform::vbInformation, u"警告");
        return;
    }
    if (!SaveXmlDocument(istrXMLPath)) {
        if (pobjXMLDoc->lastSaveUnencodable())
            platform::msgBox(u"地址未保存：地址中含有 " + istrXMLPath + u" 的编码无法保存的字符。",
                             platform::vbInformation, u"警告");
        else
            platform::msgBox(u"地址未保存：无法写入 " + istrXMLPath + u"。", platform::vbInformation, u"警告");
        return;
    }
    platform::msgBox(u"设置成功！", platform::vbInformation, u"提示");
    close();
}

void form_xunzi::cmd_exit_Click()
{
    close();
}

void form_xunzi::Form_Terminate()
{
    pobjXMLDoc.reset();
}

void form_xunzi::LoadXmlDocument(std::u16string_view path)
{
    pobjXMLDoc = std::make_unique<platform::XmlDocument>();
    if (!pobjXMLDoc->load(path))
        platform::msgBox(u"路径错误！找不到文件" + pobjXMLDoc->parseErrorReason(), platform::vbOKOnly);
}

std::u16string form_xunzi::GetNodeText(std::u16string_view xpath)
{
    // A document without the node shows an empty address.
    return pobjXMLDoc->nodeText(xpath).value_or(std::u16string());
}

bool form_xunzi::SetNodeText(std::u16string_view xpath, std::u16string_view value)
{
    return pobjXMLDoc->setNodeText(xpath, value);
}

bool form_xunzi::SaveXmlDocument(std::u16string_view path)
{
    return pobjXMLDoc->save(path);
}

} // namespace lookup

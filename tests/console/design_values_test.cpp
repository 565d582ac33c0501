// The design of every small window, one table a window: caption, the controls' texts,
// fonts, colours, list entries, masks and tab order. A control not given a font or a
// colour here must have the desktop's.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>
#include <optional>

#include "config/form_cansu.h"
#include "config/form_hard.h"
#include "config/form_zhanghao.h"
#include "console/form_about.h"
#include "console/form_gaimima.h"
#include "console/form_kaiji.h"
#include "console/form_log.h"
#include "console/form_login.h"
#include "console/form_ssl_login.h"
#include "console/form_weihu.h"
#include "lookup/form_update.h"
#include "lookup/form_xunzi.h"
#include "platform/fakes/fakes.h"
#include "platform/fakes/service_fakes.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "support/temp_folder.h"
#include "support/windows.h"

namespace {

struct Font {
    QString family;
    double points;
    bool bold = false;
    bool underline = false;
};

struct Control {
    const char* name;
    QString text; // caption, or the word of a picture button
    std::optional<Font> font = std::nullopt;
    std::optional<QColor> colour = std::nullopt;
    bool masked = false;
    QStringList entries = {};
    bool hidden = false;
    QString toolTip = {};
};

struct Design {
    QString caption;
    bool minMaxButtons; // the usual minimise and maximise buttons
    std::vector<Control> controls;
    std::vector<const char*> tabOrder;
};

const QColor red(255, 0, 0);

QString textOf(const QWidget* w)
{
    if (const auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text().isEmpty() ? b->accessibleName() : b->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    return {};
}

// What a masked field shows for two typed characters.
QString maskOf(QLineEdit* field)
{
    const QString kept = field->text();
    field->setText(QStringLiteral("ab"));
    const QString shown = field->echoMode() == QLineEdit::Password ? field->displayText() : QString();
    field->setText(kept);
    return shown;
}

// The named controls in the order the Tab key visits them.
std::vector<std::string> tabOrder(QWidget* window, const std::vector<const char*>& names)
{
    std::vector<std::string> order;
    QWidget* w = window->nextInFocusChain();
    for (int guard = 0; w != window && guard < 1000; ++guard, w = w->nextInFocusChain())
        for (const char* name : names)
            if (w->objectName() == QLatin1String(name) && (w->focusPolicy() & Qt::TabFocus))
                order.emplace_back(name);
    return order;
}

void expectDesign(QWidget* window, const Design& design)
{
    window->ensurePolished();
    EXPECT_EQ(window->windowTitle(), design.caption);
    const bool minMax = (window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)) != 0;
    EXPECT_EQ(minMax, design.minMaxButtons);
    for (const Control& c : design.controls) {
        SCOPED_TRACE(c.name);
        auto* w = window->findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(textOf(w), c.text);
        const QFont font = w->font();
        if (c.font) {
            EXPECT_EQ(font.family(), c.font->family);
            EXPECT_EQ(font.pointSizeF(), c.font->points);
            EXPECT_EQ(font.bold(), c.font->bold);
            EXPECT_EQ(font.underline(), c.font->underline);
        } else {
            EXPECT_EQ(font, QApplication::font(w)) << font.toString().toStdString();
        }
        // The colour its text is drawn in.
        const QPalette::ColorRole role = qobject_cast<QPushButton*>(w) != nullptr ? QPalette::ButtonText
                                         : qobject_cast<QLineEdit*>(w) != nullptr ? QPalette::Text
                                                                                  : QPalette::WindowText;
        const QColor colour = w->palette().color(role);
        EXPECT_EQ(colour, c.colour.value_or(QApplication::palette(w).color(role))) << colour.name().toStdString();
        if (auto* field = qobject_cast<QLineEdit*>(w)) {
            EXPECT_EQ(maskOf(field), c.masked ? QStringLiteral("**") : QString());
        }
        if (auto* list = qobject_cast<QComboBox*>(w)) {
            QStringList entries;
            for (int i = 0; i < list->count(); ++i)
                entries << list->itemText(i);
            EXPECT_EQ(entries, c.entries);
        }
        EXPECT_EQ(w->isHidden(), c.hidden);
        EXPECT_EQ(w->toolTip(), c.toolTip);
    }
    std::vector<std::string> expectedOrder(design.tabOrder.begin(), design.tabOrder.end());
    EXPECT_EQ(tabOrder(window, design.tabOrder), expectedOrder);
}

class DesignValues : public ::testing::Test {
protected:
    DesignValues() { platform::setAppFolder(app.path()); }
    ~DesignValues() override
    {
        // The windows, not the popups their lists own.
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->parentWidget() == nullptr)
                windows << w;
        for (const auto& w : windows)
            delete w.data();
        testsupport::flushDeletes();
        platform::setAppFolder({});
    }

    testsupport::TempFolder app;
    platform::fakes::FakeServices fakes;
};

TEST_F(DesignValues, form_login)
{
    expectDesign(&platform::loadWindow<console::form_login>(),
                 {QStringLiteral("登录"),
                  false,
                  {{"Label1", QStringLiteral("登陆密码")},
                   {"Text1", {}, std::nullopt, std::nullopt, true},
                   {"Label2", QStringLiteral("显示密码")},
                   {"cmd_ok", {}},
                   {"cmdexit", {}}},
                  {"Text1", "cmd_ok", "cmdexit"}});
}

TEST_F(DesignValues, form_gaimima)
{
    expectDesign(&platform::loadWindow<console::form_gaimima>(),
                 {QStringLiteral("修改控制台密码"),
                  false,
                  {{"Label1", QStringLiteral("原密码")},
                   {"txt_old", {}},
                   {"Label2", QStringLiteral("新密码")},
                   {"txt_new", {}, std::nullopt, std::nullopt, true},
                   {"Label3", QStringLiteral("确认密码")},
                   {"txt_renew", {}, std::nullopt, std::nullopt, true},
                   {"cmd_ok", {}},
                   {"cmd_exit", {}}},
                  {"txt_old", "txt_new", "txt_renew", "cmd_ok", "cmd_exit"}});
}

TEST_F(DesignValues, form_kaiji)
{
    expectDesign(&platform::loadWindow<console::form_kaiji>(),
                 {QStringLiteral("高级设置"),
                  false,
                  {{"check_kaiji", QStringLiteral("VPN设置为开机自动运行")}, {"Command1", {}}},
                  {"check_kaiji", "Command1"}});
}

TEST_F(DesignValues, form_weihu)
{
    expectDesign(&platform::loadWindow<console::form_weihu>(),
                 {QStringLiteral("高级维护"),
                  false,
                  {{"Frame1", QStringLiteral("虚拟网卡维护"), std::nullopt, red},
                   {"cmd_setupwin32", QStringLiteral("安装虚拟网卡")},
                   {"cmd_uninstall", QStringLiteral("卸载虚拟网卡")},
                   {"Frame2", QStringLiteral("系统服务"), std::nullopt, red},
                   {"cmd_setupvpn", QStringLiteral("安装VPN服务")},
                   {"cmd_update_ip", QStringLiteral("安装VPN寻址服务")},
                   {"cmd_ok", {}}},
                  {"cmd_setupwin32", "cmd_uninstall", "cmd_setupvpn", "cmd_update_ip", "cmd_ok"}});
}

TEST_F(DesignValues, form_about)
{
    expectDesign(
        &platform::loadWindow<console::form_about>(),
        {QStringLiteral("关于CorvaneVPN"),
         false,
         {{"Label1", QStringLiteral("版权所有 © Corvane，保留所有权利。")},
          {"Label2", QStringLiteral("支持系统：Win2000、XP,Vista,Win7/8,Win2003/2008/2012，兼容64位系统")},
          {"cmd_ok", QStringLiteral("确定")},
          {"Label3", QStringLiteral("欢迎访问CorvaneVPN网站"), Font{QStringLiteral("宋体"), 9, false, true}, Qt::blue},
          {"Command1", QStringLiteral("用户手册")},
          {"Label4", QStringLiteral("感恩节特别版"), std::nullopt, Qt::magenta}},
         {"cmd_ok", "Command1"}});
}

TEST_F(DesignValues, form_log)
{
    expectDesign(&platform::loadWindow<console::form_log>(),
                 {QStringLiteral("日志转换调试"),
                  true,
                  {{"Label1", QStringLiteral("原日志")},
                   {"Label2", QStringLiteral("转换后日志")},
                   {"Command1", QStringLiteral("开始转换")},
                   {"Command2", QStringLiteral("显示日志")},
                   {"Command3", QStringLiteral("清除日志")}},
                  {"Text1", "loggrid", "Command1", "Command2", "Command3"}});
}

TEST_F(DesignValues, form_ssl_login)
{
    expectDesign(&platform::loadWindow<console::form_ssl_login>(),
                 {QStringLiteral("CorvaneSSL VPN客户端"),
                  false,
                  {{"Label1", QStringLiteral("服务器地址")},
                   {"Text1", {}},
                   {"Label2", QStringLiteral("用户名：")},
                   {"Text2", {}},
                   {"Label3", QStringLiteral("密  码：")},
                   {"Text3", {}},
                   {"Check1", QStringLiteral("高级设置")},
                   {"Command1", QStringLiteral("确认")},
                   {"Command2", QStringLiteral("取消")},
                   {"Command3", QStringLiteral("Command3")}},
                  {"Text1", "Text2", "Text3", "Check1", "Command1", "Command2", "Command3"}});
}

TEST_F(DesignValues, form_cansu)
{
    const QStringList ciphers{QStringLiteral("默认"), QStringLiteral("AES"), QStringLiteral("BLOWFISH"),
                              QStringLiteral("SM4-128-CBC")};
    const QStringList protocols{QStringLiteral("UDP"), QStringLiteral("TCP")};
    const QStringList digests{QStringLiteral("默认"), QStringLiteral("MD5"), QStringLiteral("SHA1"),
                              QStringLiteral("SM3")};
    expectDesign(&platform::loadWindow<config::form_cansu>(),
                 {QStringLiteral("VPN参数设置"),
                  false,
                  {{"Frame1", QStringLiteral("VPN参数")},
                   {"Label1", QStringLiteral("(IP/域名)"), std::nullopt, red},
                   {"Label5", QStringLiteral("服务器地址")},
                   {"txt_server", {}},
                   {"Label6", QStringLiteral("通信端口")},
                   {"txt_port", {}},
                   {"Label7", QStringLiteral("封装协议")},
                   {"comb_proto", {}, std::nullopt, std::nullopt, false, protocols},
                   {"Label8", QStringLiteral("加密算法")},
                   {"comb_cipher", {}, std::nullopt, std::nullopt, false, ciphers},
                   {"Label2", QStringLiteral("摘要算法")},
                   {"comb_auth", {}, std::nullopt, std::nullopt, false, digests},
                   {"Frame2", QStringLiteral("接入帐号")},
                   {"Label9", QStringLiteral("用户名")},
                   {"txt_user", {}},
                   {"Label10", QStringLiteral("密   码")},
                   {"txt_pwd", {}, std::nullopt, std::nullopt, true},
                   {"hard_check", QStringLiteral("硬件绑定")},
                   {"otp_check", QStringLiteral("动态口令")},
                   {"cmd_ok", QStringLiteral("确定")},
                   {"cmd_quxiao", QStringLiteral("取消")},
                   {"cmd_gethardinfo", QStringLiteral("生成硬件特征码")},
                   {"hardinfo", {}, Font{QStringLiteral("宋体"), 10.5}, red}},
                  {"txt_server", "txt_port", "comb_proto", "comb_cipher", "txt_user", "txt_pwd", "cmd_ok",
                   "cmd_quxiao", "hard_check", "otp_check", "cmd_gethardinfo", "comb_auth"}});
}

TEST_F(DesignValues, form_zhanghao)
{
    expectDesign(&platform::loadWindow<config::form_zhanghao>(),
                 {QStringLiteral("VPN接入帐号"),
                  false,
                  {{"Label1", QStringLiteral("用户名")},
                   {"txt_user", {}},
                   {"Label2", QStringLiteral("密  码")},
                   {"txt_pwd", {}, std::nullopt, std::nullopt, true},
                   {"cmd_ok", QStringLiteral("确定")},
                   {"Command1", QStringLiteral("取消")}},
                  {"txt_user", "txt_pwd", "cmd_ok", "Command1"}});
}

TEST_F(DesignValues, form_hard)
{
    expectDesign(&platform::loadWindow<config::form_hard>(),
                 {QStringLiteral("硬件绑定-----获取硬件信息"),
                  true,
                  {{"Label1", QStringLiteral("制造商")},
                   {"Text1", {}},
                   {"Label2", QStringLiteral("ID:序列号")},
                   {"Text2", {}},
                   {"Command1", QStringLiteral("读取硬件")}},
                  {"Text1", "Command1", "Text2"}});
}

TEST_F(DesignValues, form_update)
{
    platform::fakes::FakeServiceManager manager;
    platform::ScopedService<platform::ServiceManager> slot(manager);
    auto* window = new lookup::form_update(u"");
    expectDesign(window, {QStringLiteral("寻址服务"),
                          true,
                          {{"cmd_start", QStringLiteral("手动寻址"), std::nullopt, std::nullopt, false, {}, true},
                           {"cmd_exit", QStringLiteral("最小化"), std::nullopt, std::nullopt, false, {}, false,
                            QStringLiteral("将缩小到右下角托盘显示")},
                           {"Command1", QStringLiteral("启动vpn"), std::nullopt, std::nullopt, false, {}, true},
                           {"Label1", QStringLiteral("VPN连接重要组成部份，不要结束它，最小化即可"),
                            Font{QStringLiteral("宋体"), 12, true}, red}},
                          {"cmd_start", "cmd_exit", "Command1"}});
    delete window;
}

TEST_F(DesignValues, form_xunzi)
{
    expectDesign(&platform::loadWindow<lookup::form_xunzi>(),
                 {QStringLiteral("目录服务寻址"),
                  false,
                  {{"cmd_ok", QStringLiteral("确定")},
                   {"cmd_exit", QStringLiteral("退出")},
                   {"Label1", QStringLiteral("地址：")},
                   {"txtContent", {}}},
                  {"cmd_ok", "cmd_exit", "txtContent"}});
}

} // namespace

#include "console/form_weihu.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QStyle>

#include "console/maintenance.h"
#include "platform/gui/form_layout.h"
#include "platform/paths.h"

namespace console {

namespace {

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, int left, int top, int width, int height)
{
    QGroupBox* f = platform::frame(parent, name, caption, left, top, width, height);
    platform::setTextColour(f, Qt::red);
    return f;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
                    int height)
{
    auto* b = platform::control<QPushButton>(parent, name, left, top, width, height, caption);
    // The frame's red is for its caption only.
    b->setPalette(QGuiApplication::palette());
    return b;
}

} // namespace

form_weihu::form_weihu(QWidget* parent) : QWidget(parent)
{
    platform::designWindow(this, "form_weihu", QStringLiteral("高级维护"), 7635, 2595);

    Frame1 = frame(this, "Frame1", QStringLiteral("虚拟网卡维护"), 240, 120, 4455, 1215);
    cmd_setupwin32 = button(Frame1, "cmd_setupwin32", QStringLiteral("安装虚拟网卡"), 120, 480, 1695, 375);
    cmd_uninstall = button(Frame1, "cmd_uninstall", QStringLiteral("卸载虚拟网卡"), 2400, 480, 1695, 375);
    Frame2 = frame(this, "Frame2", QStringLiteral("系统服务"), 240, 1440, 4455, 1095);
    cmd_setupvpn = button(Frame2, "cmd_setupvpn", QStringLiteral("安装VPN服务"), 120, 360, 1695, 375);
    cmd_update_ip = button(Frame2, "cmd_update_ip", QStringLiteral("安装VPN寻址服务"), 2400, 360, 1695, 375);
    cmd_ok = button(this, "cmd_ok", QString(), 5640, 1560, 1575, 375);
    cmd_ok->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));

    connect(cmd_setupwin32, &QPushButton::clicked, this, [this] { cmd_setupwin32_Click(); });
    connect(cmd_uninstall, &QPushButton::clicked, this, [this] { cmd_uninstall_Click(); });
    connect(cmd_setupvpn, &QPushButton::clicked, this, [this] { cmd_setupvpn_Click(); });
    connect(cmd_update_ip, &QPushButton::clicked, this, [this] { cmd_update_ip_Click(); });
    connect(cmd_ok, &QPushButton::clicked, this, [this] { cmd_ok_Click(); });

    platform::centreOnScreen(this);
}

void form_weihu::cmd_setupwin32_Click()
{
    maintenance::run(maintenance::addAdapter(platform::appPath()));
}

void form_weihu::cmd_uninstall_Click()
{
    maintenance::run(maintenance::removeAdapters(platform::appPath()));
}

void form_weihu::cmd_setupvpn_Click()
{
    maintenance::run(maintenance::installVpnService(platform::appPath()));
}

void form_weihu::cmd_update_ip_Click()
{
    maintenance::run(maintenance::installLookupService(platform::appPath()));
}

void form_weihu::cmd_ok_Click()
{
    close();
}

} // namespace console

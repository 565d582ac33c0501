#include "platform/gui/cstray.h"

#include <QSystemTrayIcon>

namespace platform {

cstray::cstray(QObject* parent) : QObject(parent) {}

cstray::~cstray() = default;

void cstray::setIntray(bool shown)
{
    intray_ = shown;
    if (shown && tray_ == nullptr && QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(icon_, this);
        tray_->setToolTip(tip_);
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) { emit TrayActivate(0, static_cast<int>(reason)); });
    }
    if (tray_ != nullptr)
        tray_->setVisible(shown);
}

void cstray::setTrayicon(const QIcon& icon)
{
    icon_ = icon;
    if (tray_ != nullptr)
        tray_->setIcon(icon);
}

void cstray::setTraytip(const QString& tip)
{
    tip_ = tip;
    if (tray_ != nullptr)
        tray_->setToolTip(tip);
}

void cstray::activate()
{
    emit TrayActivate(0, 0);
}

bool cstray::iconShown() const
{
    return tray_ != nullptr && tray_->isVisible();
}

} // namespace platform

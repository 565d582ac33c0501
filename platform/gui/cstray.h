#pragma once
// The tray-icon control: intray shows or hides the icon, trayicon and traytip give the
// icon and its tip, and the user's action on the icon raises TrayActivate. Where the
// desktop has no notification area the state is kept and nothing is shown.

#include <QIcon>
#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace platform {

class cstray : public QObject {
    Q_OBJECT
public:
    explicit cstray(QObject* parent = nullptr);
    ~cstray() override;

    bool intray() const { return intray_; }
    void setIntray(bool shown);
    QIcon trayicon() const { return icon_; }
    void setTrayicon(const QIcon& icon);
    QString traytip() const { return tip_; }
    void setTraytip(const QString& tip);

    // What a click on the icon does.
    void activate();
    // Whether the icon is in a notification area now; never where the desktop has none.
    bool iconShown() const;

signals:
    void TrayActivate(int button, int reason);

private:
    bool intray_ = false;
    QIcon icon_;
    QString tip_;
    QSystemTrayIcon* tray_ = nullptr;
};

} // namespace platform

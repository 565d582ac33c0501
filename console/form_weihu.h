#pragma once
// Maintenance: installs the VPN and address-lookup services and adds or removes the
// virtual network adapter by starting the installation's programs.

#include <QWidget>

class QGroupBox;
class QPushButton;

namespace console {

class form_weihu : public QWidget {
public:
    explicit form_weihu(QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QPushButton* cmd_setupwin32 = nullptr;
    QPushButton* cmd_uninstall = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* cmd_setupvpn = nullptr;
    QPushButton* cmd_update_ip = nullptr;
    QPushButton* cmd_ok = nullptr;

    void cmd_setupwin32_Click();
    void cmd_uninstall_Click();
    void cmd_setupvpn_Click();
    void cmd_update_ip_Click();
    void cmd_ok_Click();
};

} // namespace console

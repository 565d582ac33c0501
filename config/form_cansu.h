#pragma once
// The parameter window: server, port, protocol, cipher, digest, the account and the two
// switches; its save writes config.ovpn and pwd.txt, its opening reads them back.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "config/client_files.h"

namespace config {

class form_cansu : public QWidget {
    Q_OBJECT
public:
    form_cansu();

    QGroupBox* Frame1;
    QLabel* Label1;
    QLabel* Label5;
    QLineEdit* txt_server;
    QLabel* Label6;
    QLineEdit* txt_port;
    QLabel* Label7;
    QComboBox* comb_proto;
    QLabel* Label8;
    QComboBox* comb_cipher;
    QLabel* Label2;
    QComboBox* comb_auth;
    QGroupBox* Frame2;
    QLabel* Label9;
    QLineEdit* txt_user;
    QLabel* Label10;
    QLineEdit* txt_pwd;
    QCheckBox* hard_check;
    QCheckBox* otp_check;
    QPushButton* cmd_ok;
    QPushButton* cmd_quxiao;
    QPushButton* cmd_gethardinfo;
    QLabel* hardinfo;

    void Form_Load();
    void cmd_ok_Click();
    void cmd_quxiao_Click();
    void hard_check_GotFocus();
    void otp_check_GotFocus();
    void cmd_gethardinfo_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Credentials opened_; // pwd.txt as the opening read it
};

} // namespace config

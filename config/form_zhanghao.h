#pragma once
// The account window: edits the account and the password in pwd.txt and keeps the
// hardware feature code and the two flags as the file holds them.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <string>

#include "config/client_files.h"

namespace config {

// dravik shows the password in clear while its field has the focus; quellan never does.
void setShowPasswordOnFocus(bool show);
bool showPasswordOnFocus();

class form_zhanghao : public QWidget {
    Q_OBJECT
public:
    form_zhanghao();

    QLabel* Label1;
    QLineEdit* txt_user;
    QLabel* Label2;
    QLineEdit* txt_pwd;
    QPushButton* cmd_ok;
    QPushButton* Command1;

    // As the opening read them. The save writes back what the file holds then, and these
    // only when it cannot be read.
    std::u16string hard_code;
    std::int16_t hard_flag = 0;
    std::int16_t otp_flag = 0;

    void Form_Load();
    void cmd_ok_Click();
    void Command1_Click();
    void txt_pwd_GotFocus();
    void txt_pwd_LostFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Credentials opened_; // pwd.txt as the opening read it
};

} // namespace config

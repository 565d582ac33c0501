#pragma once
// Changes the console password.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace console {

class form_gaimima : public QWidget {
public:
    explicit form_gaimima(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* txt_old = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txt_new = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txt_renew = nullptr;
    QPushButton* cmd_ok = nullptr;
    QPushButton* cmd_exit = nullptr;

    void cmd_ok_Click();
    void cmd_exit_Click();
};

} // namespace console

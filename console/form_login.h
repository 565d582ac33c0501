#pragma once
// The console login: a typed password against the console password file (or the master
// password); a correct one opens the console window.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace console {

class form_login : public QWidget {
public:
    explicit form_login(QWidget* parent = nullptr);

    QLabel* Picture1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* cmd_ok = nullptr;
    QPushButton* cmdexit = nullptr;

    void Form_Load();
    void cmd_ok_Click();
    // VB key codes: 13 is Enter.
    void Text1_KeyDown(int KeyCode, int Shift);
    void Label2_Click();
    void cmdexit_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace console

#pragma once
// The SSL VPN client: keeps a server and an account in server.ini and starts the agent.

#include <QWidget>
#include <string>
#include <string_view>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace console {

class form_ssl_login : public QWidget {
public:
    explicit form_ssl_login(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text3 = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;

    std::u16string ReadIniFile(std::u16string_view FileName, std::u16string_view AppName, std::u16string_view KeyName);
    void WriteInifile(std::u16string_view FileName, std::u16string_view AppName, std::u16string_view KeyName,
                      std::u16string_view Value);

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
};

} // namespace console

#pragma once
// The about box: edition, supported systems, the home page and the user manual.

#include <QWidget>
#include <string_view>

class QLabel;
class QPushButton;

namespace console {

class form_about : public QWidget {
public:
    // The product's home page.
    static constexpr std::u16string_view homePage = u"https://www.corvane.example/";

    explicit form_about(QWidget* parent = nullptr);

    QLabel* Picture1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* cmd_ok = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label4 = nullptr;

    void Form_Load();
    void Command1_Click();
    void Label3_Click();
    void cmd_ok_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace console

#pragma once
// Whether the VPN service starts at system start.

#include <QWidget>

class QCheckBox;
class QPushButton;

namespace console {

class form_kaiji : public QWidget {
public:
    explicit form_kaiji(QWidget* parent = nullptr);

    QCheckBox* check_kaiji = nullptr;
    QPushButton* Command1 = nullptr;

    void Form_Load();
    void Command1_Click();
};

} // namespace console

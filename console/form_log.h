#pragma once
// A test bench for the log conversion; its one handler only sets its timer.

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace console {

class form_log : public QWidget {
public:
    explicit form_log(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QTableWidget* loggrid = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QTimer* Timer1 = nullptr;

    void Command1_Click();
};

} // namespace console

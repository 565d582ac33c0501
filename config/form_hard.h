#pragma once
// The disk-identity window: shows the disk's maker and serial number that the DiskID32
// library delivers. Display only.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "config/disk_identity.h"

namespace config {

class form_hard : public QWidget {
    Q_OBJECT
public:
    form_hard();

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    QPushButton* Command1;

    // Finds the library's entry; by default libDiskID32.so in the application folder.
    std::function<DiskIdEntry()> loadDiskId;

    void Command1_Click();

private:
    DiskID32Function diskId_; // loaded at the first press that finds it
};

} // namespace config

#include "config/form_hard.h"

#include <array>

#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"
#include "platform/library.h"
#include "platform/message_box.h"
#include "platform/paths.h"

namespace config {

using platform::qs;

form_hard::form_hard()
    : loadDiskId([] { return loadDiskID32(platform::appFolder() / platform::libraryFileName("DiskID32")); })
{
    using platform::Sizing;
    platform::designWindow(this, "form_hard", QStringLiteral("硬件绑定-----获取硬件信息"), 8130, 2610,
                           platform::WindowFrame::Sizable);

    Label1 = platform::label(this, "Label1", QStringLiteral("制造商"), 360, 240, 540, 180, Sizing::ToText);
    Text1 = platform::textBox(this, "Text1", 240, 720, 5415, 375);
    Label2 = platform::label(this, "Label2", QStringLiteral("ID:序列号"), 360, 1320, 810, 180, Sizing::ToText);
    Text2 = platform::textBox(this, "Text2", 240, 1680, 5295, 375);
    Command1 = platform::control<QPushButton>(this, "Command1", 6480, 1200, 1095, 495, QStringLiteral("读取硬件"));

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Text2);
    Text1->setFocus();
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    platform::centreOnScreen(this);
}

void form_hard::Command1_Click()
{
    if (!diskId_) {
        DiskIdEntry entry = loadDiskId();
        if (!entry.call) {
            platform::msgBox(entry.problem, platform::vbInformation, u"警告");
            return;
        }
        diskId_ = std::move(entry.call);
    }
    std::array<char, diskIdBufferSize> first{};
    std::array<char, diskIdBufferSize> second{};
    diskId_(first.data(), second.data());
    Text1->setText(qs(diskIdText({first.data(), first.size()}, false)));
    Text2->setText(qs(diskIdText({second.data(), second.size()}, true)));
}

} // namespace config

#include "console/form_kaiji.h"

#include <QCheckBox>
#include <QPushButton>
#include <QStyle>

#include "console/console_texts.h"
#include "console/logchange.h"
#include "console/password_file.h"
#include "platform/gui/form_layout.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace console {

using platform::centreOnScreen;
using platform::control;
using platform::designWindow;

form_kaiji::form_kaiji(QWidget* parent) : QWidget(parent)
{
    designWindow(this, "form_kaiji", QStringLiteral("高级设置"), 4560, 1800);

    check_kaiji = control<QCheckBox>(this, "check_kaiji", 480, 360, 3600, 375, QStringLiteral("VPN设置为开机自动运行"));
    Command1 = control<QPushButton>(this, "Command1", 2880, 1080, 1215, 375);
    Command1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    centreOnScreen(this);

    Form_Load();
}

void form_kaiji::Form_Load()
{
    // The flag of this run, not line 2 of the file: only the login and a save set it.
    check_kaiji->setChecked(logchange::AutoStartFlag == 1);
}

void form_kaiji::Command1_Click()
{
    // Nothing is started or written when line 1 cannot be read: the rewrite would wipe it.
    const auto stored = password_file::read();
    if (!stored) {
        password_file::warnUnreadable(u"设置未保存！");
        return;
    }
    std::int16_t flag = 0;
    if (check_kaiji->isChecked()) {
        platform::shell(BootStartCommand, platform::vbHide);
        flag = 1;
    } else {
        platform::shell(DemandStartCommand, platform::vbHide);
    }
    logchange::AutoStartFlag = flag;
    const auto failure = password_file::write(stored->password, platform::text::number(flag));
    if (failure == platform::WriteFailure::Unencodable) {
        // Only the password read back from the file can hold such characters.
        platform::msgBox(u"文件 " + password_file::displayPath() + u" 中的密码含有无法保存的字符！", platform::vbInformation,
                         u"警告");
        return;
    }
    if (failure != platform::WriteFailure::None) {
        platform::msgBox(u"无法写入文件 " + password_file::displayPath() + u"！", platform::vbInformation, u"警告");
        return;
    }
    close();
}

} // namespace console

#include "console/form_gaimima.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "console/password_file.h"
#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"
#include "platform/message_box.h"
#include "platform/single_line.h"

namespace console {

using platform::centreOnScreen;
using platform::control;
using platform::designWindow;
using platform::label;
using platform::passwordBox;
using platform::textBox;

form_gaimima::form_gaimima(QWidget* parent) : QWidget(parent)
{
    designWindow(this, "form_gaimima", QStringLiteral("修改控制台密码"), 5040, 2880);

    Label1 = label(this, "Label1", QStringLiteral("原密码"), 480, 420, 960, 255);
    txt_old = textBox(this, "txt_old", 1440, 360, 2895, 315);
    Label2 = label(this, "Label2", QStringLiteral("新密码"), 480, 960, 960, 255);
    txt_new = passwordBox(this, "txt_new", 1440, 900, 2895, 315);
    Label3 = label(this, "Label3", QStringLiteral("确认密码"), 480, 1500, 960, 255);
    txt_renew = passwordBox(this, "txt_renew", 1440, 1440, 2895, 315);

    cmd_ok = control<QPushButton>(this, "cmd_ok", 1440, 2160, 1215, 375);
    cmd_ok->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    connect(cmd_ok, &QPushButton::clicked, this, [this] { cmd_ok_Click(); });

    cmd_exit = control<QPushButton>(this, "cmd_exit", 3120, 2160, 1215, 375);
    cmd_exit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connect(cmd_exit, &QPushButton::clicked, this, [this] { cmd_exit_Click(); });

    centreOnScreen(this);
}

void form_gaimima::cmd_ok_Click()
{
    const auto stored = password_file::read();
    if (!stored) {
        password_file::warnUnreadable(u"密码未修改！");
        return;
    }
    if (platform::u16(txt_old->text()) != stored->password) {
        platform::msgBox(u"原密码输入错误，请检查！", platform::vbInformation, u"警告");
        txt_old->clear();
        txt_old->setFocus();
        return;
    }
    if (txt_new->text().isEmpty()) {
        platform::msgBox(u"新密码不可为空", platform::vbInformation, u"警告");
        txt_new->setFocus();
        return;
    }
    if (auto field = platform::fieldWithLineBreak(
            {{u"新密码", platform::u16(txt_new->text())}, {u"确认密码", platform::u16(txt_renew->text())}})) {
        platform::msgBox(u"“" + *field + u"”中不能有换行，密码未修改！", platform::vbInformation, u"警告");
        return;
    }
    if (txt_new->text() != txt_renew->text()) {
        platform::msgBox(u"新密码和确认密码输入不一致，请重输！", platform::vbInformation, u"提示");
        txt_new->clear();
        txt_renew->clear();
        return;
    }
    const auto failure = password_file::write(platform::u16(txt_new->text()), u"1");
    if (failure == platform::WriteFailure::Unencodable) {
        platform::msgBox(u"新密码中含有无法保存的字符，密码未修改！", platform::vbInformation, u"警告");
        return;
    }
    if (failure != platform::WriteFailure::None) {
        platform::msgBox(u"无法写入文件 " + password_file::displayPath() + u"，密码未修改！", platform::vbInformation,
                         u"警告");
        return;
    }
    platform::msgBox(u"设置成功！", platform::vbInformation, u"提示");
    close();
}

void form_gaimima::cmd_exit_Click()
{
    close();
}

} // namespace console

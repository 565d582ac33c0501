#include "config/form_cansu.h"

#include <QFocusEvent>

#include "config/hardware.h"
#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"
#include "platform/message_box.h"
#include "platform/single_line.h"
#include "platform/system.h"

namespace config {

using platform::label;
using platform::place;
using platform::qs;
using platform::setTextColour;
using platform::textBox;
using platform::u16;

namespace {

QComboBox* list(QWidget* parent, const char* name, int l, int t, int w, int h)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Only the exact text counts: no completion may change what the user typed.
    combo->setCompleter(nullptr);
    place(combo, l, t, w, h);
    return combo;
}

const QColor red(255, 0, 0);

} // namespace

form_cansu::form_cansu()
{
    platform::designWindow(this, "form_cansu", QStringLiteral("VPN参数设置"), 8565, 4740);

    Frame1 = platform::frame(this, "Frame1", QStringLiteral("VPN参数"), 480, 240, 7695, 1575);
    Label1 = label(Frame1, "Label1", QStringLiteral("(IP/域名)"), 120, 240, 810, 180);
    setTextColour(Label1, red);
    Label5 = label(Frame1, "Label5", QStringLiteral("服务器地址"), 120, 450, 900, 180);
    txt_server = textBox(Frame1, "txt_server", 1080, 360, 2415, 300);
    Label6 = label(Frame1, "Label6", QStringLiteral("通信端口"), 4080, 450, 720, 180);
    txt_port = textBox(Frame1, "txt_port", 5040, 360, 2415, 300);
    Label7 = label(Frame1, "Label7", QStringLiteral("封装协议"), 240, 1140, 720, 180);
    comb_proto = list(Frame1, "comb_proto", 1080, 1080, 1215, 300);
    Label8 = label(Frame1, "Label8", QStringLiteral("加密算法"), 2520, 1140, 720, 180);
    comb_cipher = list(Frame1, "comb_cipher", 3360, 1080, 1455, 300);
    Label2 = label(Frame1, "Label2", QStringLiteral("摘要算法"), 5160, 1140, 720, 180);
    comb_auth = list(Frame1, "comb_auth", 6120, 1080, 1335, 300);

    Frame2 = platform::frame(this, "Frame2", QStringLiteral("接入帐号"), 480, 2160, 7695, 1335);
    Label9 = label(Frame2, "Label9", QStringLiteral("用户名"), 360, 720, 540, 180);
    txt_user = textBox(Frame2, "txt_user", 960, 600, 2415, 300);
    Label10 = label(Frame2, "Label10", QStringLiteral("密   码"), 4080, 720, 630, 180);
    txt_pwd = platform::passwordBox(Frame2, "txt_pwd", 4920, 600, 2415, 300);

    hard_check = platform::control<QCheckBox>(this, "hard_check", 360, 3720, 1215, 255, QStringLiteral("硬件绑定"));
    otp_check = platform::control<QCheckBox>(this, "otp_check", 2160, 3720, 1215, 255, QStringLiteral("动态口令"));

    using platform::Picture;
    cmd_ok = platform::pictureButton(this, "cmd_ok", Picture::Tick, QStringLiteral("确定"), 5160, 3840, 1455, 375);
    cmd_quxiao =
        platform::pictureButton(this, "cmd_quxiao", Picture::Cross, QStringLiteral("取消"), 6840, 3840, 1455, 375);
    cmd_gethardinfo = platform::control<QPushButton>(this, "cmd_gethardinfo", 120, 4200, 1455, 375,
                                                     QStringLiteral("生成硬件特征码"));

    hardinfo = label(this, "hardinfo", QString(), 1800, 4200, 3135, 255);
    setTextColour(hardinfo, red);
    hardinfo->setFont(platform::songFont(10.5));

    QWidget* order[] = {txt_server, txt_port,   comb_proto, comb_cipher, txt_user,        txt_pwd,
                        cmd_ok,     cmd_quxiao, hard_check, otp_check,   cmd_gethardinfo, comb_auth};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    txt_server->setFocus();

    hard_check->installEventFilter(this);
    otp_check->installEventFilter(this);
    connect(cmd_ok, &QPushButton::clicked, this, [this] { cmd_ok_Click(); });
    connect(cmd_quxiao, &QPushButton::clicked, this, [this] { cmd_quxiao_Click(); });
    connect(cmd_gethardinfo, &QPushButton::clicked, this, [this] { cmd_gethardinfo_Click(); });

    platform::centreOnScreen(this);
    Form_Load();
}

bool form_cansu::eventFilter(QObject* watched, QEvent* event)
{
    // The user moving into a box, not the window coming back to the front.
    if (event->type() == QEvent::FocusIn) {
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == hard_check)
                hard_check_GotFocus();
            else if (watched == otp_check)
                otp_check_GotFocus();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void form_cansu::Form_Load()
{
    for (auto [combo, entries] : {std::pair{comb_cipher, &cipherEntries()}, std::pair{comb_proto, &protoEntries()},
                                  std::pair{comb_auth, &digestEntries()}}) {
        for (const auto& entry : *entries)
            combo->addItem(qs(entry));
        combo->setCurrentIndex(-1);
        combo->clearEditText();
    }

    const ClientFiles files = loadClientFiles(ClientWindow::Parameters);
    const ClientConfigReadBack& r = files.config;
    if (r.port)
        txt_port->setText(qs(*r.port));
    if (r.proto)
        comb_proto->setEditText(qs(*r.proto));
    if (r.server)
        txt_server->setText(qs(*r.server));
    if (r.cipher)
        comb_cipher->setEditText(qs(*r.cipher));
    if (r.digest)
        comb_auth->setEditText(qs(*r.digest));

    opened_ = files.credentials;
    txt_user->setText(qs(opened_.user));
    txt_pwd->setText(qs(opened_.password));
    hardinfo->setText(qs(opened_.code));
    hard_check->setChecked(opened_.hardFlag == 1);
    otp_check->setChecked(opened_.otpFlag == 1);
}

void form_cansu::cmd_ok_Click()
{
    if (!platform::singleLinesOrWarn({{u"服务器地址", u16(txt_server->text())},
                                      {u"通信端口", u16(txt_port->text())},
                                      {u"封装协议", u16(comb_proto->currentText())},
                                      {u"加密算法", u16(comb_cipher->currentText())},
                                      {u"摘要算法", u16(comb_auth->currentText())},
                                      {u"用户名", u16(txt_user->text())},
                                      {u"密码", u16(txt_pwd->text())}}))
        return;
    auto port = parsePort(u16(txt_port->text()));
    if (!port) {
        platform::msgBox(u"通信端口必须是 1 到 65535 之间的整数！", platform::vbInformation, u"警告");
        txt_port->setFocus();
        return;
    }

    ClientConfig cfg;
    cfg.port = *port;
    cfg.proto = u16(comb_proto->currentText());
    cfg.server = u16(txt_server->text());
    cfg.cipher = u16(comb_cipher->currentText());
    cfg.digest = u16(comb_auth->currentText());
    cfg.otp = otp_check->isChecked();

    Credentials edited;
    edited.user = u16(txt_user->text());
    edited.password = u16(txt_pwd->text());
    // The code is made afresh from this PC, never taken from the label or the file.
    if (hard_check->isChecked())
        edited.code = hardwareFeatureCode();
    edited.hardFlag = hard_check->isChecked() ? 1 : 0;
    edited.otpFlag = otp_check->isChecked() ? 1 : 0;
    bool saved = saveClientFilesOrWarn({ClientWindow::Parameters, cfg, opened_, edited});
    if (!saved)
        return;
    platform::msgBox(u"保存成功！", platform::vbInformation, u"提示");
    close();
}

void form_cansu::cmd_quxiao_Click()
{
    close();
}

void form_cansu::hard_check_GotFocus()
{
    otp_check->setChecked(false);
}

void form_cansu::otp_check_GotFocus()
{
    hard_check->setChecked(false);
}

void form_cansu::cmd_gethardinfo_Click()
{
    hardinfo->setText(qs(hardwareFeatureCode()));
    auto& clipboard = platform::service<platform::Clipboard>();
    clipboard.clear();
    clipboard.setText(u16(hardinfo->text()));
    platform::msgBox(u"硬件特征码已复制到粘贴板，可通过邮件或QQ发给VPN管理员！", platform::vbOKOnly, u"硬件绑定");
}

} // namespace config

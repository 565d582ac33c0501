#include "config/form_design.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>

#include "platform/gui/qt_text.h"
#include "platform/message_box.h"

namespace config {

using platform::twips;

void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

void fixedDialogFrame(QWidget* window, int clientWidth, int clientHeight)
{
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
    window->setFixedSize(twips(clientWidth), twips(clientHeight));
}

void centreOnScreen(QWidget* window)
{
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height,
              bool autoSize)
{
    auto* lbl = new QLabel(text, parent);
    lbl->setObjectName(QString::fromLatin1(name));
    place(lbl, left, top, width, height);
    if (autoSize)
        lbl->adjustSize();
    return lbl;
}

QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    place(box, left, top, width, height);
    return box;
}

QLineEdit* passwordBox(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    QLineEdit* box = textBox(parent, name, left, top, width, height);
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    return box;
}

bool saveOrWarn(const std::vector<FileLines>& files)
{
    if (auto failed = saveFiles(files)) {
        if (failed->why == platform::WriteFailure::Unencodable)
            platform::msgBox(u"要写入文件 " + failed->name + u" 的文字中含有无法保存的字符，设置未保存！",
                             platform::vbInformation, u"警告");
        else
            platform::msgBox(u"无法写入文件 " + failed->name + u"，设置未保存！", platform::vbInformation, u"警告");
        return false;
    }
    return true;
}

namespace {

QPixmap picture(Picture kind, const QString& word)
{
    QPixmap pixmap(85, 25);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kind == Picture::Tick ? QColor(0, 160, 0) : QColor(220, 0, 0), 3, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    QPainterPath mark;
    if (kind == Picture::Tick) {
        mark.moveTo(16, 13);
        mark.lineTo(21, 18);
        mark.lineTo(30, 7);
    } else {
        mark.moveTo(17, 7);
        mark.lineTo(28, 18);
        mark.moveTo(28, 7);
        mark.lineTo(17, 18);
    }
    p.drawPath(mark);
    p.setPen(Qt::black);
    p.drawText(QRect(36, 0, 49, 25), Qt::AlignLeft | Qt::AlignVCenter, word);
    return pixmap;
}

} // namespace

QPushButton* pictureButton(QWidget* parent, const char* name, Picture kind, const QString& word)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(QIcon(picture(kind, word)));
    button->setIconSize(QSize(85, 25));
    button->setAccessibleName(word);
    return button;
}

} // namespace config

#include "platform/gui/gui_services.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>
#include <cstdio>

#include "platform/gui/qt_text.h"
#include "platform/host_paths.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace platform {

namespace {

class QtMessageBoxes final : public MessageBoxes {
public:
    void show(std::u16string_view text, int style, std::u16string_view title) override
    {
        // Without a display (a service, a terminal session) nobody could close the box:
        // the text goes to the standard error instead of blocking the program.
        const QString platformName = QGuiApplication::platformName();
        if (platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal")) {
            std::fprintf(stderr, "%s: %s\n", qs(title).toLocal8Bit().constData(), qs(text).toLocal8Bit().constData());
            return;
        }
        QMessageBox box(style == vbInformation ? QMessageBox::Information : QMessageBox::NoIcon, qs(title), qs(text),
                        QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    }
};

class QtClipboard final : public Clipboard {
public:
    void clear() override { QGuiApplication::clipboard()->clear(); }
    void setText(std::u16string_view text) override { QGuiApplication::clipboard()->setText(qs(text)); }
    std::u16string text() override { return u16(QGuiApplication::clipboard()->text()); }
};

class QtDesktop final : public Desktop {
public:
    void openUrl(std::u16string_view url) override { QDesktopServices::openUrl(QUrl(qs(url))); }
    void openHelp(const std::filesystem::path& file) override
    {
        QDesktopServices::openUrl(QUrl::fromLocalFile(qs(pathText(file))));
    }
    void sendKeys(std::u16string_view keys) override
    {
        if (keys != u"{F1}")
            return;
        QWidget* target = QApplication::focusWidget();
        if (target == nullptr)
            target = QApplication::activeWindow();
        if (target == nullptr)
            return;
        // Posted, not sent: the caller goes on without waiting for the key to be handled.
        QApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier));
        QApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier));
    }
};

// F1 in any window of the program opens its help file.
class HelpKey final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
            watched->isWidgetType() && !helpFile().empty()) {
            service<Desktop>().openHelp(localPath(helpFile()));
            return true;
        }
        return false;
    }
};

} // namespace

void installGuiServices()
{
    static QtMessageBoxes boxes;
    static QtClipboard clipboard;
    static QtDesktop desktop;
    installService<MessageBoxes>(boxes);
    installService<Clipboard>(clipboard);
    installService<Desktop>(desktop);
    installHelpKey();
}

void installHelpKey()
{
    static HelpKey* filter = nullptr;
    if (filter == nullptr && qApp != nullptr) {
        filter = new HelpKey;
        qApp->installEventFilter(filter);
    }
}

} // namespace platform

// The service program: starts in the service window, which by its command line installs
// or removes the service or runs as it, hidden.
#include <QApplication>
#include <QSocketNotifier>
#include <cstdlib>
#include <map>

#include "lookup/form_update.h"
#include "lookup/service_command.h"
#include "platform/gui/desktop_look.h"
#include "platform/gui/gui_services.h"
#include "platform/host.h"
#include "platform/message_box.h"
#include "platform/nt_service.h"

namespace {

// The service manager's requests arrive on a descriptor; Qt's loop reads them on the
// user-interface thread.
class QtReadableWatch final : public platform::ReadableWatch {
public:
    void watch(int fd, std::function<void()> onReadable) override
    {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onReadable] { onReadable(); });
        notifiers_[fd] = notifier;
    }
    void unwatch(int fd) override
    {
        auto it = notifiers_.find(fd);
        if (it == notifiers_.end())
            return;
        // May be called from the notifier's own signal.
        it->second->setEnabled(false);
        it->second->deleteLater();
        notifiers_.erase(it);
    }

private:
    std::map<int, QSocketNotifier*> notifiers_;
};

bool hasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* v = std::getenv(name); v != nullptr && *v != '\0')
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Read before Qt takes its own options out of the arguments.
    const std::u16string command = lookup::commandText(argc, argv);
    // A system service runs without a display.
    if (!hasDisplay() && std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    // The window is hidden most of its life; only the service's stop ends the program.
    app.setQuitOnLastWindowClosed(false);
    platform::installHostServices();
    platform::installGuiServices();
    platform::setUpChineseDesktop();
    static QtReadableWatch watch;
    platform::installServiceHost(watch);
    platform::setApplicationTitle(u"CorvaneVPN寻址服务");

    new lookup::form_update(command);
    return app.exec();
}

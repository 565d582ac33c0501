// The service program: starts in the service window, which by its command line installs
// or removes the service or runs as it, hidden.
#include <QApplication>
#include <QMetaObject>

#include "lookup/form_update.h"
#include "lookup/service_command.h"
#include "platform/gui/desktop_look.h"
#include "platform/gui/gui_services.h"
#include "platform/host.h"
#include "platform/message_box.h"
#include "platform/nt_service.h"

namespace {

// The service manager's requests come from other threads; Qt's loop runs them on the
// user-interface thread.
class QtUiThread final : public platform::UiThread {
public:
    void post(std::function<void()> task) override
    {
        QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Read before Qt takes its own options out of the arguments.
    const std::u16string command = lookup::commandText(argc, argv);
    // Before Qt starts: the service control manager ends a service that is slow to
    // connect. The window takes the requests once it is loaded.
    if (lookup::serviceCommand(command) == lookup::ServiceCommand::Run)
        platform::connectServiceManager(u"ip_update");
    platform::preferOffscreenWithoutDisplay();

    QApplication app(argc, argv);
    // The window is hidden most of its life; only the service's stop ends the program.
    app.setQuitOnLastWindowClosed(false);
    platform::installHostServices();
    platform::installGuiServices();
    platform::setUpChineseDesktop();
    static QtUiThread ui;
    platform::installServiceHost(ui);
    platform::setApplicationTitle(u"CorvaneVPN寻址服务");

    new lookup::form_update(command);
    return app.exec();
}

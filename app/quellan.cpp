// The console program: starts in the console window, maximised.
#include <QApplication>

#include "console/form_zuye.h"
#include "console/form_zuye_snapshot.h"
#include "platform/gui/gui_services.h"
#include "platform/host.h"
#include "platform/message_box.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    platform::installHostServices();
    platform::installGuiServices();
    platform::setApplicationTitle(u"CorvaneVPN");

    console::form_zuye& window = console::zuye();
    console::writeSnapshotsFromEnvironment(window);
    window.showMaximized();
    return app.exec();
}

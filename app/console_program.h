#pragma once
// What dravik and quellan share: they differ only in the account window's password mask.
//
// The console starts in its main window. The windows that no other window opens are
// reached by naming one as the startup window: --window form_login (the console behind
// its password), form_ssl_login, form_log or form_xunzi.

#include <QApplication>
#include <QString>
#include <cstdio>
#include <optional>

#include "config/form_zhanghao.h"
#include "console/form_log.h"
#include "console/form_login.h"
#include "console/form_ssl_login.h"
#include "console/form_zuye.h"
#include "lookup/form_xunzi.h"
#include "platform/gui/desktop_look.h"
#include "platform/gui/gui_services.h"
#include "platform/gui/small_window.h"
#include "platform/host.h"
#include "platform/message_box.h"

namespace app {

// The startup window named on the command line; nothing when the arguments are not
// understood. No argument is the console window.
inline std::optional<QString> startupWindow(const QStringList& args)
{
    if (args.size() == 1)
        return QStringLiteral("form_zuye");
    if (args.size() == 3 && args[1] == QLatin1String("--window"))
        return args[2];
    if (args.size() == 2 && args[1].startsWith(QLatin1String("--window=")))
        return args[1].mid(9);
    return std::nullopt;
}

inline int runConsoleProgram(int argc, char** argv, bool showPasswordOnFocus)
{
    QApplication app(argc, argv);
    platform::installHostServices();
    platform::installGuiServices();
    platform::setUpChineseDesktop();
    platform::setApplicationTitle(u"CorvaneVPN");
    config::setShowPasswordOnFocus(showPasswordOnFocus);

    const auto window = startupWindow(QCoreApplication::arguments());
    if (window == QLatin1String("form_zuye")) {
        console::zuye().showMaximized();
    } else if (window == QLatin1String("form_login")) {
        platform::showWindow<console::form_login>();
    } else if (window == QLatin1String("form_ssl_login")) {
        platform::showWindow<console::form_ssl_login>();
    } else if (window == QLatin1String("form_log")) {
        platform::showWindow<console::form_log>();
    } else if (window == QLatin1String("form_xunzi")) {
        platform::showWindow<lookup::form_xunzi>();
    } else {
        std::fprintf(stderr, "usage: %s [--window form_login|form_ssl_login|form_log|form_xunzi]\n",
                     QCoreApplication::applicationName().toLocal8Bit().constData());
        return 2;
    }
    return app.exec();
}

} // namespace app

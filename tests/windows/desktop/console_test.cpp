// The console window as the console programs run it, with the Windows services
// themselves (WMI, the code page, the files of the application folder), on Qt's Windows
// platform under Wine.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "console/form_zuye.h"
#include "console/form_zuye_controls.h"
#include "platform/gui/gui_services.h"
#include "platform/host.h"
#include "platform/paths.h"
#include "support/windows_programs.h"

using testsupport::row;

class ConsoleTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheLogOfItsFolder();
    void cleanupTestCase();

private:
    QTemporaryDir app_;
    testsupport::ServiceStandIn openvpn_;
};

void ConsoleTest::showsTheLogOfItsFolder()
{
    QVERIFY(QDir(app_.path()).mkpath(QStringLiteral("log")));
    QFile log(app_.filePath(QStringLiteral("log/config.log")));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("Wed Dec 09 08:09:11 2026 OpenVPN started\r\n"
              // 连接已建立 in code page 936
              "Wed Dec  9 08:09:12 2026 \xc1\xac\xbd\xd3\xd2\xd1\xbd\xa8\xc1\xa2\r\n");
    log.close();
    // The stand-in finds Qt's DLLs beside the test program.
    QVERIFY(openvpn_.start(app_.path(), [] {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + u';' +
                                               env.value(QStringLiteral("PATH")));
        return env;
    }()));

    platform::installHostServices();
    platform::installGuiServices();
    platform::setAppFolder(std::filesystem::path(app_.path().toStdWString()));
    console::form_zuye& w = console::zuye();
    w.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.StatusBar1->panelText(2), QStringLiteral("VPN服务：正在运行中..."));

    // The first tick, 5 s after the start.
    QTRY_COMPARE_WITH_TIMEOUT(row(*w.loggrid, 1), QStringLiteral("提示\t2026年12月09日\t 08:09:11\t OpenVPN started\t"),
                              20000);
    QCOMPARE(row(*w.loggrid, 0), QStringLiteral("类别\t日期\t时间\t日志内容\t"));
    QCOMPARE(row(*w.loggrid, 2), QStringLiteral("提示\t2026年12月09日\t 08:09:12\t 连接已建立\t"));
}

void ConsoleTest::cleanupTestCase()
{
    openvpn_.stop();
}

int main(int argc, char** argv)
{
    if (testsupport::idlesAsServiceStandIn(argc, argv))
        return 0;
    QApplication app(argc, argv);
    ConsoleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "console_test.moc"

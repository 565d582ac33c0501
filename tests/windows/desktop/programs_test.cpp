// The three Windows programs as processes under Wine, on a virtual display: the windows
// they show, how they end, and what the service program leaves in the service control
// manager's database (Wine's sc has no "query").
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

#include "support/windows_programs.h"

namespace {

const QString serviceKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\ip_update");

QString binFolder()
{
    return QCoreApplication::applicationDirPath();
}

// A program's own folder is its application folder: each test gives it a fresh one,
// with Qt's DLLs and plugins found through PATH and QT_PLUGIN_PATH.
class AppFolder {
public:
    // The program is copied in under its own name or the one given.
    explicit AppFolder(const QString& program, const QString& name = {})
    {
        QDir(dir_.path()).mkpath(QStringLiteral("log"));
        exe_ = dir_.filePath(name.isEmpty() ? program : name);
        QFile::copy(QDir(binFolder()).filePath(program), exe_);
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    const QString& exe() const { return exe_; }
    bool write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    QString read(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    void start(QProcess& p, const QStringList& args) const
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), QDir::toNativeSeparators(binFolder()) + u';' + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("QT_PLUGIN_PATH"), QDir::toNativeSeparators(binFolder()));
        p.setProcessEnvironment(env);
        p.start(exe_, args);
    }

private:
    QTemporaryDir dir_;
    QString exe_;
};

// The titles of the process's visible top-level windows, "(maximised)" added to those
// that are.
QStringList visibleWindows(const QProcess& p)
{
    return testsupport::visibleWindows(p.processId(), testsupport::Maximised::Marked);
}

// Waits until the process shows a window of that title (and state); false when it does
// not within the time or ends first.
bool waitForWindow(QProcess& p, const QString& window, int ms)
{
    QDeadlineTimer deadline(ms);
    QStringList shown;
    while (!deadline.hasExpired()) {
        shown = visibleWindows(p);
        if (shown.contains(window))
            return true;
        if (p.state() == QProcess::NotRunning || p.waitForFinished(50)) {
            qWarning("the program ended: %s", p.readAllStandardError().constData());
            return false;
        }
    }
    qWarning("not shown in time: %s; shown: %s", qUtf8Printable(window), qUtf8Printable(shown.join(u',')));
    return false;
}

const QString consoleWindow = QStringLiteral("CorvaneVPN控制台 (maximised)");

void finish(QProcess& p)
{
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(10000);
    }
}

// Runs a program to its end and hands back its exit code (-1 when it did not end).
int run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000)) {
        finish(p);
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class ProgramsTest : public QObject {
    Q_OBJECT

private slots:
    void consoleStartsMaximised();
    void secondConsoleEndsAtOnce();
    void serviceProgramInstallsAndRemovesTheService();
};

void ProgramsTest::consoleStartsMaximised()
{
    for (const QString& program : {QStringLiteral("dravik.exe"), QStringLiteral("quellan.exe")}) {
        AppFolder app(program);
        QProcess console;
        app.start(console, {});
        QVERIFY2(console.waitForStarted(10000), qUtf8Printable(program));
        QVERIFY2(waitForWindow(console, consoleWindow, 30000), qUtf8Printable(program));
        finish(console);
    }
}

void ProgramsTest::secondConsoleEndsAtOnce()
{
    AppFolder app(QStringLiteral("dravik.exe"));
    QProcess first, second;
    app.start(first, {});
    QVERIFY(waitForWindow(first, consoleWindow, 30000));

    app.start(second, {});
    QVERIFY(second.waitForStarted(10000));
    // It never shows a window on its way out.
    QDeadlineTimer deadline(15000);
    while (!second.waitForFinished(20) && !deadline.hasExpired())
        QVERIFY(visibleWindows(second).isEmpty());
    QCOMPARE(second.state(), QProcess::NotRunning);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    finish(first);
}

void ProgramsTest::serviceProgramInstallsAndRemovesTheService()
{
    // Left over from an interrupted run.
    run(QStringLiteral("sc.exe"), {QStringLiteral("delete"), QStringLiteral("ip_update")});
    QVERIFY(!QSettings(serviceKey, QSettings::NativeFormat).contains(QStringLiteral("DisplayName")));

    AppFolder app(QStringLiteral("mulu.exe"));
    QProcess mulu;
    app.start(mulu, {QStringLiteral("/i")});
    QVERIFY(mulu.waitForFinished(30000));
    QCOMPARE(mulu.exitCode(), 0);
    {
        QSettings service(serviceKey, QSettings::NativeFormat);
        QCOMPARE(service.value(QStringLiteral("DisplayName")).toString(), QStringLiteral("目录服务"));
        // SERVICE_AUTO_START; SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS
        QCOMPARE(service.value(QStringLiteral("Start")).toInt(), 2);
        QCOMPARE(service.value(QStringLiteral("Type")).toInt(), 0x110);
        const QString image = service.value(QStringLiteral("ImagePath")).toString();
        QVERIFY2(QFileInfo(QString(image).remove(u'"')) == QFileInfo(app.exe()), qUtf8Printable(image));
        QCOMPARE(service.value(QStringLiteral("Parameters/TimerInterval")).toString(), QStringLiteral("300"));
    }

    app.start(mulu, {QStringLiteral("/u")});
    QVERIFY(mulu.waitForFinished(30000));
    QCOMPARE(mulu.exitCode(), 0);
    QVERIFY(!QSettings(serviceKey, QSettings::NativeFormat).contains(QStringLiteral("DisplayName")));
}

QTEST_GUILESS_MAIN(ProgramsTest)

#include "programs_test.moc"

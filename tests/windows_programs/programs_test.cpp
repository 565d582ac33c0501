// The three Windows programs as processes under Wine, on a virtual display: what they
// show (the console's snapshot file), how they end, and what the service program leaves
// in the service control manager's database (Wine's sc has no "query").
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

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
    void start(QProcess& p, const QStringList& args, const QString& snapshot = {}) const
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), QDir::toNativeSeparators(binFolder()) + u';' + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("QT_PLUGIN_PATH"), QDir::toNativeSeparators(binFolder()));
        if (!snapshot.isEmpty())
            env.insert(QStringLiteral("CORVANE_CONSOLE_SNAPSHOT"), QDir::toNativeSeparators(path(snapshot)));
        p.setProcessEnvironment(env);
        p.start(exe_, args);
    }

private:
    QTemporaryDir dir_;
    QString exe_;
};

// The snapshot once it holds `text`; empty when it does not within the time or when the
// program ends first.
QString waitForSnapshot(QProcess& p, const AppFolder& app, const QString& snapshot, const QString& text, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        const QString s = app.read(snapshot);
        if (s.contains(text))
            return s;
        if (p.state() == QProcess::NotRunning || p.waitForFinished(50)) {
            qWarning("the program ended: %s", p.readAllStandardError().constData());
            return {};
        }
    }
    qWarning("not shown in time: %s; the snapshot holds: %s", qUtf8Printable(text), qUtf8Printable(app.read(snapshot)));
    return {};
}

void finish(QProcess& p)
{
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(10000);
    }
}

// Runs a program to its end and hands back its exit code (-1 when it did not end).
int run(const QString& program, const QStringList& args, QByteArray* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(30000)) {
        finish(p);
        return -1;
    }
    if (output != nullptr)
        *output = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class ProgramsTest : public QObject {
    Q_OBJECT

private slots:
    void consoleShowsTheLogOfItsFolder();
    void secondConsoleEndsAtOnce();
    void serviceProgramInstallsAndRemovesTheService();
};

void ProgramsTest::consoleShowsTheLogOfItsFolder()
{
    for (const QString& program : {QStringLiteral("dravik.exe"), QStringLiteral("quellan.exe")}) {
        AppFolder app(program);
        QVERIFY(app.write(QStringLiteral("log/config.log"),
                          "Wed Dec 09 08:09:11 2026 OpenVPN started\r\n"
                          // 连接已建立 in code page 936
                          "Wed Dec  9 08:09:12 2026 \xc1\xac\xbd\xd3\xd2\xd1\xbd\xa8\xc1\xa2\r\n"));
        // While a process of this name runs, the console sees the VPN service running
        // and its log timer ticks.
        AppFolder service(QStringLiteral("windows_programs_test.exe"), QStringLiteral("openvpnserv.exe"));
        QProcess openvpn, console;
        service.start(openvpn, {QStringLiteral("--idle")});
        QVERIFY(openvpn.waitForStarted(10000));

        app.start(console, {}, QStringLiteral("snapshot"));
        QVERIFY2(console.waitForStarted(10000), qUtf8Printable(program));
        const QString shown = waitForSnapshot(console, app, QStringLiteral("snapshot"), QStringLiteral("visible\t1"), 30000);
        QVERIFY2(!shown.isEmpty(), qUtf8Printable(program));
        QVERIFY2(shown.contains(QStringLiteral("panel2\tVPN服务：正在运行中...")), qUtf8Printable(shown));

        // The first tick, 5 s after the start.
        const QString ticked =
            waitForSnapshot(console, app, QStringLiteral("snapshot"), QStringLiteral("OpenVPN started"), 30000);
        QVERIFY2(ticked.contains(QStringLiteral("row\t1\t提示\t2026年12月09日\t 08:09:11\t OpenVPN started\t\n")),
                 qUtf8Printable(ticked));
        QVERIFY2(ticked.contains(QStringLiteral("row\t2\t提示\t2026年12月09日\t 08:09:12\t 连接已建立\t\n")),
                 qUtf8Printable(ticked));
        finish(console);
        finish(openvpn);
    }
}

void ProgramsTest::secondConsoleEndsAtOnce()
{
    AppFolder app(QStringLiteral("dravik.exe"));
    QProcess first, second;
    app.start(first, {}, QStringLiteral("first"));
    QVERIFY(!waitForSnapshot(first, app, QStringLiteral("first"), QStringLiteral("visible\t1"), 30000).isEmpty());

    app.start(second, {}, QStringLiteral("second"));
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    // It never showed its window.
    QVERIFY(!QFile::exists(app.path(QStringLiteral("second"))));
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

int main(int argc, char** argv)
{
    // Stands in for the OpenVPN service program, found by its name.
    if (argc == 2 && qstrcmp(argv[1], "--idle") == 0) {
        QThread::sleep(120);
        return 0;
    }
    QCoreApplication app(argc, argv);
    ProgramsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "programs_test.moc"

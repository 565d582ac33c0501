// mulu.exe as a Windows PC runs it (under Wine): deployed as a user deploys it, in a
// folder whose path holds a blank and Chinese characters, installed with /i, started by
// the service control manager with none of the test's variables, paused and continued,
// its watchdog starting bin\openvpnserv.exe of that folder two minutes in, stopped, and
// removed with /u. The service's event-log entries come to the file that the prefix's
// system environment names (CORVANE_EVENT_LOG_FILE), since Wine keeps no event log.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

#include "windows/registry.h"

namespace {

const wchar_t* const serviceKey = L"SYSTEM\\CurrentControlSet\\Services\\ip_update";
const wchar_t* const sourceKey = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ip_update";

QString binFolder()
{
    return QCoreApplication::applicationDirPath();
}

// What a user copies beside the programs (the tests' own DLLs and plugins left out).
const char* const deployed[] = {
    "mulu.exe",           "Qt6Core.dll",        "Qt6Gui.dll",          "Qt6Widgets.dll",
    "libstdc++-6.dll",    "libgcc_s_seh-1.dll", "libwinpthread-1.dll", "DiskID32.dll",
    "platforms/qwindows.dll", "styles/qwindowsvistastyle.dll", "translations/qtbase_zh_CN.qm",
};

bool copy(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).path());
    return QFile::copy(from, to);
}

std::wstring native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString registryText(const wchar_t* key, const wchar_t* value)
{
    return QString::fromStdWString(testsupport::registryText(key, value));
}

// The message of the program's message table for an entry of that ID and text.
QString message(const QString& program, DWORD id, const QString& text)
{
    HMODULE module = ::LoadLibraryExW(native(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return QStringLiteral("<no module>");
    const std::wstring insert = text.toStdWString();
    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(insert.c_str())};
    wchar_t buffer[512] = {};
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, id, 0, buffer, 512,
                               reinterpret_cast<va_list*>(args));
    ::FreeLibrary(module);
    return n == 0 ? QStringLiteral("<no message %1>").arg(::GetLastError()) : QString::fromWCharArray(buffer, int(n));
}

QString fileText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(10000);
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

class Service {
public:
    Service() : manager_(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {}
    ~Service()
    {
        close();
        if (manager_ != nullptr)
            ::CloseServiceHandle(manager_);
    }
    bool open()
    {
        close();
        service_ = ::OpenServiceW(manager_, L"ip_update", SERVICE_ALL_ACCESS);
        return service_ != nullptr;
    }
    void close()
    {
        if (service_ != nullptr)
            ::CloseServiceHandle(service_);
        service_ = nullptr;
    }
    bool start() { return ::StartServiceW(service_, 0, nullptr); }
    bool control(DWORD code)
    {
        SERVICE_STATUS status {};
        return ::ControlService(service_, code, &status);
    }
    SERVICE_STATUS_PROCESS status()
    {
        SERVICE_STATUS_PROCESS s {};
        DWORD size = 0;
        if (!::QueryServiceStatusEx(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&s), sizeof s, &size))
            s.dwCurrentState = 0;
        return s;
    }
    DWORD state() { return status().dwCurrentState; }
    void remove()
    {
        if (open()) {
            control(SERVICE_CONTROL_STOP);
            ::DeleteService(service_);
            close();
        }
    }

private:
    SC_HANDLE manager_;
    SC_HANDLE service_ = nullptr;
};

} // namespace

class ServiceProgramTest : public QObject {
    Q_OBJECT

private slots:
    void runsAsTheServiceFromADeployedFolder();
    // A failed run leaves no service behind.
    void cleanup() { Service().remove(); }
};

void ServiceProgramTest::runsAsTheServiceFromADeployedFolder()
{
    wchar_t events[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"CORVANE_EVENT_LOG_FILE", events, MAX_PATH) == 0)
        QFAIL("the prefix names no CORVANE_EVENT_LOG_FILE (tests/windows/service-prefix)");
    const QString eventsFile = QString::fromWCharArray(events);
    QFile::remove(eventsFile);

    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString app = base.filePath(QStringLiteral("Corvane VPN 测试"));
    for (const char* file : deployed)
        QVERIFY2(copy(QDir(binFolder()).filePath(QLatin1String(file)), app + u'/' + QLatin1String(file)), file);
    const QString recorder = QDir(binFolder()).filePath(QStringLiteral("corvane_recorder.exe"));
    const QString openvpnserv = app + QStringLiteral("/bin/openvpnserv.exe");
    QVERIFY(copy(recorder, openvpnserv));
    // Where the watchdog's command line would lead without its quotes.
    const QStringList decoys = {base.filePath(QStringLiteral("Corvane.exe")),
                                base.filePath(QStringLiteral("Corvane VPN.exe"))};
    for (const QString& decoy : decoys)
        QVERIFY(copy(recorder, decoy));
    const QString mulu = app + QStringLiteral("/mulu.exe");

    Service service;
    service.remove();
    QCOMPARE(run(mulu, {QStringLiteral("/i")}), 0);
    QVERIFY(service.open());
    QCOMPARE(registryText(serviceKey, L"ImagePath"), u'"' + QDir::toNativeSeparators(mulu) + u'"');
    // The event source, with the program's message table giving each entry its text.
    QCOMPARE(registryText(sourceKey, L"EventMessageFile"), QDir::toNativeSeparators(mulu));
    QCOMPARE(testsupport::registryNumber(sourceKey, L"TypesSupported"), DWORD(7));
    QCOMPARE(message(mulu, 109, QStringLiteral("服务中止运行")), QStringLiteral("服务中止运行"));
    QCOMPARE(message(mulu, 110, QStringLiteral("[5] 拒绝访问。")), QStringLiteral("[5] 拒绝访问。"));

    QElapsedTimer sinceStart;
    sinceStart.start();
    QVERIFY2(service.start(), qPrintable(QString::number(::GetLastError())));
    QTRY_COMPARE_WITH_TIMEOUT(service.state(), DWORD(SERVICE_RUNNING), 30000);
    QVERIFY(service.status().dwProcessId != 0);

    QVERIFY(service.control(SERVICE_CONTROL_PAUSE));
    QTRY_COMPARE_WITH_TIMEOUT(service.state(), DWORD(SERVICE_PAUSED), 10000);
    QVERIFY(service.control(SERVICE_CONTROL_CONTINUE));
    QTRY_COMPARE_WITH_TIMEOUT(service.state(), DWORD(SERVICE_RUNNING), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(fileText(eventsFile), QStringLiteral("1\t109\t服务中止运行\n4\t110\t服务继续运行\n"), 10000);

    // The watchdog's first check, at the second tick of a 60 s timer (which Qt may fire
    // up to 5 % early) after the window loaded.
    // (Polled here: QTRY would wait as long again to report a failure.)
    const auto started = [&] { return fileText(openvpnserv + QStringLiteral(".started")); };
    while (started().isEmpty() && sinceStart.elapsed() < 190000)
        QTest::qWait(500);
    QVERIFY2(!started().isEmpty(),
             qUtf8Printable(QStringLiteral("started instead: ") + fileText(decoys[0] + QStringLiteral(".started"))));
    QVERIFY2(sinceStart.elapsed() > 110000, qPrintable(QString::number(sinceStart.elapsed())));
    QCOMPARE(fileText(openvpnserv + QStringLiteral(".started")),
             u'"' + QDir::toNativeSeparators(openvpnserv) + QStringLiteral("\" -start\n"));
    for (const QString& decoy : decoys)
        QVERIFY2(!QFile::exists(decoy + QStringLiteral(".started")), qUtf8Printable(decoy));

    const DWORD pid = service.status().dwProcessId;
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    QVERIFY(service.control(SERVICE_CONTROL_STOP));
    QTRY_COMPARE_WITH_TIMEOUT(service.state(), DWORD(SERVICE_STOPPED), 10000);
    QCOMPARE(service.status().dwWin32ExitCode, DWORD(NO_ERROR));
    if (process != nullptr) {
        QCOMPARE(::WaitForSingleObject(process, 10000), DWORD(WAIT_OBJECT_0));
        ::CloseHandle(process);
    }
    // A stop writes no entry.
    QCOMPARE(fileText(eventsFile), QStringLiteral("1\t109\t服务中止运行\n4\t110\t服务继续运行\n"));
    service.close();

    QCOMPARE(run(mulu, {QStringLiteral("/u")}), 0);
    QVERIFY(!testsupport::registryKeyExists(sourceKey));
    // Wine drops the service's key once its last handle is closed.
    QTRY_VERIFY_WITH_TIMEOUT(!service.open(), 10000);
}

QTEST_GUILESS_MAIN(ServiceProgramTest)

#include "service_program_test.moc"

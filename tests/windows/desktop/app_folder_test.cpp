// The programs in an application folder whose path holds a blank and Chinese characters,
// deployed as on a PC (Qt's DLLs and plugins beside them, nothing found through PATH),
// and the manifest that each program carries.
//
// The test program copies itself into that folder and runs there a second time
// ("--in-folder FOLDER"), so that the folder it works in is the one Windows names as its
// own (GetModuleFileNameW), as for the programs themselves.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

#include "config/form_cansu.h"
#include "console/form_weihu.h"
#include "console/form_zuye.h"
#include "console/form_zuye_controls.h"
#include "console/password_file.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/gui_services.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/small_window.h"
#include "platform/host.h"
#include "platform/paths.h"
#include "support/windows_programs.h"

namespace {

using testsupport::row;
using testsupport::visibleWindows;

const QString folderName = QStringLiteral("Corvane VPN 测试");

QString binFolder()
{
    return QCoreApplication::applicationDirPath();
}

// What build-windows/bin holds for a PC, less the tests.
const char* const runtime[] = {
    "Qt6Core.dll",       "Qt6Gui.dll",         "Qt6Widgets.dll",       "Qt6Test.dll",
    "libstdc++-6.dll",   "libgcc_s_seh-1.dll", "libwinpthread-1.dll",  "DiskID32.dll",
    "platforms/qwindows.dll", "styles/qwindowsvistastyle.dll", "translations/qtbase_zh_CN.qm",
};

bool deploy(const QString& folder, const QStringList& programs)
{
    for (const char* file : runtime) {
        const QString to = QDir(folder).filePath(QString::fromLatin1(file));
        if (!QDir().mkpath(QFileInfo(to).path()) || !QFile::copy(QDir(binFolder()).filePath(QString::fromLatin1(file)), to))
            return false;
    }
    for (const QString& program : programs)
        if (!QFile::copy(QDir(binFolder()).filePath(program), QDir(folder).filePath(program)))
            return false;
    return QDir(folder).mkpath(QStringLiteral("log"));
}

// The environment of a program started from Explorer: nothing points at the build.
QProcessEnvironment plainEnvironment()
{
    auto env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"CORVANE_APP_DIR", "CORVANE_WINDOWS_DIR", "QT_PLUGIN_PATH"})
        env.remove(QString::fromLatin1(name));
    QStringList path = env.value(QStringLiteral("PATH")).split(u';');
    path.removeAll(QDir::toNativeSeparators(binFolder()));
    env.insert(QStringLiteral("PATH"), path.join(u';'));
    return env;
}

QByteArray read(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The program's manifest, as Windows reads it when it starts the program.
QString manifestOf(const QString& exe)
{
    HMODULE module = ::LoadLibraryExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(exe).utf16()), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return {};
    QString text;
    if (HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        const DWORD size = ::SizeofResource(module, found);
        if (HGLOBAL loaded = ::LoadResource(module, found))
            text = QString::fromUtf8(static_cast<const char*>(::LockResource(loaded)), static_cast<qsizetype>(size));
    }
    ::FreeLibrary(module);
    return text;
}

// The PE header's flag that marks a program Terminal-Server-aware.
bool terminalServerAware(const QString& exe)
{
    const QByteArray bytes = read(exe);
    if (bytes.size() < 0x40)
        return false;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.constData());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 ||
        bytes.size() < dos->e_lfanew + qsizetype(sizeof(IMAGE_NT_HEADERS64)))
        return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes.constData() + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE &&
           (nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE) != 0;
}

} // namespace

// ---- the outer run: the folder, the programs, their manifests -------------------------

class AppFolderTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void eachProgramCarriesItsManifest_data();
    void eachProgramCarriesItsManifest();
    void theConsoleStartsFromTheFolder();
    void theWindowsWorkInTheFolder();

private:
    QTemporaryDir root_;
    QString folder_;
};

void AppFolderTest::initTestCase()
{
    folder_ = QDir(root_.path()).filePath(folderName);
    QVERIFY(QDir().mkpath(folder_));
    QVERIFY(deploy(folder_, {QStringLiteral("dravik.exe"), QStringLiteral("app_folder_test.exe")}));
}

void AppFolderTest::eachProgramCarriesItsManifest_data()
{
    QTest::addColumn<QString>("program");
    for (const char* program : {"dravik.exe", "quellan.exe", "mulu.exe"})
        QTest::newRow(program) << QString::fromLatin1(program);
}

void AppFolderTest::eachProgramCarriesItsManifest()
{
    QFETCH(QString, program);
    const QString exe = QDir(binFolder()).filePath(program);
    const QString manifest = manifestOf(exe);
    QVERIFY2(!manifest.isEmpty(), qUtf8Printable(program));
    // Administrator rights: the programs start and configure services, end a SYSTEM
    // process and write in the Windows folder and the application folder.
    QVERIFY(manifest.contains(QStringLiteral("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>")));
    // Windows 10 and 11 (one id for both).
    QVERIFY(manifest.contains(QStringLiteral("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>")));
    // The awareness that Qt 6 sets itself, per monitor (v2).
    QVERIFY(manifest.contains(QStringLiteral(
        "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2</dpiAwareness>")));
    QVERIFY(manifest.contains(
        QStringLiteral("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>")));
    QVERIFY(terminalServerAware(exe));
}

void AppFolderTest::theConsoleStartsFromTheFolder()
{
    QProcess console;
    console.setProcessEnvironment(plainEnvironment());
    console.start(QDir(folder_).filePath(QStringLiteral("dravik.exe")), {});
    QVERIFY(console.waitForStarted(10000));
    QDeadlineTimer deadline(30000);
    while (!visibleWindows(console.processId()).contains(QStringLiteral("CorvaneVPN控制台")) && !deadline.hasExpired())
        QVERIFY2(!console.waitForFinished(50), console.readAllStandardError().constData());
    QVERIFY2(!deadline.hasExpired(), console.readAllStandardError().constData());
    console.kill();
    console.waitForFinished(10000);
}

void AppFolderTest::theWindowsWorkInTheFolder()
{
    QProcess inFolder;
    inFolder.setProcessEnvironment(plainEnvironment());
    inFolder.setProcessChannelMode(QProcess::MergedChannels);
    inFolder.start(QDir(folder_).filePath(QStringLiteral("app_folder_test.exe")),
                   {QStringLiteral("--in-folder"), QDir::toNativeSeparators(folder_)});
    QVERIFY(inFolder.waitForStarted(10000));
    const bool ended = inFolder.waitForFinished(120000);
    const QByteArray output = inFolder.readAll();
    if (!ended)
        inFolder.kill();
    // Its own report, with each of its cases.
    qInfo().noquote() << QString::fromLocal8Bit(output);
    QVERIFY2(ended, output.constData());
    QVERIFY2(inFolder.exitStatus() == QProcess::NormalExit && inFolder.exitCode() == 0, output.constData());
}

// ---- the run in the folder: the console's log, 参数设置, the maintenance window --------

class InFolderTest : public QObject {
    Q_OBJECT

public:
    explicit InFolderTest(QString folder) : folder_(std::move(folder)) {}

private slots:
    void initTestCase();
    void theFolderIsTheApplicationFolder();
    void theConsoleShowsTheLogOfTheFolder();
    void parametersAreSavedInTheFolder();
    void theMaintenanceWindowNamesTheFolder();
    void cleanupTestCase();

private:
    QString path(const QString& name) const { return QDir::toNativeSeparators(QDir(folder_).filePath(name)); }

    QString folder_; // native separators
    testsupport::ServiceStandIn openvpn_;
    platform::fakes::FakeMessageBoxes boxes_;
    std::optional<platform::ScopedService<platform::MessageBoxes>> boxesInstalled_;
};

void InFolderTest::initTestCase()
{
    QFile log(path(QStringLiteral("log/config.log")));
    QVERIFY(log.open(QIODevice::WriteOnly));
    // 连接已建立 in code page 936
    log.write("Wed Dec  9 08:09:12 2026 \xc1\xac\xbd\xd3\xd2\xd1\xbd\xa8\xc1\xa2\r\n");
    log.close();
    QVERIFY(openvpn_.start(folder_));

    platform::installHostServices();
    platform::installGuiServices();
    // The boxes are the only fake: the files, WMI and the launches are Windows' own.
    boxesInstalled_.emplace(boxes_);
    platform::setWindowsFolder(std::filesystem::path(path(QStringLiteral("windows 目录")).toStdWString()));
}

void InFolderTest::theFolderIsTheApplicationFolder()
{
    QCOMPARE(platform::qs(platform::appPath()), folder_);
    QCOMPARE(platform::qs(console::password_file::displayPath()), folder_ + QStringLiteral("\\windows 目录\\kongzitai.txt"));
}

void InFolderTest::theConsoleShowsTheLogOfTheFolder()
{
    console::form_zuye& w = console::zuye();
    w.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.StatusBar1->panelText(2), QStringLiteral("VPN服务：正在运行中..."));
    QTRY_COMPARE_WITH_TIMEOUT(row(*w.loggrid, 1), QStringLiteral("提示\t2026年12月09日\t 08:09:12\t 连接已建立\t"), 20000);
}

void InFolderTest::parametersAreSavedInTheFolder()
{
    console::zuye().cansuo->trigger();
    auto& w = platform::windowInstance<config::form_cansu>();
    QVERIFY(w);
    w->txt_server->setText(QStringLiteral("vpn.example.cn"));
    w->txt_port->setText(QStringLiteral("1194"));
    w->comb_proto->setEditText(QStringLiteral("UDP"));
    w->comb_cipher->setEditText(QStringLiteral("AES"));
    w->comb_auth->setEditText(QStringLiteral("SHA1"));
    w->txt_user->setText(QStringLiteral("张三"));
    w->txt_pwd->setText(QStringLiteral("secret"));
    w->hard_check->setChecked(false);
    w->otp_check->setChecked(false);
    boxes_.boxes.clear();
    QTest::mouseClick(w->cmd_ok, Qt::LeftButton);
    QCOMPARE(boxes_.boxes.size(), std::size_t(1));
    QCOMPARE(platform::qs(boxes_.boxes[0].text), QStringLiteral("保存成功！"));
    QVERIFY(read(path(QStringLiteral("config.ovpn"))).startsWith("port  1194\r\nproto udp\r\nremote vpn.example.cn\r\n"));
    QVERIFY(read(path(QStringLiteral("config.ovpn"))).endsWith("auth-user-pass pwd.txt\r\n"));
    // 张三 in code page 936
    QVERIFY(read(path(QStringLiteral("pwd.txt"))).startsWith("\xd5\xc5\xc8\xfd\r\nsecret\r\n0\r\n0\r\n"));
}

void InFolderTest::theMaintenanceWindowNamesTheFolder()
{
    console::zuye().gjwh->trigger();
    auto& w = platform::windowInstance<console::form_weihu>();
    QVERIFY(w);
    // No bin\openvpnserv.exe in the folder: the start fails, and the warning names it.
    boxes_.boxes.clear();
    QTest::mouseClick(w->cmd_setupvpn, Qt::LeftButton);
    QCOMPARE(boxes_.boxes.size(), std::size_t(1));
    QCOMPARE(platform::qs(boxes_.boxes[0].text),
             QStringLiteral("无法启动程序 ") + folder_ + QStringLiteral("\\bin\\openvpnserv.exe，请检查文件是否存在！"));
}

void InFolderTest::cleanupTestCase()
{
    openvpn_.stop();
}

int main(int argc, char** argv)
{
    if (testsupport::idlesAsServiceStandIn(argc, argv))
        return 0;
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--in-folder")) {
        InFolderTest test(args[2]);
        return QTest::qExec(&test, QStringList{args[0]});
    }
    AppFolderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_folder_test.moc"

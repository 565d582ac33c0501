// The Windows services of the platform layer against the system itself (under Wine in
// CI): WMI over COM, process start, the one-copy mutex, the disk-identity DLL, the
// event log, ODBC, the clock and the access lists of the files that hold a password.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <regex>
#include <thread>

#include "config/disk_identity.h"
#include "console/maintenance.h"
#include "console/password_file.h"
#include "platform/fakes/fakes.h"
#include "platform/codepage.h"
#include "platform/database.h"
#include "platform/host.h"
#include "platform/host_paths.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "platform/windows/event_log_windows.h"
#include "platform/windows/file_access_windows.h"
#include "platform/windows/instances_windows.h"
#include "platform/windows/launcher_windows.h"
#include "platform/windows/wmi_windows.h"
#include "support/temp_folder.h"
#include "support/wine.h"
// After windows.h, whose names for the wide entry points would rename these.
#undef GetPrivateProfileString
#undef WritePrivateProfileString
#include "platform/profile.h"

using platform::WindowsWmi;
using platform::text::toUtf8;
using testsupport::TempFolder;

namespace {

constexpr std::u16string_view serviceStateMoniker = u"winmgmts:{impersonationlevel=impersonate}!\\\\.\\root\\cimv2";
constexpr std::u16string_view hardwareMoniker = u"winmgmts:\\\\.\\root\\cimv2";
constexpr std::u16string_view adapterQuery =
    u"SELECT MACAddress FROM Win32_NetworkAdapter WHERE ((MACAddress Is Not NULL) AND (Manufacturer  <>  'Microsoft'))";

std::u16string text(const std::filesystem::path& p)
{
    return p.u16string();
}

// Polls a condition for up to ten seconds.
template <class F>
bool eventually(F condition)
{
    for (int i = 0; i < 200; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::size_t processCount(std::u16string_view name)
{
    WindowsWmi wmi;
    auto answer = wmi.execQuery(serviceStateMoniker, u"Select * from Win32_Process Where Name='" + std::u16string(name) + u"'");
    return answer ? answer->Count() : std::size_t(-1);
}

void terminate(std::u16string_view name)
{
    WindowsWmi wmi;
    auto answer = wmi.execQuery(u"winmgmts:", u"Select * from Win32_Process Where Name='" + std::u16string(name) + u"'");
    if (!answer)
        return;
    for (const auto& item : answer->items) {
        auto id = item.get(u"ProcessId");
        if (!id.hasValue())
            continue;
        HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, std::stoul(toUtf8(id.value)));
        if (h != nullptr) {
            ::TerminateProcess(h, 0);
            ::WaitForSingleObject(h, 5000);
            ::CloseHandle(h);
        }
    }
}

} // namespace

TEST(WindowsWmi, NamesTheNamespaceOfEachMoniker)
{
    struct Case {
        std::u16string_view moniker;
        std::optional<std::u16string> nameSpace;
    } cases[] = {
        {u"winmgmts:", u"root\\cimv2"},
        {u"winmgmts:\\\\.\\root\\cimv2", u"\\\\.\\root\\cimv2"},
        {u"WinMgmts:{impersonationlevel=impersonate}!\\\\.\\root\\cimv2", u"\\\\.\\root\\cimv2"},
        {u"winmgmts:{impersonationlevel=impersonate}", u"root\\cimv2"},
        {u"winmgmts:\\\\.\\root\\cimv2:Win32_Process", std::nullopt},
        {u"winmgmts:{impersonationlevel=impersonate", std::nullopt},
        {u"ldap:", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::wmiNamespaceOf(c.moniker), c.nameSpace) << toUtf8(c.moniker);
}

TEST(WindowsWmi, FindsAProcessStartedByTheTestByName)
{
    // A program of a name that nothing else bears, started hidden as the system starts
    // the VPN service program.
    TempFolder t;
    const std::u16string name = u"corvane-probe-" + t.path().filename().u16string().substr(13) + u".exe";
    std::filesystem::copy_file(platform::appFolder() / "corvane_test_service.exe", t / toUtf8(name));
    EXPECT_EQ(processCount(name), 0u);

    platform::WindowsLauncher launcher;
    ASSERT_TRUE(launcher.launch(u"\"" + text(t / toUtf8(name)) + u"\" /wait", platform::vbHide));
    EXPECT_TRUE(eventually([&] { return processCount(name) == 1; }));
    terminate(name);
    EXPECT_TRUE(eventually([&] { return processCount(name) == 0; }));
}

TEST(WindowsWmi, AnswersTheHardwareQueries)
{
    WindowsWmi wmi;
    auto processors = wmi.execQuery(hardwareMoniker, u"Select * from Win32_Processor", 48);
    ASSERT_TRUE(processors);
    ASSERT_GE(processors->Count(), 1u);
    for (const auto& cpu : processors->items) {
        auto id = cpu.get(u"ProcessorId");
        ASSERT_TRUE(id.hasValue());
        EXPECT_TRUE(std::regex_match(toUtf8(id.value), std::regex("[0-9A-F]{16}"))) << toUtf8(id.value);
    }

    auto boards = wmi.execQuery(hardwareMoniker, u"Select * from Win32_BaseBoard", 48);
    ASSERT_TRUE(boards);
    ASSERT_GE(boards->Count(), 1u);
    // A serial number is text or null; it is never missing from the object.
    EXPECT_NE(boards->items[0].get(u"SerialNumber").state, platform::WmiProperty::State::Unreadable);

    auto adapters = wmi.execQuery(u"winmgmts:", adapterQuery);
    ASSERT_TRUE(adapters);
    for (const auto& adapter : adapters->items) {
        auto mac = adapter.get(u"MACAddress");
        ASSERT_TRUE(mac.hasValue());
        // Windows writes upper case; Wine lower case.
        EXPECT_TRUE(std::regex_match(toUtf8(mac.value), std::regex("([0-9A-Fa-f]{2}:){5}[0-9A-Fa-f]{2}")))
            << toUtf8(mac.value);
    }
}

TEST(WindowsWmi, RefusalsAreFailuresNotEmptyAnswers)
{
    WindowsWmi wmi;
    EXPECT_FALSE(wmi.execQuery(u"winmgmts:\\\\.\\root\\nosuchnamespace", u"Select * from Win32_Process"));
    EXPECT_FALSE(wmi.execQuery(u"ldap:", u"Select * from Win32_Process"));
    EXPECT_FALSE(wmi.execQuery(hardwareMoniker, u"Select from where", 48));
    EXPECT_FALSE(wmi.execQuery(hardwareMoniker, u"Select from where"));
    // Windows refuses a class it does not know; Wine answers with no objects.
    auto unknown = wmi.execQuery(hardwareMoniker, u"Select * from Win32_NoSuchClass", 48);
    if (testsupport::underWine())
        EXPECT_TRUE(!unknown || unknown->Count() == 0);
    else
        EXPECT_FALSE(unknown);
}

TEST(WindowsLauncher, StartsHiddenAndNormalWithoutWaitingAndFailsOnAMissingProgram)
{
    TempFolder t;
    platform::WindowsLauncher launcher;
    for (int style : {platform::vbHide, platform::vbNormalFocus}) {
        auto mark = t / ("started-" + std::to_string(style) + ".txt");
        EXPECT_TRUE(launcher.launch(u"cmd /c echo started> \"" + text(mark) + u"\"", style)) << style;
        EXPECT_TRUE(eventually([&] { return std::filesystem::exists(mark); })) << style;
    }
    EXPECT_FALSE(launcher.launch(u"corvane-no-such-program.exe -start", platform::vbHide));
    EXPECT_FALSE(launcher.launch(u"\"" + text(t / "missing.exe") + u"\"", platform::vbHide));
}

TEST(MutexInstances, TheSecondCopySeesTheFirstUntilItEnds)
{
    const std::u16string name = u"Local\\corvane-test-" + platform::text::number(::GetCurrentProcessId());
    auto first = std::make_unique<platform::MutexInstances>(name);
    EXPECT_FALSE(first->prevInstance());
    EXPECT_FALSE(first->prevInstance()); // its own mutex is no other copy
    platform::MutexInstances second(name);
    EXPECT_TRUE(second.prevInstance());
    first.reset();
    platform::MutexInstances third(name);
    EXPECT_FALSE(third.prevInstance());
    // The program's own name: one per executable, never a path.
    EXPECT_EQ(platform::instanceMutexName(), u"Local\\corvane-platform_windows_test.exe");
}

TEST(DiskID32, LoadsFromTheApplicationFolderAndFillsTwoBuffers)
{
    auto entry = config::loadDiskID32(platform::appFolder() / platform::libraryFileName("DiskID32"));
    ASSERT_TRUE(entry.call) << toUtf8(entry.problem);
    char first[21], second[21];
    std::memset(first, 'x', sizeof first);
    std::memset(second, 'x', sizeof second);
    entry.call(first, second);
    // At most 20 bytes of text and a null, whatever the disk.
    EXPECT_NE(std::memchr(first, 0, sizeof first), nullptr);
    EXPECT_NE(std::memchr(second, 0, sizeof second), nullptr);
    std::printf("disk: [%s] [%s]\n", first, second);

    TempFolder t;
    auto missing = config::loadDiskID32(t / "DiskID32.dll");
    EXPECT_FALSE(missing.call);
    EXPECT_EQ(missing.problem, u"找不到文件 DiskID32.dll，无法读取硬件信息！");
}

TEST(WindowsEventLog, ReportsUnderItsSource)
{
    platform::WindowsEventLog log(u"corvane_test");
    EXPECT_TRUE(log.report(4, 110, u"服务继续运行"));
    EXPECT_TRUE(log.report(1, 109, u"服务中止运行"));
}

TEST(OdbcDatabase, AMissingDriverIsAFailureWithTheDriverManagersReason)
{
    auto connection = platform::odbcDatabase().connect(u"DRIVER={Corvane No Such Driver};SERVER=127.0.0.1,8999;DATABASE=vpnsno");
    ASSERT_FALSE(connection);
    // Windows' driver manager says IM002; Wine's odbc32 hands the call to the host's.
    EXPECT_NE(connection.error().find(u"Driver Manager"), std::u16string::npos) << toUtf8(connection.error());
}

TEST(LocalClock, GivesTheLocalTime)
{
    platform::installHostServices();
    SYSTEMTIME t {};
    ::GetLocalTime(&t);
    auto now = platform::now();
    EXPECT_EQ(now.year, t.wYear);
    EXPECT_EQ(now.month, t.wMonth);
}

namespace {

// The trustees of the allowed entries of an SDDL access list, "(A;;FA;;;SY)" giving "SY".
std::vector<std::u16string> allowedTrustees(std::u16string_view sddl)
{
    std::vector<std::u16string> out;
    for (std::size_t open = sddl.find(u'('); open != std::u16string_view::npos; open = sddl.find(u'(', open + 1)) {
        const std::size_t close = sddl.find(u')', open);
        const std::u16string_view ace = sddl.substr(open + 1, close - open - 1);
        if (ace.starts_with(u"A;"))
            out.emplace_back(ace.substr(ace.rfind(u';') + 1));
    }
    return out;
}

// The list a password file must have: its owner, SYSTEM (the OpenVPN service reads
// pwd.txt as LocalSystem) and the Administrators, full control each, nothing inherited.
std::u16string passwordFileAccess()
{
    return u"D:P(A;;FA;;;" + platform::win::currentUserText() + u")(A;;FA;;;SY)(A;;FA;;;BA)";
}

// Windows keeps the list as given. Wine keeps none: it reports one made from the Unix
// permissions, which a list given when the file is made decides, so there it shows only
// that nobody else (Everyone, Users) was let in.
void expectPasswordFileAccess(const std::filesystem::path& file)
{
    const std::u16string access = platform::win::fileAccessText(file);
    ASSERT_FALSE(access.empty()) << file.string();
    if (!testsupport::underWine()) {
        EXPECT_EQ(access, passwordFileAccess()) << file.string();
        EXPECT_TRUE(platform::isOwnerOnly(file)) << file.string();
        return;
    }
    const std::u16string user = platform::win::currentUserText();
    const auto trustees = allowedTrustees(access);
    EXPECT_NE(std::find(trustees.begin(), trustees.end(), user), trustees.end()) << toUtf8(access);
    for (const auto& trustee : trustees)
        EXPECT_TRUE(trustee == user || trustee == u"SY" || trustee == u"BA") << file.string() << ": " << toUtf8(access);
}

std::filesystem::path onlyTemporaryIn(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".tmp")
            found.push_back(entry.path());
    return found.size() == 1 ? found[0] : std::filesystem::path();
}

} // namespace

TEST(PasswordFiles, LetInTheirOwnerSystemAndTheAdministratorsAndNobodyElse)
{
    platform::win::PasswordFileSecurity security;
    ASSERT_TRUE(security.valid());
    EXPECT_EQ(platform::win::accessText(security.descriptor()), passwordFileAccess());

    TempFolder t;
    // An old pwd.txt that anybody may read, as an earlier version left it.
    t.write("pwd.txt", "old\r\n");
    auto writer = platform::TextWriter::create(text(t / "pwd.txt"), platform::FileAccess::OwnerOnly);
    ASSERT_TRUE(writer);
    // The file the password goes into has the list before its first byte.
    const auto temporary = onlyTemporaryIn(t.path());
    ASSERT_FALSE(temporary.empty());
    expectPasswordFileAccess(temporary);
    ASSERT_TRUE(writer->writeLine(u"secret"));
    ASSERT_TRUE(writer->close());
    expectPasswordFileAccess(t / "pwd.txt");
    EXPECT_EQ(t.read("pwd.txt"), "secret\r\n");

    // kongzitai.txt in the folder that stands for C:\windows.
    const auto windowsFolder = platform::windowsFolder();
    platform::setWindowsFolder(t / "windows");
    auto console = platform::TextWriter::create(u"C:\\windows\\kongzitai.txt", platform::FileAccess::OwnerOnly);
    ASSERT_TRUE(console);
    console->writeLine(u"pw");
    ASSERT_TRUE(console->close());
    expectPasswordFileAccess(t / "windows" / "kongzitai.txt");
    platform::setWindowsFolder(windowsFolder);

    // server.ini through the profile functions: made with the list, then written.
    ASSERT_TRUE(platform::WritePrivateProfileString(u"option", u"pwd", u"secret", text(t / "server.ini"),
                                                    platform::FileAccess::OwnerOnly));
    expectPasswordFileAccess(t / "server.ini");
    EXPECT_EQ(t.read("server.ini"), "[option]\r\npwd=secret\r\n");
}

TEST(SharedFiles, KeepTheListOfTheFileTheyReplaceOrTakeTheFolders)
{
    TempFolder t;
    const auto rewrite = [&](const char* name) {
        auto writer = platform::TextWriter::create(text(t / name));
        ASSERT_TRUE(writer);
        writer->writeLine(u"remote 1.2.3.4");
        ASSERT_TRUE(writer->close());
    };
    t.write("config.ovpn", "old\r\n");
    const std::u16string before = platform::win::fileAccessText(t / "config.ovpn");
    rewrite("config.ovpn");
    EXPECT_EQ(platform::win::fileAccessText(t / "config.ovpn"), before);

    // A new file gets what the folder passes down, not a password file's list.
    rewrite("new.ovpn");
    const std::u16string fresh = platform::win::fileAccessText(t / "new.ovpn");
    EXPECT_FALSE(fresh.starts_with(u"D:P")) << toUtf8(fresh);
    EXPECT_NE(fresh, passwordFileAccess());
    if (testsupport::underWine()) {
        // What Wine reports for any new file: Everyone may read it.
        EXPECT_NE(fresh.find(u";;;WD)"), std::u16string::npos) << toUtf8(fresh);
    }
}

// A path is shown as it is, whatever its characters: never through path::string(), whose
// narrow text is the library's choice (UTF-8 in MinGW's, the ANSI code page elsewhere)
// and which throws on a name that UTF-16 allows and no narrow encoding holds.
TEST(PathTexts, NameTheFolderAsItIs)
{
    const std::u16string names[] = {
        u"Corvane VPN 测试",
        u"ไทย \u00C0",
        u"x" + std::u16string(1, char16_t(0xD800)) + u"y", // a lone surrogate, which NTFS allows
    };
    const auto windowsFolder = platform::windowsFolder();
    for (const auto& name : names) {
        const std::u16string folder = u"C:\\users\\" + name;
        platform::fakes::FakeMessageBoxes boxes;
        platform::ScopedService<platform::MessageBoxes> installed(boxes);
        console::warnCannotStart(folder + u"\\bin\\openvpnserv.exe");
        ASSERT_EQ(boxes.boxes.size(), 1u) << toUtf8(name);
        EXPECT_EQ(boxes.boxes[0].text, u"无法启动程序 " + folder + u"\\bin\\openvpnserv.exe，请检查文件是否存在！")
            << toUtf8(name);

        platform::setWindowsFolder(platform::pathFromText(folder));
        EXPECT_EQ(console::password_file::displayPath(), folder + u"\\kongzitai.txt") << toUtf8(name);
    }
    platform::setWindowsFolder(windowsFolder);
}

// The Windows services of the platform layer against the system itself (under Wine in
// CI): WMI over COM, process start, the one-copy mutex, the disk-identity DLL, the
// event log, ODBC and the clock.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <regex>
#include <thread>

#include "config/disk_identity.h"
#include "platform/codepage.h"
#include "platform/database.h"
#include "platform/host.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/windows/event_log_windows.h"
#include "platform/windows/instances_windows.h"
#include "platform/windows/launcher_windows.h"
#include "platform/windows/wmi_windows.h"
#include "support/temp_folder.h"
#include "support/wine.h"

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

TEST(AnsiCodePage, IsCodePage936WithoutBestFit)
{
    ASSERT_EQ(::GetACP(), 936u) << "the test run sets a zh_CN locale";
    struct Case {
        std::u16string text;
        std::optional<std::string> bytes;
    } cases[] = {
        {u"中文 CPU", std::string("\xD6\xD0\xCE\xC4 CPU")},
        {u"€", std::string("\x80")},
        {u"", std::string()},
        // Characters the code page lacks fail instead of becoming "?" or a look-alike.
        {u"\U0001F600", std::nullopt},
        {u"\u0E01", std::nullopt},
        {u"a\u00C0", std::nullopt},
        {std::u16string(1, char16_t(0xD800)), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::toAnsi(c.text), c.bytes) << toUtf8(c.text);
        if (c.bytes) {
            EXPECT_EQ(platform::fromAnsi(*c.bytes), c.text) << toUtf8(c.text);
        }
    }
}

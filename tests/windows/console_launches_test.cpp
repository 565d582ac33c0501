// What the system starts on Windows (under Wine in CI), with programs planted where a
// careless command line would lead: the programs of an application folder with a blank
// in its path, and Windows' own tools behind the console's start and stop of the VPN
// service, against a stand-in service installed as openvpnservice.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "console/maintenance.h"
#include "console/service_control.h"
#include "lookup/watchdog.h"
#include "platform/fakes/fakes.h"
#include "platform/host.h"
#include "platform/host_paths.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/windows/launcher_windows.h"
#include "support/no_console_view.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using platform::text::toUtf8;

namespace {

const fs::path bin = platform::appFolder();

// A copy of the recorder: it notes each start in "<file>.started".
void plant(const fs::path& file)
{
    fs::create_directories(file.parent_path());
    fs::copy_file(bin / "corvane_recorder.exe", file, fs::copy_options::overwrite_existing);
}

std::string starts(const fs::path& file)
{
    std::ifstream in(fs::path(file.native() + L".started"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class Condition>
bool eventually(Condition done, int ms = 15000)
{
    for (int i = 0; i < ms / 50; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

std::wstring systemFolder()
{
    wchar_t folder[MAX_PATH];
    UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, n);
}

class NoServiceConsole final : public console::ServiceConsole {
public:
    void resetLogGrid() override {}
    void relayout() override {}
    void setLogInterval(int) override {}
    void setServiceText(std::u16string_view) override {}
};

// The Windows services themselves, but message boxes that only record.
class WindowsHost : public ::testing::Test {
protected:
    WindowsHost() { platform::installHostServices(); }
    ~WindowsHost() override { platform::setAppFolder(fs::path()); }

    platform::fakes::FakeMessageBoxes boxes;
    platform::ScopedService<platform::MessageBoxes> boxesSlot{boxes};
    testsupport::TempFolder tmp;
};

} // namespace

TEST_F(WindowsHost, ProgramsOfAFolderWithABlankAreStartedThemselves)
{
    // Unquoted, "<tmp>\Corvane VPN 测试\bin\openvpnserv.exe -start" runs <tmp>\Corvane.exe.
    const fs::path app = tmp.path() / u"Corvane VPN 测试";
    plant(app / "bin" / "openvpnserv.exe");
    plant(app / "mulu.exe");
    for (const char16_t* decoy : {u"Corvane.exe", u"Corvane VPN.exe"})
        plant(tmp.path() / decoy);
    platform::setAppFolder(app);

    testsupport::NoConsoleView view;
    lookup::watchdogCheck(0, view);
    EXPECT_TRUE(console::maintenance::run(console::maintenance::installVpnService(platform::appPath())));
    EXPECT_TRUE(console::maintenance::run(console::maintenance::installLookupService(platform::appPath())));

    const std::u16string path = platform::pathText(app);
    EXPECT_TRUE(eventually([&] {
        std::string s = starts(app / "bin" / "openvpnserv.exe");
        return s.find("-start") != std::string::npos && s.find("-install") != std::string::npos;
    })) << starts(app / "bin" / "openvpnserv.exe");
    EXPECT_TRUE(eventually([&] { return !starts(app / "mulu.exe").empty(); }));
    EXPECT_EQ(starts(app / "mulu.exe"), "\"" + toUtf8(path) + "\\mulu.exe\" /i\n");
    for (const char16_t* decoy : {u"Corvane.exe", u"Corvane VPN.exe"})
        EXPECT_EQ(starts(tmp.path() / decoy), "") << toUtf8(decoy);
}

TEST(WindowsLaunch, WindowsToolsComeFromTheSystemFolder)
{
    const std::wstring system = systemFolder();
    struct Case {
        std::u16string line;
        std::wstring application; // empty: as the command line names it
    } cases[] = {
        {u"cmd /c NET START openvpnservice", system + L"\\cmd.exe"},
        {u"CMD.EXE /c start javaw -cp x.jar Login", system + L"\\cmd.exe"},
        {u"taskkill /f /im openvpn.exe", system + L"\\taskkill.exe"},
        {u"sc config OpenVPNService start= auto", system + L"\\sc.exe"},
        {u"  Net stop openvpnservice", system + L"\\net.exe"},
        {u"\"C:\\Corvane VPN\\cmd.exe\" /c x", L""},
        {u"C:\\tools\\cmd.exe /c x", L""},
        {u"cmdx /c x", L""},
        {u"java -version", L""},
        {u"", L""},
    };
    for (const auto& c : cases) {
        const platform::WindowsLaunch plan = platform::planWindowsLaunch(c.line);
        EXPECT_EQ(plan.application, c.application) << toUtf8(c.line);
        // What cmd itself starts is found in the system folder too.
        EXPECT_EQ(plan.directory, c.application.empty() ? L"" : system) << toUtf8(c.line);
        // The command line itself is the system's own.
        EXPECT_EQ(plan.commandLine, std::wstring(c.line.begin(), c.line.end())) << toUtf8(c.line);
    }
}

TEST_F(WindowsHost, ConsoleStartsAndStopsTheVpnServiceWithTheSystemsTools)
{
    // The stand-in service runs as openvpnserv.exe, as the OpenVPN service does, so that
    // the service state test sees it.
    const fs::path service = tmp.path() / "OpenVPN" / "bin" / "openvpnserv.exe";
    fs::create_directories(service.parent_path());
    fs::copy_file(bin / "corvane_test_service.exe", service);
    SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    const std::wstring image = L"\"" + service.wstring() + L"\"";
    SC_HANDLE entry = ::CreateServiceW(manager, L"openvpnservice", L"OpenVPNService", SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(entry, nullptr) << ::GetLastError();
    auto state = [&] {
        SERVICE_STATUS status {};
        return ::QueryServiceStatus(entry, &status) ? status.dwCurrentState : 0;
    };

    // A stray OpenVPN process for taskkill.
    const fs::path stray = tmp.path() / "openvpn.exe";
    fs::copy_file(bin / "corvane_test_service.exe", stray);
    std::wstring line = L"\"" + stray.wstring() + L"\" /wait";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION openvpn {};
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &openvpn));

    // Tools planted in the current folder, which Windows searches before the system's.
    const fs::path planted = tmp.path() / "planted";
    for (const char* tool : {"cmd.exe", "net.exe", "taskkill.exe", "sc.exe"})
        plant(planted / tool);
    wchar_t before[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(::SetCurrentDirectoryW(planted.c_str()));

    using Box = platform::fakes::FakeMessageBoxes::Box;
    NoServiceConsole console;
    EXPECT_EQ(console::ServiceStateQuery(), std::optional<std::size_t>(0));
    console::startAction(console, console::EntryPoint::Menu);
    EXPECT_EQ(boxes.boxes, (std::vector<Box>{{u"VPN服务启动成功！", 64, u"提示"}}));
    EXPECT_EQ(::WaitForSingleObject(openvpn.hProcess, 15000), WAIT_OBJECT_0) << "taskkill /f /im openvpn.exe";
    EXPECT_TRUE(eventually([&] { return state() == SERVICE_RUNNING; })) << "NET START openvpnservice";
    EXPECT_TRUE(eventually([] { return console::ServiceStateQuery() == std::optional<std::size_t>(1); }));

    console::stopAction(console, console::EntryPoint::Menu);
    EXPECT_EQ(boxes.boxes.back(), (Box{u"VPN服务停止成功！！！", 64, u"提示"}));
    EXPECT_TRUE(eventually([&] { return state() == SERVICE_STOPPED; })) << "NET STOP openvpnservice";

    ::SetCurrentDirectoryW(before);
    for (const char* tool : {"cmd.exe", "net.exe", "taskkill.exe", "sc.exe"})
        EXPECT_EQ(starts(planted / tool), "") << tool;

    ::TerminateProcess(openvpn.hProcess, 9);
    ::CloseHandle(openvpn.hThread);
    ::CloseHandle(openvpn.hProcess);
    ::DeleteService(entry);
    ::CloseServiceHandle(entry);
    ::CloseServiceHandle(manager);
}

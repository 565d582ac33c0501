// The service control on the service control manager (under Wine in CI): a small service
// program is installed, started, paused, continued, stopped and removed, and writes the
// event entries of the service events; and it meets a refused start, a refused handler
// and a slow start-up as a service must.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/paths.h"
#include "platform/text.h"
#include "windows/registry.h"

using testsupport::registryKeyExists;
using testsupport::registryNumber;
using testsupport::registryText;

namespace {

const std::filesystem::path program = platform::appFolder() / "corvane_test_service.exe";
const std::filesystem::path eventsFile = platform::appFolder() / "corvane_test_service.events";

// Runs the service program with an argument and waits for its exit code.
DWORD runProgram(const std::wstring& argument)
{
    std::wstring line = L"\"" + program.wstring() + L"\" " + argument;
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return DWORD(-1);
    ::WaitForSingleObject(process.hProcess, 30000);
    DWORD code = DWORD(-1);
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

class Scm {
public:
    explicit Scm(std::wstring name = L"corvane_test")
        : name_(std::move(name)), manager_(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS))
    {
    }
    ~Scm()
    {
        if (service_ != nullptr)
            ::CloseServiceHandle(service_);
        if (manager_ != nullptr)
            ::CloseServiceHandle(manager_);
    }
    bool open()
    {
        if (service_ != nullptr)
            ::CloseServiceHandle(service_);
        service_ = ::OpenServiceW(manager_, name_.c_str(), SERVICE_ALL_ACCESS);
        return service_ != nullptr;
    }
    // A service entry of the test's own that starts the program with the arguments.
    bool create(const std::wstring& arguments)
    {
        std::wstring binary = L"\"" + program.wstring() + L"\" " + arguments;
        service_ = ::CreateServiceW(manager_, name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                    SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr,
                                    nullptr, nullptr, nullptr);
        return service_ != nullptr;
    }
    void remove()
    {
        if (service_ != nullptr)
            ::DeleteService(service_);
    }
    SC_HANDLE service() const { return service_; }
    SERVICE_STATUS_PROCESS status()
    {
        SERVICE_STATUS_PROCESS status {};
        DWORD size = 0;
        if (!::QueryServiceStatusEx(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                    &size))
            status.dwCurrentState = 0;
        return status;
    }
    DWORD state() { return status().dwCurrentState; }
    bool reaches(DWORD wanted, int ms = 10000)
    {
        for (int i = 0; i < ms / 50; ++i) {
            if (state() == wanted)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    bool control(DWORD code)
    {
        SERVICE_STATUS status {};
        return ::ControlService(service_, code, &status);
    }

private:
    std::wstring name_;
    SC_HANDLE manager_;
    SC_HANDLE service_ = nullptr;
};

std::string events()
{
    std::ifstream in(eventsFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Waits until the events file holds something.
std::string firstEvents(int ms)
{
    for (int i = 0; i < ms / 50; ++i) {
        if (std::string e = events(); !e.empty())
            return e;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

const wchar_t* const eventSource = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\corvane_test";

} // namespace

TEST(WindowsService, InstallsRunsPausesContinuesStopsAndRemoves)
{
    std::filesystem::remove(eventsFile);
    ASSERT_EQ(runProgram(L"/i"), 0u);
    Scm scm;
    ASSERT_TRUE(scm.open());

    // What the service control manager keeps.
    DWORD size = 0;
    ::QueryServiceConfigW(scm.service(), nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    ASSERT_TRUE(::QueryServiceConfigW(scm.service(), config, size, &size));
    EXPECT_EQ(std::wstring(config->lpDisplayName), L"目录服务");
    EXPECT_EQ(config->dwStartType, DWORD(SERVICE_AUTO_START));
    EXPECT_EQ(config->dwServiceType, DWORD(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
    EXPECT_EQ(std::wstring(config->lpBinaryPathName), L"\"" + program.wstring() + L"\"");
    EXPECT_EQ(registryText(L"SYSTEM\\CurrentControlSet\\Services\\corvane_test\\Parameters", L"TimerInterval"), L"300");
    // Its name is an event source whose messages are the program's.
    EXPECT_EQ(registryText(eventSource, L"EventMessageFile"), program.wstring());
    EXPECT_EQ(registryNumber(eventSource, L"TypesSupported"), DWORD(7));

    ASSERT_TRUE(::StartServiceW(scm.service(), 0, nullptr));
    ASSERT_TRUE(scm.reaches(SERVICE_RUNNING));
    // A shutdown of the system reaches the service as a stop.
    EXPECT_EQ(scm.status().dwControlsAccepted,
              DWORD(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN));
    ASSERT_TRUE(scm.control(SERVICE_CONTROL_PAUSE));
    EXPECT_TRUE(scm.reaches(SERVICE_PAUSED));
    ASSERT_TRUE(scm.control(SERVICE_CONTROL_CONTINUE));
    EXPECT_TRUE(scm.reaches(SERVICE_RUNNING));
    ASSERT_TRUE(scm.control(SERVICE_CONTROL_STOP));
    EXPECT_TRUE(scm.reaches(SERVICE_STOPPED));
    EXPECT_EQ(scm.status().dwWin32ExitCode, DWORD(NO_ERROR));

    // Wine accepts the entries without keeping a log that could be read back; the
    // service's own record shows what it reported and that ReportEventW took it. The
    // box after the continue became an entry: it did not hold the service.
    EXPECT_EQ(events(), "1\t109\t服务中止运行\treported\n"
                        "4\t110\t服务继续运行\treported\n"
                        "4\t110\t没有桌面的提示\treported\n");

    // Wine removes a service only once every handle to it is closed, and meanwhile
    // answers a second install or removal as if it were gone: neither is tested here.
    EXPECT_EQ(runProgram(L"/u"), 0u);
    EXPECT_FALSE(registryKeyExists(eventSource));
}

TEST(WindowsService, RunningOutsideTheServiceManagerIsAnErrorEntry)
{
    std::filesystem::remove(eventsFile);
    EXPECT_EQ(runProgram(L""), 2u);
    std::string logged = events();
    EXPECT_EQ(logged.rfind("1\t109\t[1063] ", 0), 0u) << logged;
}

TEST(WindowsService, AFailedStartStopsTheServiceWithAnExitCode)
{
    Scm scm(L"corvane_refuse_start");
    ASSERT_TRUE(scm.create(L"/refuse-start"));
    ::StartServiceW(scm.service(), 0, nullptr);
    EXPECT_TRUE(scm.reaches(SERVICE_STOPPED));
    const SERVICE_STATUS_PROCESS status = scm.status();
    EXPECT_EQ(status.dwWin32ExitCode, DWORD(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(status.dwServiceSpecificExitCode, 1u);
    scm.remove();
}

TEST(WindowsService, ARefusedControlHandlerEndsTheStartWithAnErrorEntry)
{
    std::filesystem::remove(eventsFile);
    Scm scm(L"corvane_refuse_handler");
    ASSERT_TRUE(scm.create(L"/refuse-handler"));
    ::StartServiceW(scm.service(), 0, nullptr);
    // Well before Wine would give up on the start and end the process itself.
    std::string logged = firstEvents(5000);
    EXPECT_EQ(logged.rfind("1\t109\t[1060] ", 0), 0u) << logged;
    EXPECT_TRUE(scm.reaches(SERVICE_STOPPED));
    scm.remove();
}

TEST(WindowsService, ASlowStartUpStaysConnected)
{
    Scm scm(L"corvane_slow_start");
    ASSERT_TRUE(scm.create(L"/slow-start"));
    ASSERT_TRUE(::StartServiceW(scm.service(), 0, nullptr)) << ::GetLastError();
    EXPECT_EQ(scm.state(), DWORD(SERVICE_START_PENDING));
    // 12 s to start: Wine ends a service that has not connected within 10 s.
    EXPECT_TRUE(scm.reaches(SERVICE_RUNNING, 30000));
    ASSERT_TRUE(scm.control(SERVICE_CONTROL_STOP));
    EXPECT_TRUE(scm.reaches(SERVICE_STOPPED));
    scm.remove();
}

TEST(WindowsService, TheSwitchIsTheCommandLineAfterTheProgramComparedWhole)
{
    // The command line as Windows hands it over: a trailing blank or another case is
    // another switch, and nothing is installed.
    for (const wchar_t* argument : {L"/I", L"/i ", L"\"/i\"", L"/i /u"})
        EXPECT_EQ(runProgram(argument), 3u) << std::filesystem::path(argument).string();
    EXPECT_FALSE(Scm().open());
}

TEST(MutexInstances, ASecondCopyOfTheProgramEndsWhileTheFirstRuns)
{
    const wchar_t* mutexName = L"Local\\corvane-corvane_test_service.exe";
    auto exists = [&] {
        HANDLE h = ::OpenMutexW(SYNCHRONIZE, FALSE, mutexName);
        if (h != nullptr)
            ::CloseHandle(h);
        return h != nullptr;
    };
    ASSERT_FALSE(exists());
    std::wstring line = L"\"" + program.wstring() + L"\" /instance";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION first {};
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &first));
    bool held = false;
    for (int i = 0; i < 200 && !held; ++i) {
        held = exists();
        if (!held)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(held);
    EXPECT_EQ(runProgram(L"/instance"), 4u);
    // The system drops the mutex with the process, however it ends.
    ::TerminateProcess(first.hProcess, 9);
    ::WaitForSingleObject(first.hProcess, 10000);
    ::CloseHandle(first.hThread);
    ::CloseHandle(first.hProcess);
    EXPECT_FALSE(exists());
}

// The service control on the service control manager (under Wine in CI): a small service
// program is installed, started, paused, continued, stopped and removed, and writes the
// event entries of the service events.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/paths.h"
#include "platform/text.h"

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
    Scm() : manager_(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {}
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
        service_ = ::OpenServiceW(manager_, L"corvane_test", SERVICE_ALL_ACCESS);
        return service_ != nullptr;
    }
    SC_HANDLE service() const { return service_; }
    DWORD state()
    {
        SERVICE_STATUS status {};
        return ::QueryServiceStatus(service_, &status) ? status.dwCurrentState : 0;
    }
    bool reaches(DWORD wanted)
    {
        for (int i = 0; i < 200; ++i) {
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
    SC_HANDLE manager_;
    SC_HANDLE service_ = nullptr;
};

std::string events()
{
    std::ifstream in(eventsFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring registryText(const wchar_t* key, const wchar_t* value)
{
    wchar_t data[256] = {};
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return L"<none>";
    return data;
}

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

    ASSERT_TRUE(::StartServiceW(scm.service(), 0, nullptr));
    ASSERT_TRUE(scm.reaches(SERVICE_RUNNING));
    ASSERT_TRUE(scm.control(SERVICE_CONTROL_PAUSE));
    EXPECT_TRUE(scm.reaches(SERVICE_PAUSED));
    ASSERT_TRUE(scm.control(SERVICE_CONTROL_CONTINUE));
    EXPECT_TRUE(scm.reaches(SERVICE_RUNNING));
    ASSERT_TRUE(scm.control(SERVICE_CONTROL_STOP));
    EXPECT_TRUE(scm.reaches(SERVICE_STOPPED));

    // Wine accepts the entries without keeping a log that could be read back; the
    // service's own record shows what it reported and that ReportEventW took it.
    EXPECT_EQ(events(), "1\t109\t服务中止运行\treported\n"
                        "4\t110\t服务继续运行\treported\n");

    // Wine removes a service only once every handle to it is closed, and meanwhile
    // answers a second install or removal as if it were gone: neither is tested here.
    EXPECT_EQ(runProgram(L"/u"), 0u);
}

TEST(WindowsService, RunningOutsideTheServiceManagerIsAnErrorEntry)
{
    std::filesystem::remove(eventsFile);
    EXPECT_EQ(runProgram(L""), 2u);
    std::string logged = events();
    EXPECT_EQ(logged.rfind("1\t109\t[1063] ", 0), 0u) << logged;
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

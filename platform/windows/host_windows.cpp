#include "platform/host.h"

#include <windows.h>

#include <cstdio>

#include "platform/host_install.h"
#include "platform/system.h"
#include "platform/windows/instances_windows.h"
#include "platform/windows/launcher_windows.h"
#include "platform/windows/wmi_windows.h"

namespace platform {

namespace {

class KernelSleeper final : public Sleeper {
public:
    void sleep(int milliseconds) override { ::Sleep(milliseconds < 0 ? 0 : static_cast<DWORD>(milliseconds)); }
};

class LocalClock final : public Clock {
public:
    LocalTime now() override
    {
        SYSTEMTIME t {};
        ::GetLocalTime(&t);
        return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    }
};

class ProcessEnd final : public Program {
public:
    void end(int exitCode) override
    {
        std::fflush(nullptr);
        ::ExitProcess(static_cast<UINT>(exitCode));
    }
};

} // namespace

// A Windows service has a window station of its own: Qt's own platform works there.
void preferOffscreenWithoutDisplay() {}

void installHostServices()
{
    installServicesOf<KernelSleeper, LocalClock, ProcessEnd, WindowsWmi, WindowsLauncher, MutexInstances>();
}

} // namespace platform

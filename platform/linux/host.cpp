#include "platform/host.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "platform/host_install.h"
#include "platform/linux/instances_linux.h"
#include "platform/linux/launcher_linux.h"
#include "platform/linux/wmi_linux.h"
#include "platform/system.h"

namespace platform {

namespace {

class ThreadSleeper final : public Sleeper {
public:
    void sleep(int milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
};

class SystemClock final : public Clock {
public:
    LocalTime now() override
    {
        std::time_t t = std::time(nullptr);
        std::tm tm {};
        ::localtime_r(&t, &tm);
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }
};

class ProcessEnd final : public Program {
public:
    void end(int exitCode) override
    {
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
};

} // namespace

void preferOffscreenWithoutDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* v = std::getenv(name); v != nullptr && *v != '\0')
            return;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void installHostServices()
{
    installServicesOf<ThreadSleeper, SystemClock, ProcessEnd, LinuxWmi, LinuxLauncher, FlockInstances>();
}

} // namespace platform

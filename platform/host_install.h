#pragma once
// What installHostServices installs, the same on every host: one of each service below
// the forms, of the classes the host names (platform/linux/host.cpp,
// platform/windows/host_windows.cpp), and the database through ODBC. Each lives as long
// as the program.

#include "platform/database.h"
#include "platform/launcher.h"
#include "platform/service.h"
#include "platform/system.h"
#include "platform/wmi.h"

namespace platform {

template <class HostSleeper, class HostClock, class HostProgram, class HostWmi, class HostLauncher,
          class HostInstances>
void installServicesOf()
{
    static HostSleeper sleeper;
    installService<Sleeper>(sleeper);
    static HostClock clock;
    installService<Clock>(clock);
    static HostProgram program;
    installService<Program>(program);
    static HostWmi wmi;
    installService<Wmi>(wmi);
    static HostLauncher launcher;
    installService<Launcher>(launcher);
    static HostInstances instances;
    installService<Instances>(instances);
    installService<Database>(odbcDatabase());
}

} // namespace platform

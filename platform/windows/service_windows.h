#pragma once
// The service control on the Windows service control manager.

#include <memory>

#include "platform/nt_service.h"

namespace platform {

// Install: CreateServiceW for the running program (own process, interactive when asked,
// the start mode as given). Uninstall: DeleteService. A setting: a value under the
// service's registry key, HKLM\SYSTEM\CurrentControlSet\Services\<service>\<section>.
// Running: StartServiceCtrlDispatcherW on a thread of its own; stop, and pause and
// continue when accepted, reach the events on the user-interface thread, and the
// service's status follows each event's Success.
std::unique_ptr<ServiceManager> makeWindowsServiceManager(UiThread& ui);

} // namespace platform

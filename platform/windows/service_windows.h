#pragma once
// The service control on the Windows service control manager.

#include <windows.h>

#include <memory>

#include "platform/nt_service.h"

namespace platform {

// Install: CreateServiceW for the running program (own process, interactive when asked,
// the start mode as given), and the service's name as an event source of the
// Application log whose messages come from the program's message table. Uninstall:
// DeleteService and the event source. A setting: a value under the service's registry
// key, HKLM\SYSTEM\CurrentControlSet\Services\<service>\<section>. Running: the
// dispatcher (StartServiceCtrlDispatcherW on a thread of its own, started by
// connectServiceManager or else by run()) reports the start pending until run() hands
// over the events; stop, shutdown, and pause and continue when accepted, reach the
// events on the user-interface thread, and the service's status follows each event's
// Success. A start that fails stops the service with an exit code of its own and ends
// the program.
std::unique_ptr<ServiceManager> makeWindowsServiceManager(UiThread& ui);

// How the service registers its control handler: RegisterServiceCtrlHandlerExW, unless
// a test puts in one that refuses.
using HandlerRegistration = SERVICE_STATUS_HANDLE(WINAPI*)(LPCWSTR, LPHANDLER_FUNCTION_EX, LPVOID);
void setHandlerRegistration(HandlerRegistration registration);

} // namespace platform

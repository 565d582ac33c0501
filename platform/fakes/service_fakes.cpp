#include "platform/fakes/service_fakes.h"

namespace platform::fakes {

bool FakeServiceManager::install(const ServiceDefinition& s)
{
    installs.push_back(s);
    return installResult;
}

bool FakeServiceManager::uninstall(const ServiceDefinition& s)
{
    uninstalls.push_back(s);
    return uninstallResult;
}

void FakeServiceManager::run(const ServiceDefinition& s, ServiceEvents& e)
{
    runs.push_back(s);
    if (runError)
        throw *runError;
    events = &e;
}

void FakeServiceManager::detach(ServiceEvents& e)
{
    if (events == &e)
        events = nullptr;
}

bool FakeServiceManager::saveSetting(const ServiceDefinition&, std::u16string_view section, std::u16string_view key,
                                     std::u16string_view value)
{
    settings.push_back({std::u16string(section), std::u16string(key), std::u16string(value)});
    return true;
}

bool FakeServiceManager::request(void (ServiceEvents::*handler)(bool&))
{
    bool success = false;
    if (events != nullptr)
        (events->*handler)(success);
    return success;
}

bool FakeServiceManager::start()
{
    return request(&ServiceEvents::NTService_Start);
}

bool FakeServiceManager::pause()
{
    return request(&ServiceEvents::NTService_Pause);
}

bool FakeServiceManager::resume()
{
    return request(&ServiceEvents::NTService_Continue);
}

void FakeServiceManager::stop()
{
    if (events != nullptr)
        events->NTService_Stop();
}

} // namespace platform::fakes

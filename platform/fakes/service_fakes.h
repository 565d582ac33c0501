#pragma once
// A fake service manager: records what the service control asked for, answers as the
// test scripts, and lets the test deliver the manager's requests to the window.

#include <optional>
#include <string>
#include <vector>

#include "platform/nt_service.h"

namespace platform::fakes {

class FakeServiceManager final : public ServiceManager {
public:
    struct Setting {
        std::u16string section, key, value;
        bool operator==(const Setting&) const = default;
    };

    bool installResult = true;
    bool uninstallResult = true;
    // Thrown by run() when set.
    std::optional<ServiceError> runError;

    std::vector<ServiceDefinition> installs, uninstalls, runs;
    std::vector<Setting> settings;
    ServiceEvents* events = nullptr;

    bool install(const ServiceDefinition& s) override;
    bool uninstall(const ServiceDefinition& s) override;
    void run(const ServiceDefinition& s, ServiceEvents& e) override;
    void detach(ServiceEvents& e) override;
    bool saveSetting(const ServiceDefinition& s, std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) override;

    // The manager's requests; each returns the Success the window reported.
    bool start();
    bool pause();
    bool resume();
    void stop();

private:
    bool request(void (ServiceEvents::*handler)(bool&));
};

} // namespace platform::fakes

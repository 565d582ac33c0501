#pragma once
// WMI on Linux: the monikers the system uses, answered by the WQL evaluator over the
// machine's inventory. Any other moniker is refused.

#include <filesystem>

#include "platform/linux/inventory.h"
#include "platform/wmi.h"

namespace platform {

class LinuxWmi final : public Wmi {
public:
    explicit LinuxWmi(std::filesystem::path root = "/");
    // The flags change nothing: every answer is complete when it is returned.
    std::optional<WmiAnswer> execQuery(std::u16string_view moniker, std::u16string_view wql, int flags = 0) override;

private:
    LinuxInventory inventory_;
};

} // namespace platform

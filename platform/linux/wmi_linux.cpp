#include "platform/linux/wmi_linux.h"

#include "platform/text.h"
#include "platform/wql.h"

namespace platform {

namespace {

// The local machine's root\cimv2, written the three ways the system writes it.
bool knownMoniker(std::u16string_view moniker)
{
    static constexpr std::u16string_view monikers[] = {
        u"winmgmts:",
        u"winmgmts:\\\\.\\root\\cimv2",
        u"winmgmts:{impersonationlevel=impersonate}!\\\\.\\root\\cimv2",
    };
    auto lower = text::toLowerAscii(moniker);
    for (auto m : monikers)
        if (lower == m)
            return true;
    return false;
}

} // namespace

LinuxWmi::LinuxWmi(std::filesystem::path root) : inventory_(std::move(root)) {}

std::optional<WmiAnswer> LinuxWmi::execQuery(std::u16string_view moniker, std::u16string_view wql, int)
{
    if (!knownMoniker(moniker))
        return std::nullopt;
    return wql::execute(wql, inventory_);
}

} // namespace platform

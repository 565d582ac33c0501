// The disk-identity library on Windows: the model and the serial number of the PC's
// first disk (the lowest index) as WMI's Win32_DiskDrive gives them.

#include <cstdlib>
#include <optional>

#include "diskid/disk_text.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "platform/windows/wmi_windows.h"

namespace {

std::string ansi(const platform::WmiProperty& p)
{
    if (!p.hasValue())
        return {};
    return diskid::clean(platform::toAnsi(p.value).value_or(std::string()));
}

} // namespace

extern "C" __declspec(dllexport) int DiskID32(char* first, char* second)
{
    platform::WindowsWmi wmi;
    auto answer = wmi.execQuery(u"winmgmts:\\\\.\\root\\cimv2", u"SELECT Index, Model, SerialNumber FROM Win32_DiskDrive");
    if (!answer)
        return 0;
    const platform::WmiObject* disk = nullptr;
    long lowest = 0;
    for (const auto& item : answer->items) {
        auto index = item.get(u"Index");
        long i = index.hasValue() ? std::strtol(platform::text::toUtf8(index.value).c_str(), nullptr, 10) : 0;
        if (disk == nullptr || i < lowest) {
            disk = &item;
            lowest = i;
        }
    }
    if (disk == nullptr)
        return 0;
    diskid::put(first, ansi(disk->get(u"Model")));
    diskid::put(second, ansi(disk->get(u"SerialNumber")));
    return 1;
}

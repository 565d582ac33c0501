#pragma once
// The four WMI classes the system asks for, read from /proc and /sys under a root
// folder ("/" on a real machine, a small fake tree in tests):
//   Win32_Process.Name              the executable file name of each process
//   Win32_Processor.ProcessorId     CPUID leaf 1 as Windows writes it, one per package
//   Win32_BaseBoard.SerialNumber    /sys/class/dmi/id/board_serial
//   Win32_NetworkAdapter.MACAddress, .Manufacturer   /sys/class/net, loopback left out

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wql.h"

namespace platform {

class LinuxInventory final : public wql::Source {
public:
    explicit LinuxInventory(std::filesystem::path root = "/");
    const std::vector<wql::ClassSchema>& classes() const override;
    std::vector<WmiObject> instances(const wql::ClassSchema& cls) override;

private:
    std::vector<WmiObject> processes() const;
    std::vector<WmiObject> processors() const;
    std::vector<WmiObject> boards() const;
    std::vector<WmiObject> adapters() const;

    std::filesystem::path root_;
};

// EDX then EAX of CPUID leaf 1 in 16 upper-case hex digits, rebuilt from one processor's
// block of /proc/cpuinfo; nothing when the block has no x86 family, model and stepping.
std::optional<std::u16string> processorIdFromCpuinfo(std::string_view block);

} // namespace platform

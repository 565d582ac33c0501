// The disk-identity library: the model and the serial number of the PC's first disk,
// each as at most 20 bytes of text and a terminating zero in a 21-byte buffer.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "diskid/disk_text.h"

namespace {

namespace fs = std::filesystem;
using diskid::clean;
using diskid::put;

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string firstOf(const std::vector<fs::path>& candidates, std::size_t skip = 0)
{
    for (const auto& file : candidates) {
        std::string s = readAll(file);
        if (s.size() > skip && !clean(s.substr(skip)).empty())
            return clean(s.substr(skip));
    }
    return {};
}

// Block devices that stand for hardware: loop, RAM and mapper devices live under
// devices/virtual.
std::vector<fs::path> disks(const fs::path& sysBlock)
{
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(sysBlock, ec)) {
        auto target = fs::read_symlink(entry.path(), ec);
        std::string where = ec ? entry.path().string() : target.string();
        if (where.find("/virtual/") != std::string::npos || !fs::exists(entry.path() / "device"))
            continue;
        out.push_back(entry.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

// For tests: the same, over a folder laid out as /sys/block.
extern "C" int DiskID32From(const char* sysBlock, char* first, char* second)
{
    auto found = disks(sysBlock);
    if (found.empty())
        return 0;
    const fs::path& disk = found.front();
    put(first, firstOf({disk / "device" / "model", disk / "device" / "vendor"}));
    std::string serial = firstOf({disk / "device" / "serial", disk / "serial"});
    if (serial.empty())
        serial = firstOf({disk / "device" / "vpd_pg80"}, 4); // the page's 4-byte header, then the serial
    put(second, serial);
    return 1;
}

extern "C" int DiskID32(char* first, char* second)
{
    return DiskID32From("/sys/block", first, second);
}

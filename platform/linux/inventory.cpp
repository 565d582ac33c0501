#include "platform/linux/inventory.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <system_error>
#include <thread>
#include <tuple>
#include <unistd.h>

#include "platform/text.h"

namespace platform {

namespace {

const std::u16string kProcess = u"Win32_Process";
const std::u16string kProcessor = u"Win32_Processor";
const std::u16string kBoard = u"Win32_BaseBoard";
const std::u16string kAdapter = u"Win32_NetworkAdapter";

// A small file (proc and sys files report no size, so read to the end), or its
// first NUL-terminated piece when that is all the caller wants.
std::optional<std::string> readAll(const char* path, int dir = AT_FDCWD, bool toFirstNul = false)
{
    int fd = ::openat(dir, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (toFirstNul && bytes.find('\0') != std::string::npos)
            break;
    }
    ::close(fd);
    return bytes;
}

std::optional<std::string> readAll(const std::string& path)
{
    return readAll(path.c_str());
}

std::string withoutLineEnd(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

// One value of a sys file, without its line end.
std::optional<std::string> readValue(const std::string& path)
{
    auto bytes = readAll(path);
    if (bytes)
        *bytes = withoutLineEnd(std::move(*bytes));
    return bytes;
}

std::string baseName(std::string_view path)
{
    auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool allDigits(const char* s)
{
    if (*s == '\0')
        return false;
    for (; *s != '\0'; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

// What Task Manager would call the process: its executable's file name, else argv[0]
// (a process may hide its executable from other users), else the kernel's short name.
// Paths are taken relative to the proc folder: with thousands of processes the cost is
// in the system calls, so each process costs one readlink when it can.
std::optional<std::string> executableName(int proc, const char* pid)
{
    char path[64];
    char target[4096];
    std::snprintf(path, sizeof path, "%s/exe", pid);
    ssize_t n = ::readlinkat(proc, path, target, sizeof target);
    if (n > 0) {
        std::string_view t(target, static_cast<std::size_t>(n));
        constexpr std::string_view deleted = " (deleted)";
        if (t.size() > deleted.size() && t.substr(t.size() - deleted.size()) == deleted)
            t.remove_suffix(deleted.size());
        std::string name = baseName(t);
        if (!name.empty())
            return name;
    }
    std::snprintf(path, sizeof path, "%s/cmdline", pid);
    if (auto cmdline = readAll(path, proc, true)) {
        std::string name = baseName(std::string_view(*cmdline).substr(0, cmdline->find('\0')));
        if (!name.empty())
            return name;
    }
    std::snprintf(path, sizeof path, "%s/comm", pid);
    auto comm = readAll(path, proc); // nothing: gone while we looked
    if (comm)
        *comm = withoutLineEnd(std::move(*comm));
    return comm;
}

WmiObject object(std::initializer_list<std::pair<const std::u16string*, WmiProperty>> properties)
{
    WmiObject o;
    for (const auto& [name, value] : properties)
        o.properties.emplace_back(*name, value);
    return o;
}

WmiProperty textOrNull(const std::optional<std::string>& bytes)
{
    return bytes ? WmiProperty::of(text::fromUtf8(*bytes)) : WmiProperty::null();
}

// "key<TAB>: value" lines of one cpuinfo block.
std::optional<std::string_view> field(std::string_view block, std::string_view key)
{
    while (!block.empty()) {
        auto nl = block.find('\n');
        std::string_view line = block.substr(0, nl);
        block = nl == std::string_view::npos ? std::string_view() : block.substr(nl + 1);
        auto colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view k = line.substr(0, colon);
        while (!k.empty() && (k.back() == ' ' || k.back() == '\t'))
            k.remove_suffix(1);
        if (k != key)
            continue;
        std::string_view v = line.substr(colon + 1);
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
            v.remove_prefix(1);
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
            v.remove_suffix(1);
        return v;
    }
    return std::nullopt;
}

std::optional<unsigned> number(const std::optional<std::string_view>& s)
{
    unsigned value = 0;
    if (!s || s->empty())
        return std::nullopt;
    auto [end, ec] = std::from_chars(s->data(), s->data() + s->size(), value);
    if (ec != std::errc() || end != s->data() + s->size())
        return std::nullopt;
    return value;
}

std::optional<unsigned> number(const std::optional<std::string>& s)
{
    return s ? number(std::optional<std::string_view>(*s)) : std::nullopt;
}

std::vector<std::string_view> blocks(std::string_view cpuinfo)
{
    std::vector<std::string_view> out;
    while (!cpuinfo.empty()) {
        auto gap = cpuinfo.find("\n\n");
        std::string_view b = cpuinfo.substr(0, gap == std::string_view::npos ? cpuinfo.size() : gap + 1);
        cpuinfo = gap == std::string_view::npos ? std::string_view() : cpuinfo.substr(gap + 2);
        if (b.find_first_not_of("\n") != std::string_view::npos)
            out.push_back(b);
    }
    return out;
}

std::u16string upperMac(std::string_view s)
{
    std::string up(s);
    std::transform(up.begin(), up.end(), up.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text::fromUtf8(up);
}

constexpr int loopbackType = 772; // ARPHRD_LOOPBACK

} // namespace

std::optional<std::u16string> processorIdFromCpuinfo(std::string_view block)
{
    auto family = number(field(block, "cpu family"));
    auto model = number(field(block, "model"));
    auto stepping = number(field(block, "stepping"));
    if (!family || !model || !stepping || *family > 0xF + 0xFF || *model > 0xFF || *stepping > 0xF)
        return std::nullopt;

    // Linux shows family and model with the extended fields folded in; unfold them.
    unsigned baseFamily = *family >= 0xF ? 0xF : *family;
    unsigned extFamily = *family >= 0xF ? *family - 0xF : 0;
    unsigned baseModel = *model & 0xF;
    unsigned extModel = *family >= 6 ? *model >> 4 : 0;
    std::uint32_t eax = *stepping | baseModel << 4 | baseFamily << 8 | extModel << 16 | extFamily << 20;

    // The leaf-1 EDX bits in bit order, by the names Linux prints; "-" are reserved bits.
    static constexpr std::string_view edxBits[32] = {
        "fpu",  "vme",   "de",   "pse", "tsc",   "msr",   "pae", "mce",     "cx8", "apic", "-",
        "sep",  "mtrr",  "pge",  "mca", "cmov",  "pat",   "pse36", "pn",    "clflush", "-", "dts",
        "acpi", "mmx",   "fxsr", "sse", "sse2",  "ss",    "ht",  "tm",      "ia64", "pbe"};
    std::uint32_t edx = 0;
    std::string_view flags = field(block, "flags").value_or("");
    while (!flags.empty()) {
        auto b = flags.find_first_not_of(" \t");
        if (b == std::string_view::npos)
            break;
        flags.remove_prefix(b);
        auto e = flags.find_first_of(" \t");
        std::string_view flag = flags.substr(0, e);
        flags = e == std::string_view::npos ? std::string_view() : flags.substr(e);
        for (unsigned bit = 0; bit < 32; ++bit)
            if (edxBits[bit] == flag)
                edx |= std::uint32_t{1} << bit;
    }

    char digits[17];
    static constexpr char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < 8; ++i) {
        digits[i] = hex[(edx >> (28 - 4 * i)) & 0xF];
        digits[8 + i] = hex[(eax >> (28 - 4 * i)) & 0xF];
    }
    digits[16] = '\0';
    return text::fromUtf8(digits);
}

LinuxInventory::LinuxInventory(std::filesystem::path root) : root_(std::move(root)) {}

const std::vector<wql::ClassSchema>& LinuxInventory::classes() const
{
    static const std::vector<wql::ClassSchema> schema = {
        {kProcess, {u"Name"}},
        {kProcessor, {u"ProcessorId"}},
        {kBoard, {u"SerialNumber"}},
        {kAdapter, {u"MACAddress", u"Manufacturer"}},
    };
    return schema;
}

std::vector<WmiObject> LinuxInventory::instances(const wql::ClassSchema& cls)
{
    if (cls.name == kProcess)
        return processes();
    if (cls.name == kProcessor)
        return processors();
    if (cls.name == kBoard)
        return boards();
    if (cls.name == kAdapter)
        return adapters();
    return {};
}

std::vector<WmiObject> LinuxInventory::processes() const
{
    DIR* d = ::opendir((root_ / "proc").c_str());
    if (d == nullptr)
        return {};
    std::vector<long> pids;
    while (const dirent* e = ::readdir(d))
        if (allDigits(e->d_name) && std::strlen(e->d_name) <= 18)
            pids.push_back(std::atol(e->d_name));
    std::sort(pids.begin(), pids.end());

    // One readlink a process is all the work, and on a big process table that is mostly
    // waiting in the kernel: a few threads share it. The caller still waits for all.
    std::vector<std::optional<std::string>> names(pids.size());
    auto name = [&](std::size_t from, std::size_t to) {
        char pid[24];
        for (std::size_t i = from; i < to; ++i) {
            std::snprintf(pid, sizeof pid, "%ld", pids[i]);
            names[i] = executableName(::dirfd(d), pid);
        }
    };
    constexpr std::size_t perThread = 1024;
    std::size_t threads = std::min<std::size_t>({pids.size() / perThread, std::thread::hardware_concurrency(), 4});
    if (threads <= 1) {
        name(0, pids.size());
    } else {
        std::vector<std::thread> helpers;
        std::size_t share = (pids.size() + threads - 1) / threads;
        for (std::size_t t = 1; t < threads; ++t) {
            try {
                helpers.emplace_back(name, t * share, std::min(pids.size(), (t + 1) * share));
            } catch (const std::system_error&) {
                name(t * share, pids.size()); // no thread to be had: this one does the rest
                break;
            }
        }
        name(0, share);
        for (auto& h : helpers)
            h.join();
    }
    ::closedir(d);

    static const std::u16string nameProperty = u"Name";
    std::vector<WmiObject> out;
    out.reserve(pids.size());
    for (const auto& n : names)
        if (n) // a process gone while we looked is no longer listed
            out.push_back(object({{&nameProperty, WmiProperty::of(text::fromUtf8(*n))}}));
    return out;
}

std::vector<WmiObject> LinuxInventory::processors() const
{
    static const std::u16string idProperty = u"ProcessorId";
    auto cpuinfo = readAll((root_ / "proc/cpuinfo").string());
    if (!cpuinfo)
        return {};
    // One processor per physical package: the first block of each "physical id" (a
    // cpuinfo without that field describes one package).
    std::vector<std::string_view> packages;
    std::vector<std::string_view> seen;
    for (auto b : blocks(*cpuinfo)) {
        std::string_view id = field(b, "physical id").value_or("");
        if (std::find(seen.begin(), seen.end(), id) != seen.end())
            continue;
        seen.push_back(id);
        packages.push_back(b);
    }
    std::vector<WmiObject> out;
    for (auto b : packages) {
        auto id = processorIdFromCpuinfo(b);
        out.push_back(object({{&idProperty, id ? WmiProperty::of(*id) : WmiProperty::null()}}));
    }
    return out;
}

std::vector<WmiObject> LinuxInventory::boards() const
{
    static const std::u16string serialProperty = u"SerialNumber";
    return {object({{&serialProperty, textOrNull(readValue((root_ / "sys/class/dmi/id/board_serial").string()))}})};
}

std::vector<WmiObject> LinuxInventory::adapters() const
{
    static const std::u16string macProperty = u"MACAddress";
    static const std::u16string makerProperty = u"Manufacturer";
    struct Adapter {
        long index;
        std::string name;
        WmiObject object;
    };
    std::vector<Adapter> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / "sys/class/net", ec)) {
        const std::string dir = entry.path().string();
        std::string name = entry.path().filename().string();
        auto type = number(readValue(dir + "/type"));
        if (type == static_cast<unsigned>(loopbackType))
            continue;

        WmiProperty mac = WmiProperty::null();
        if (auto address = readValue(dir + "/address"); address && address->find_first_not_of("0:") != std::string::npos)
            mac = WmiProperty::of(upperMac(*address));
        // A device's interface is made by its driver; an interface the kernel makes on
        // its own (bridge, veth, tun, bond) has no maker, so the adapter query passes it by.
        WmiProperty maker = WmiProperty::null();
        std::error_code linkError;
        auto driver = std::filesystem::read_symlink(entry.path() / "device" / "driver", linkError);
        if (!linkError && !driver.filename().empty())
            maker = WmiProperty::of(text::fromUtf8(driver.filename().string()));

        auto index = number(readValue(dir + "/ifindex"));
        found.push_back({index ? static_cast<long>(*index) : std::numeric_limits<long>::max(), std::move(name),
                         object({{&macProperty, mac}, {&makerProperty, maker}})});
    }
    std::sort(found.begin(), found.end(),
              [](const Adapter& a, const Adapter& b) { return std::tie(a.index, a.name) < std::tie(b.index, b.name); });
    std::vector<WmiObject> out;
    for (auto& a : found)
        out.push_back(std::move(a.object));
    return out;
}

} // namespace platform

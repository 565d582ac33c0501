// WMI on Linux: the four classes from /proc and /sys, WQL conditions, and the queries it refuses.
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/linux/inventory.h"
#include "platform/linux/wmi_linux.h"
#include "platform/text.h"
#include "support/temp_folder.h"

using platform::LinuxWmi;
using platform::WmiAnswer;
using testsupport::TempFolder;

namespace {

const std::u16string impersonate = u"winmgmts:{impersonationlevel=impersonate}!\\\\.\\root\\cimv2";
const std::u16string cimv2 = u"winmgmts:\\\\.\\root\\cimv2";
const std::u16string plain = u"winmgmts:";
const std::u16string serviceQuery = u"Select * from Win32_Process Where Name='openvpnserv.exe'";
const std::u16string adapterQuery =
    u"SELECT MACAddress FROM Win32_NetworkAdapter WHERE ((MACAddress Is Not NULL) AND (Manufacturer  <>  'Microsoft'))";

// A literal with the NUL bytes inside it.
template <std::size_t N>
std::string bytes(const char (&s)[N])
{
    return std::string(s, N - 1);
}

std::string intelBlock(int cpu, int package)
{
    return "processor\t: " + std::to_string(cpu) +
        "\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\nmodel name\t: Intel(R) Core(TM) i7-8700 CPU\n"
        "stepping\t: 10\nphysical id\t: " +
        std::to_string(package) +
        "\nflags\t\t: fpu vme de pse tsc msr pae mce cx8 apic sep mtrr pge mca cmov pat pse36 clflush dts acpi mmx "
        "fxsr sse sse2 ss ht tm pbe syscall nx pdpe1gb rdtscp lm constant_tsc pni pclmulqdq dtes64 monitor ds_cpl\n\n";
}

// A machine of two packages, five processes, a board and five network interfaces.
struct FakeMachine {
    TempFolder root;

    FakeMachine()
    {
        process(1, "/usr/lib/systemd/systemd", bytes("/sbin/init\0splash\0"), "systemd\n");
        process(42, "/opt/corvane/bin/openvpnserv.exe", "openvpnserv.exe\0", "openvpnserv.exe\n");
        // Its executable hidden from us: argv[0] names it.
        process(43, nullptr, bytes("/opt/corvane/bin/OpenVPNServ.EXE\0-start\0"), "OpenVPNServ.EXE\n");
        // A kernel thread: no executable, no command line.
        process(44, nullptr, "", "kworker/0:1\n");
        process(45, "/opt/old/openvpnserv.exe (deleted)", "", "openvpnserv.exe\n");
        root.write("proc/uptime", "1.0 1.0\n");
        std::filesystem::create_directory_symlink("42", root / "proc/self");

        std::string cpuinfo = intelBlock(0, 0) + intelBlock(1, 0);
        // The second package, an AMD one, so that each package is seen to count.
        for (int cpu = 2; cpu < 4; ++cpu)
            cpuinfo += "processor\t: " + std::to_string(cpu) +
                       "\nvendor_id\t: AuthenticAMD\ncpu family\t: 23\nmodel\t\t: 113\nstepping\t: 0\n"
                       "physical id\t: 1\nflags\t\t: fpu vme de pse tsc msr pae mce cx8 apic sep mtrr pge mca cmov "
                       "pat pse36 clflush mmx fxsr sse sse2 ht syscall nx mmxext\n\n";
        root.write("proc/cpuinfo", cpuinfo);

        // Blanks in a serial number stay.
        root.write("sys/class/dmi/id/board_serial", "  PF1X2Y3 \n");

        adapter("lo", 1, "772", "00:00:00:00:00:00", nullptr);
        adapter("wlan0", 5, "1", "a4:c3:f0:11:22:33", "iwlwifi");
        adapter("eth0", 2, "1", "52:54:00:ab:cd:ef", "e1000e");
        adapter("docker0", 3, "1", "02:42:ac:11:00:01", nullptr);
        adapter("tun0", 4, "65534", "", nullptr);
    }

    void process(int pid, const char* exe, const std::string& cmdline, const std::string& comm)
    {
        std::string dir = "proc/" + std::to_string(pid);
        root.write(dir + "/cmdline", cmdline);
        root.write(dir + "/comm", comm);
        if (exe != nullptr)
            std::filesystem::create_symlink(exe, root / (dir + "/exe"));
    }

    void adapter(const std::string& name, int index, const char* type, const char* address, const char* driver)
    {
        std::string dir = "sys/class/net/" + name;
        root.write(dir + "/ifindex", std::to_string(index) + "\n");
        root.write(dir + "/type", std::string(type) + "\n");
        root.write(dir + "/address", std::string(address) + "\n");
        if (driver != nullptr) {
            std::filesystem::create_directories(root / (dir + "/device"));
            std::filesystem::create_symlink(std::string("../../../bus/pci/drivers/") + driver,
                                            root / (dir + "/device/driver"));
        }
    }
};

std::vector<std::u16string> values(const WmiAnswer& a, std::u16string_view property)
{
    std::vector<std::u16string> out;
    for (const auto& item : a.items) {
        auto p = item.get(property);
        out.push_back(p.hasValue() ? p.value : p.state == platform::WmiProperty::State::Null ? u"<null>" : u"<none>");
    }
    return out;
}

} // namespace

TEST(Wmi, AnswersTheQueriesOfTheSystem)
{
    FakeMachine m;
    LinuxWmi wmi(m.root.path());

    auto running = wmi.execQuery(impersonate, serviceQuery);
    ASSERT_TRUE(running);
    // By executable, by argv[0] in another case, and a deleted executable; not the
    // kernel's short name of a process whose executable says otherwise.
    EXPECT_EQ(running->Count(), 3u);
    EXPECT_EQ(values(*running, u"name"), (std::vector<std::u16string>{u"openvpnserv.exe", u"OpenVPNServ.EXE",
                                                                       u"openvpnserv.exe"}));

    auto all = wmi.execQuery(impersonate, u"Select Name from Win32_Process");
    ASSERT_TRUE(all);
    EXPECT_EQ(values(*all, u"Name"), (std::vector<std::u16string>{u"systemd", u"openvpnserv.exe", u"OpenVPNServ.EXE",
                                                                   u"kworker/0:1", u"openvpnserv.exe"}));

    auto processors = wmi.execQuery(cimv2, u"Select * from Win32_Processor", 48);
    ASSERT_TRUE(processors);
    EXPECT_EQ(values(*processors, u"ProcessorId"),
              (std::vector<std::u16string>{u"BFEBFBFF000906EA", u"178BFBFF00870F10"}));

    auto boards = wmi.execQuery(cimv2, u"Select * from Win32_BaseBoard", 48);
    ASSERT_TRUE(boards);
    EXPECT_EQ(values(*boards, u"SerialNumber"), (std::vector<std::u16string>{u"  PF1X2Y3 "}));

    // Loopback left out; a virtual interface has no maker and one without an address
    // no MAC, so only the two devices pass, in interface order.
    auto adapters = wmi.execQuery(plain, adapterQuery);
    ASSERT_TRUE(adapters);
    EXPECT_EQ(values(*adapters, u"MACAddress"),
              (std::vector<std::u16string>{u"52:54:00:AB:CD:EF", u"A4:C3:F0:11:22:33"}));
    EXPECT_EQ(adapters->items.front().properties.size(), 1u) << "only the property asked for";
}

TEST(Wmi, ListsABigProcessTableWhole)
{
    // Large enough to be shared out among threads: every process listed once, in order.
    TempFolder root;
    const int count = 2101;
    std::size_t services = 0;
    for (int pid = 1; pid <= count; ++pid) {
        std::string name = "openvpnserv.exe";
        if (pid % 7 != 0) {
            name = "p";
            name += std::to_string(pid);
        }
        services += pid % 7 == 0;
        std::filesystem::create_directories(root / ("proc/" + std::to_string(pid)));
        std::filesystem::create_symlink("/bin/" + name, root / ("proc/" + std::to_string(pid) + "/exe"));
    }
    LinuxWmi wmi(root.path());
    auto running = wmi.execQuery(impersonate, serviceQuery);
    ASSERT_TRUE(running);
    EXPECT_EQ(running->Count(), services);
    auto all = wmi.execQuery(impersonate, u"Select Name from Win32_Process");
    ASSERT_TRUE(all);
    auto names = values(*all, u"Name");
    ASSERT_EQ(names.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(names[0], u"p1");
    EXPECT_EQ(names[1050], u"p1051");
    EXPECT_EQ(names[count - 1], u"p2101");
}

TEST(Wmi, WhatIsMissingIsNull)
{
    TempFolder empty;
    empty.write("proc/cpuinfo", "processor\t: 0\nBogoMIPS\t: 48.00\nFeatures\t: fp asimd\nCPU implementer\t: 0x41\n");
    LinuxWmi wmi(empty.path());
    auto boards = wmi.execQuery(cimv2, u"Select * from Win32_BaseBoard", 48);
    ASSERT_TRUE(boards);
    EXPECT_EQ(values(*boards, u"SerialNumber"), (std::vector<std::u16string>{u"<null>"}));
    auto processors = wmi.execQuery(cimv2, u"Select * from Win32_Processor", 48);
    ASSERT_TRUE(processors);
    EXPECT_EQ(values(*processors, u"ProcessorId"), (std::vector<std::u16string>{u"<null>"}));
    auto adapters = wmi.execQuery(plain, adapterQuery);
    ASSERT_TRUE(adapters);
    EXPECT_EQ(adapters->Count(), 0u);
}

TEST(Wmi, EvaluatesConditionsAsWmiDoes)
{
    FakeMachine m;
    LinuxWmi wmi(m.root.path());
    struct Case {
        std::u16string query;
        std::vector<std::u16string> macs; // MACAddress of each adapter found
    } cases[] = {
        {u"select * from win32_networkadapter", {u"52:54:00:AB:CD:EF", u"02:42:AC:11:00:01", u"<null>", u"A4:C3:F0:11:22:33"}},
        {u"SELECT * FROM WIN32_NETWORKADAPTER WHERE MANUFACTURER = 'E1000E'", {u"52:54:00:AB:CD:EF"}},
        {u"Select * from Win32_NetworkAdapter Where 'iwlwifi' = Manufacturer", {u"A4:C3:F0:11:22:33"}},
        // A null property makes = and <> alike false.
        {u"Select * from Win32_NetworkAdapter Where Manufacturer <> 'e1000e'", {u"A4:C3:F0:11:22:33"}},
        {u"Select * from Win32_NetworkAdapter Where Manufacturer is null", {u"02:42:AC:11:00:01", u"<null>"}},
        {u"Select * from Win32_NetworkAdapter Where MACAddress IS NULL OR Manufacturer='iwlwifi' AND MACAddress IS NOT NULL",
         {u"<null>", u"A4:C3:F0:11:22:33"}},
        {u"Select * from Win32_NetworkAdapter Where (MACAddress IS NULL OR Manufacturer='iwlwifi') AND MACAddress IS NOT NULL",
         {u"A4:C3:F0:11:22:33"}},
        {u"Select * from Win32_NetworkAdapter Where Manufacturer = 'it\\'s'", {}},
    };
    for (const auto& c : cases) {
        auto a = wmi.execQuery(plain, c.query);
        ASSERT_TRUE(a) << platform::text::toUtf8(c.query);
        EXPECT_EQ(values(*a, u"MACAddress"), c.macs) << platform::text::toUtf8(c.query);
    }
}

TEST(Wmi, RefusesWhatItCannotAnswer)
{
    FakeMachine m;
    LinuxWmi wmi(m.root.path());
    const std::u16string refused[] = {
        u"",
        u"Select",
        u"Select * from",
        u"Select * Win32_Process",
        u"Select * from Win32_Service",
        u"Select Foo from Win32_Process",
        u"Select Name, from Win32_Process",
        u"Select *, Name from Win32_Process",
        u"Select * from Win32_Process Win32_Processor",
        u"Select * from Win32_Process Where",
        u"Select * from Win32_Process Where Foo='x'",
        u"Select * from Win32_Process Where Name='x",
        u"Select * from Win32_Process Where Name=x",
        u"Select * from Win32_Process Where Name == 'x'",
        u"Select * from Win32_Process Where Name 'x'",
        u"Select * from Win32_Process Where (Name='x'",
        u"Select * from Win32_Process Where Name='x')",
        u"Select * from Win32_Process Where Name IS NOT",
        u"Select * from Win32_Process Where Name='a' AND",
        u"Select * from Win32_Process Where Name='a' OR OR Name='b'",
        u"Select * from Win32_Process; Select * from Win32_Processor",
        u"Select * from Win32_Process Where " + std::u16string(100, u'(') + u"Name='x'" + std::u16string(100, u')'),
    };
    for (const auto& q : refused)
        EXPECT_FALSE(wmi.execQuery(plain, q)) << platform::text::toUtf8(q);

    // The monikers are matched without regard to case; any other namespace or machine is refused.
    EXPECT_TRUE(wmi.execQuery(u"WinMgmts:{ImpersonationLevel=Impersonate}!\\\\.\\ROOT\\CIMV2", serviceQuery));
    for (const std::u16string moniker : {u"winmgmts:\\\\server\\root\\cimv2", u"winmgmts:\\\\.\\root\\default", u""})
        EXPECT_FALSE(wmi.execQuery(moniker, serviceQuery)) << platform::text::toUtf8(moniker);
}

TEST(Wmi, RebuildsTheProcessorIdFromCpuinfo)
{
    struct Case {
        const char* name;
        std::string block;
        const char16_t* id;
    } cases[] = {
        {"family below 6 has no extended model", "cpu family\t: 5\nmodel\t\t: 4\nstepping\t: 3\nflags\t\t: fpu tsc\n",
         u"0000001100000543"},
        {"family 15 with no extended family", "cpu family\t: 15\nmodel\t\t: 6\nstepping\t: 5\nflags\t\t: pbe\n",
         u"8000000000000F65"},
        {"extended family and model", "cpu family\t: 25\nmodel\t\t: 33\nstepping\t: 2\nflags\t\t:\n",
         u"0000000000A20F12"},
        {"reserved bits and ECX flags set nothing", "cpu family\t: 6\nmodel\t\t: 1\nstepping\t: 1\nflags\t\t: pni ds_cpl ssse3\n",
         u"0000000000000611"},
        {"stepping unknown", "cpu family\t: 6\nmodel\t\t: 1\nstepping\t: unknown\n", nullptr},
        {"not an x86 processor", "processor\t: 0\nFeatures\t: fp asimd\n", nullptr},
    };
    for (const auto& c : cases) {
        auto id = platform::processorIdFromCpuinfo(c.block);
        if (c.id == nullptr)
            EXPECT_FALSE(id) << c.name;
        else
            EXPECT_EQ(id.value_or(u"<none>"), c.id) << c.name;
    }
}

TEST(Wmi, FindsThisProcessOnTheRealMachine)
{
    LinuxWmi wmi;
    char exe[4096];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe);
    ASSERT_GT(n, 0);
    std::string name = std::filesystem::path(std::string(exe, static_cast<std::size_t>(n))).filename().string();
    auto a = wmi.execQuery(impersonate, u"Select * from Win32_Process Where Name='" + platform::text::fromUtf8(name) + u"'");
    ASSERT_TRUE(a);
    EXPECT_GE(a->Count(), 1u);
    EXPECT_TRUE(wmi.execQuery(impersonate, serviceQuery));
}

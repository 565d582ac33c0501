// The disk-identity window and the DiskID32 library: model and serial number, a missing library.
#include <QTest>
#include <array>
#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "config/form_hard.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

using config::DiskIdEntry;
using config::form_hard;
using testsupport::gbk;
using testsupport::TempFolder;

namespace {

std::filesystem::path executableFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// A library function that writes exactly these 21 bytes (or nothing) into each buffer.
struct ScriptedDiskId {
    std::optional<std::string> first, second;
    int calls = 0;
    bool buffersWereZero = true;

    DiskIdEntry entry()
    {
        return {[this](char* a, char* b) {
                    ++calls;
                    for (char* buffer : {a, b})
                        for (std::size_t i = 0; i < config::diskIdBufferSize; ++i)
                            buffersWereZero = buffersWereZero && buffer[i] == 0;
                    if (first)
                        std::memcpy(a, first->data(), config::diskIdBufferSize);
                    if (second)
                        std::memcpy(b, second->data(), config::diskIdBufferSize);
                    return 1;
                },
                {}};
    }
};

std::string buffer(std::string text)
{
    text.resize(config::diskIdBufferSize, '\0');
    return text;
}

class HardTest : public ::testing::Test {
protected:
    TempFolder t;
    platform::fakes::FakeServices fakes;

    void SetUp() override { platform::setAppFolder(t.path()); }
    void TearDown() override
    {
        if (auto& w = platform::windowInstance<form_hard>())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace

TEST_F(HardTest, ShowsTheBuffersAsTheTextBoxesDo)
{
    struct Case {
        const char* name;
        std::optional<std::string> first, second;
        QString text1, text2;
    } cases[] = {
        {"ten ASCII characters and zeros", buffer("WDC WD10EZ"), buffer("WD-WCC6Y0"), "WDC WD10EZ", "WD-WCC6Y0"},
        {"leading blanks of the serial number go, of the maker stay", buffer("  Maker"), buffer("  Z4Y1ABCD1234"),
         "  Maker", "Z4Y1ABCD1234"},
        {"a full buffer loses its trailing blanks", std::string(21, 'M'), std::string("SERIAL1234567890") + "     ",
         QString(21, 'M'), "SERIAL1234567890"},
        {"blanks before the zero fill stay", buffer("M"), buffer("S1  "), "M", "S1  "},
        {"untouched buffers show empty boxes", {}, {}, "", ""},
        {"double-byte maker in code page 936", buffer(gbk("西部数据")), buffer("X"), "西部数据", "X"},
        {"text after a zero is not shown", buffer(std::string("AB\0CD", 5)), buffer(std::string(" \0Z", 3)), "AB", ""},
    };
    for (const auto& c : cases) {
        ScriptedDiskId disk{c.first, c.second};
        form_hard& w = platform::showWindow<form_hard>();
        w.loadDiskId = [&] { return disk.entry(); };
        for (int press = 0; press < 2; ++press) {
            QTest::mouseClick(w.Command1, Qt::LeftButton);
            EXPECT_EQ(w.Text1->text(), c.text1) << c.name;
            EXPECT_EQ(w.Text2->text(), c.text2) << c.name;
        }
        EXPECT_EQ(disk.calls, 2) << c.name;
        EXPECT_TRUE(disk.buffersWereZero) << "each press starts from zeroed buffers: " << c.name;
        EXPECT_TRUE(fakes.boxes.boxes.empty()) << c.name;
        w.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(HardTest, ALibraryThatCannotBeFoundIsReported)
{
    struct Case {
        const char* name;
        std::function<DiskIdEntry()> load;
        std::u16string mentions;
    } cases[] = {
        {"no library in the application folder", {}, u"libDiskID32.so"},
        {"a library without the entry", [] { return config::loadDiskID32("libm.so.6"); }, u"DiskID32"},
    };
    for (const auto& c : cases) {
        form_hard& w = platform::showWindow<form_hard>();
        if (c.load)
            w.loadDiskId = c.load;
        w.Text1->setText("kept");
        w.Text2->setText("kept too");
        w.Command1_Click();
        w.Command1_Click();
        ASSERT_EQ(fakes.boxes.boxes.size(), 2u) << "tried again at the next press: " << c.name;
        EXPECT_EQ(fakes.boxes.boxes[0].title, u"警告") << c.name;
        EXPECT_NE(fakes.boxes.boxes[0].text.find(c.mentions), std::u16string::npos) << c.name;
        EXPECT_EQ(w.Text1->text(), "kept") << c.name;
        EXPECT_EQ(w.Text2->text(), "kept too") << c.name;
        fakes.boxes.boxes.clear();
        w.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(HardTest, LoadsTheBuiltLibraryFromTheApplicationFolder)
{
    ASSERT_TRUE(std::filesystem::exists(executableFolder() / "libDiskID32.so"));
    platform::setAppFolder(executableFolder());
    form_hard& w = platform::showWindow<form_hard>();
    w.Text1->setText(QString(30, 'x'));
    w.Text2->setText(QString(30, 'x'));
    w.Command1_Click();
    EXPECT_TRUE(fakes.boxes.boxes.empty());
    EXPECT_LE(w.Text1->text().size(), 20);
    EXPECT_LE(w.Text2->text().size(), 20);
}

TEST(DiskID32, TakesTheFirstHardwareDisk)
{
    TempFolder sys;
    auto link = [&](const std::string& name, const std::string& target) {
        std::filesystem::create_directories(sys / ("devices/" + target));
        std::filesystem::create_directories(sys / "block");
        std::filesystem::create_directory_symlink("../devices/" + target, sys / ("block/" + name));
    };
    link("loop0", "virtual/block/loop0");
    sys.write("devices/virtual/block/loop0/device/model", "not a disk\n");
    link("sdb", "pci0/host1/sdb");
    sys.write("devices/pci0/host1/sdb/device/model", "Second disk\n");
    link("sda", "pci0/host0/sda");
    sys.write("devices/pci0/host0/sda/device/model", "ST1000DM003-1ER162      \n");
    sys.write("devices/pci0/host0/sda/device/vpd_pg80", std::string("\0\x80\0\x14", 4) + "            Z4Y1ABCD");

    void* lib = ::dlopen((executableFolder() / "libDiskID32.so").c_str(), RTLD_NOW);
    ASSERT_NE(lib, nullptr);
    auto from = reinterpret_cast<int (*)(const char*, char*, char*)>(::dlsym(lib, "DiskID32From"));
    ASSERT_NE(from, nullptr);
    std::array<char, 21> first{}, second{};
    from((sys / "block").c_str(), first.data(), second.data());
    EXPECT_EQ(std::string(first.data()), "ST1000DM003-1ER162");
    EXPECT_EQ(std::string(second.data()), "Z4Y1ABCD");

    // A serial of its own, and a model longer than the buffer: at most 20 bytes and the zero.
    link("nvme0n1", "pci0/nvme0/nvme0n1");
    sys.write("devices/pci0/nvme0/nvme0n1/device/model", "Samsung SSD 970 EVO Plus 1TB\n");
    sys.write("devices/pci0/nvme0/nvme0n1/device/serial", "S4EWNX0R123456\n");
    first.fill('x');
    from((sys / "block").c_str(), first.data(), second.data());
    EXPECT_EQ(std::string(first.data()), "Samsung SSD 970 EVO");
    EXPECT_EQ(std::string(second.data()), "S4EWNX0R123456");
    ::dlclose(lib);
}

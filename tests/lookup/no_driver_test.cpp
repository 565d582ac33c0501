// The address lookup on a machine where no driver answers to "SQL SERVER". The driver
// manager reads its driver list once a process, hence a program of its own.

#include <gtest/gtest.h>

#include <cstdlib>

#include "lookup/address_lookup.h"
#include "platform/database.h"
#include "platform/fakes/fakes.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

using testsupport::TempFolder;

namespace {

// Everything a lookup could touch, counted rather than journalled: none of it may happen.
class UntouchedView final : public lookup::ConsoleView {
public:
    int writes = 0;
    void clearGrid() override { ++writes; }
    void setCell(int, int, std::u16string_view) override { ++writes; }
    void setColumnWidth(int, int) override { ++writes; }
    void setTimerInterval(int) override { ++writes; }
    void setPanelText(int, std::u16string_view) override { ++writes; }
};

} // namespace

TEST(AddressLookupWithoutDriver, EndsBeforeItReadsAnything)
{
    TempFolder odbc;
    // The SQLite driver is there, only not under the name the lookup asks for.
    odbc.write("odbcinst.ini", "[SQLite3]\nDriver = /usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
    ::setenv("ODBCSYSINI", odbc.path().c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);

    TempFolder root;
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(root.path());
    platform::setAppFolder(root / "app");
    platform::setWindowsFolder(root / "windows");
    const std::string config = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\nremote 10.0.0.1 1194\r\n";
    root.write("app/config/sno.conf", "SN-0001\r\n");
    root.write("app/config/config.ovpn", config);
    root.write("windows/remote_ip.conf", "10.0.0.9\r\n");

    platform::fakes::FakeServices fakes;
    platform::ScopedService<platform::Database> database(platform::odbcDatabase());
    UntouchedView view;

    auto refused = platform::database().connect(lookup::lookupConnectionString());
    EXPECT_FALSE(refused);
    EXPECT_FALSE(refused.error().empty());
    EXPECT_TRUE(platform::database().connect(u"driver={SQLite3};DATABASE=vpnsno"));

    EXPECT_EQ(lookup::runAddressLookup(view), lookup::LookupEnd::NoDatabase);
    EXPECT_EQ(root.read("app/config/config.ovpn"), config);
    EXPECT_EQ(root.read("windows/remote_ip.conf"), "10.0.0.9\r\n");
    EXPECT_TRUE(fakes.launcher.launches.empty());
    EXPECT_TRUE(fakes.sleeper.sleeps.empty());
    EXPECT_EQ(view.writes, 0);

    std::filesystem::current_path(previous);
}

// The address lookup end to end against a real ODBC database: the SQLite ODBC driver,
// registered under the driver name the lookup asks for, serves the database vpnsno.

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <set>

#include "lookup/address_lookup.h"
#include "platform/database.h"
#include "platform/fakes/fakes.h"
#include "platform/fakes/database_fake.h"
#include "platform/launcher.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/text.h"
#include "support/immutable_file.h"
#include "support/temp_folder.h"

using lookup::LookupEnd;
using platform::text::toUtf8;
using testsupport::gbk;
using testsupport::TempFolder;

namespace {

constexpr const char* sqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

// The driver manager reads its driver list once a process, so it is set up before any test.
class SqlServerDriver : public ::testing::Environment {
public:
    void SetUp() override
    {
        folder_.emplace();
        folder_->write("odbcinst.ini", std::string("[SQL SERVER]\nDescription = SQLite in place of SQL Server\nDriver = ") +
                                           sqliteDriver + "\n");
        ::setenv("ODBCSYSINI", folder_->path().c_str(), 1);
        ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    }
    void TearDown() override { folder_.reset(); }

private:
    std::optional<TempFolder> folder_;
};

const auto* const driver = ::testing::AddGlobalTestEnvironment(new SqlServerDriver);

// Statements on vpnsno in the current folder, straight through ODBC.
class Sql {
public:
    Sql()
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        SQLCHAR cs[] = "DRIVER={SQL SERVER};DATABASE=vpnsno";
        if (!SQL_SUCCEEDED(SQLDriverConnect(dbc_, nullptr, cs, SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)))
            ADD_FAILURE() << "cannot open vpnsno";
    }
    ~Sql()
    {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    void run(std::u16string statement)
    {
        SQLHSTMT st;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st);
        SQLRETURN r = SQLExecDirectW(st, reinterpret_cast<SQLWCHAR*>(statement.data()), SQLINTEGER(statement.size()));
        // A statement that touches no row answers "no data".
        EXPECT_TRUE(SQL_SUCCEEDED(r) || r == SQL_NO_DATA) << toUtf8(statement);
        SQLFreeHandle(SQL_HANDLE_STMT, st);
    }
    long count(const char* query)
    {
        SQLHSTMT st;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st);
        SQLINTEGER n = -1;
        SQLLEN ind = 0;
        if (SQL_SUCCEEDED(SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>(query)), SQL_NTS)) &&
            SQL_SUCCEEDED(SQLFetch(st)))
            SQLGetData(st, 1, SQL_C_SLONG, &n, 0, &ind);
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return n;
    }

private:
    SQLHENV env_ = SQL_NULL_HANDLE;
    SQLHDBC dbc_ = SQL_NULL_HANDLE;
};

// Launches, waits and console writes in the one order they happened.
struct Journal {
    std::vector<std::string> events;
};

class JournalLauncher final : public platform::Launcher {
public:
    explicit JournalLauncher(Journal& j) : journal_(j) {}
    std::set<std::u16string> failing;
    bool launch(std::u16string_view commandLine, int windowStyle) override
    {
        if (failing.count(std::u16string(commandLine)) != 0)
            return false;
        journal_.events.push_back("launch " + toUtf8(commandLine) + (windowStyle == platform::vbHide ? " hidden" : " shown"));
        return true;
    }

private:
    Journal& journal_;
};

class JournalSleeper final : public platform::Sleeper {
public:
    explicit JournalSleeper(Journal& j) : journal_(j) {}
    void sleep(int milliseconds) override { journal_.events.push_back("sleep " + std::to_string(milliseconds)); }

private:
    Journal& journal_;
};

class JournalView final : public lookup::ConsoleView {
public:
    explicit JournalView(Journal& j) : journal_(j) {}
    void clearGrid() override { journal_.events.push_back("clear grid"); }
    void setCell(int row, int column, std::u16string_view text) override
    {
        journal_.events.push_back("cell " + std::to_string(row) + "," + std::to_string(column) + " " + toUtf8(text));
    }
    void setColumnWidth(int column, int twips) override
    {
        journal_.events.push_back("width " + std::to_string(column) + " " + std::to_string(twips));
    }
    void setTimerInterval(int milliseconds) override { journal_.events.push_back("timer " + std::to_string(milliseconds)); }
    void setPanelText(int panel, std::u16string_view text) override
    {
        journal_.events.push_back("panel " + std::to_string(panel) + " " + toUtf8(text));
    }

private:
    Journal& journal_;
};

const std::vector<std::string> restartAndReset = {
    "launch cmd /c NET STOP openvpnservice hidden",
    "sleep 3000",
    "launch cmd /c NET START openvpnservice hidden",
    "clear grid",
    "cell 0,0 类别",
    "cell 0,1 日期",
    "cell 0,2 时间",
    "cell 0,3 日志内容",
    "width 0 600",
    "width 1 1500",
    "width 2 900",
    "width 3 8000",
    "timer 5000",
    "sleep 3000",
    "panel 2 VPN服务：正在运行中...",
};

// The service configuration with the given line 7.
std::string configWith(std::string_view line7)
{
    return "client\r\ndev tun\r\nproto udp\r\n" + gbk("# 寻址服务\r\n") + "resolv-retry infinite\r\nnobind\r\n" +
           std::string(line7) + "\r\npersist-key\r\nauth-user-pass pwd.txt\r\n";
}

constexpr const char* serialFile = "app/config/sno.conf";
constexpr const char* configFile = "app/config/config.ovpn";
constexpr const char* lastFile = "windows/remote_ip.conf";

std::u16string quoted(std::u16string_view text)
{
    std::u16string out = u"'";
    for (char16_t c : text)
        out.append(c == u'\'' ? 2 : 1, c);
    return out + u"'";
}

// An installation whose lookup would apply 10.0.0.2: the serial SN-0001, the address
// 10.0.0.9 applied last, 10.0.0.1 configured.
class AddressLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousFolder_ = std::filesystem::current_path();
        install();
    }
    void TearDown() override { std::filesystem::current_path(previousFolder_); }

    // A fresh installation and database, for each case of a table.
    void install()
    {
        std::filesystem::current_path(previousFolder_);
        root_.emplace();
        std::filesystem::current_path(root().path());
        platform::setAppFolder(root() / "app");
        platform::setWindowsFolder(root() / "windows");
        root().write(serialFile, "SN-0001\r\n");
        root().write(configFile, configWith("remote 10.0.0.1 1194"));
        root().write(lastFile, "10.0.0.9\r\n");
        Sql().run(u"create table demo (sno varchar(50), newip varchar(100))");
        setAddress(u"SN-0001", u"'10.0.0.2'");
        setAddress(u"SN-0002", u"'10.0.0.3'");
        journal_.events.clear();
        eventLog_.entries.clear();
    }
    TempFolder& root() { return *root_; }

    // newip as an SQL expression: a quoted text or NULL.
    void setAddress(std::u16string_view serial, std::u16string_view newip)
    {
        Sql sql;
        sql.run(u"delete from demo where sno = " + quoted(serial));
        sql.run(u"insert into demo values (" + quoted(serial) + u", " + std::u16string(newip) + u")");
    }

    LookupEnd run() { return lookup::runAddressLookup(view_); }

    struct Files {
        std::string serial, config, last;
        bool operator==(const Files&) const = default;
        friend void PrintTo(const Files& f, std::ostream* os)
        {
            *os << "serial " << ::testing::PrintToString(f.serial) << ", config " << ::testing::PrintToString(f.config)
                << ", last " << ::testing::PrintToString(f.last);
        }
    };
    Files files() { return {read(serialFile), read(configFile), read(lastFile)}; }
    std::string read(const char* name)
    {
        return std::filesystem::is_directory(root() / name) ? "<folder>" : root().read(name);
    }
    // A rewrite puts a new file in place of the old one.
    ino_t inode(const char* name)
    {
        struct stat st {};
        ::stat((root() / name).c_str(), &st);
        return st.st_ino;
    }

    std::optional<TempFolder> root_;
    Journal journal_;
    JournalLauncher launcher_{journal_};
    JournalSleeper sleeper_{journal_};
    JournalView view_{journal_};
    platform::fakes::FakeEventLog eventLog_;

private:
    std::filesystem::path previousFolder_;
    platform::ScopedService<platform::Launcher> launcherService_{launcher_};
    platform::ScopedService<platform::Sleeper> sleeperService_{sleeper_};
    platform::ScopedService<platform::Database> databaseService_{platform::odbcDatabase()};
    platform::ScopedService<platform::EventLog> eventLogService_{eventLog_};
};

} // namespace

TEST_F(AddressLookup, DecidesAsTheTableSays)
{
    struct Case {
        const char* name;
        std::optional<std::string> last; // nothing: no last-address file
        const char* line7;
        const char16_t* newip;
        LookupEnd end;
        std::optional<std::string> line7After; // nothing: the file is not rewritten
        std::optional<std::string> lastAfter;  // nothing: the file is not rewritten
    } cases[] = {
        {"new, last and current equal", "10.0.0.1\r\n", "remote 10.0.0.1 1194", u"10.0.0.1", LookupEnd::Unchanged, {}, {}},
        {"new = last, line 7 differs", "10.0.0.2\r\n", "remote 10.0.0.1 1194", u"10.0.0.2", LookupEnd::Applied,
         "remote 10.0.0.2 1194", {}},
        {"new already in line 7 but not last", "10.0.0.9\r\n", "remote 10.0.0.2 1194", u"10.0.0.2", LookupEnd::Applied,
         "remote 10.0.0.2 1194", "10.0.0.2\r\n"},
        {"new differs from both", "10.0.0.9\r\n", "remote 10.0.0.1", u"10.0.0.2", LookupEnd::Applied, "remote 10.0.0.2",
         "10.0.0.2\r\n"},
        {"host name of more than 15 characters applied already", "vpn-gateway.corvane-test.example\r\n",
         "remote vpn-gateway.corvane-test.example 1194 udp", u"vpn-gateway.corvane-test.example", LookupEnd::Unchanged, {}, {}},
        {"trailing blanks of the last address do not count", "10.0.0.1   \r\n", "remote 10.0.0.1", u"10.0.0.1",
         LookupEnd::Unchanged, {}, {}},
        {"no last-address file yet", {}, "remote 10.0.0.1 1194", u"10.0.0.1", LookupEnd::Applied, "remote 10.0.0.1 1194",
         "10.0.0.1\r\n"},
        {"empty last-address file", "", "remote 10.0.0.1 1194", u"10.0.0.1", LookupEnd::Applied, "remote 10.0.0.1 1194",
         "10.0.0.1\r\n"},
        {"compared with case", "VPN.example.com\r\n", "remote VPN.example.com", u"vpn.example.com", LookupEnd::Applied,
         "remote vpn.example.com", "vpn.example.com\r\n"},
        {"blanks around the new address, as char(n) pads it, do not count", "10.0.0.1\r\n", "remote 10.0.0.1 1194",
         u" 10.0.0.1      ", LookupEnd::Unchanged, {}, {}},
        {"blanks around the new address are not written", "10.0.0.9\r\n", "remote 10.0.0.1 1194", u"10.0.0.2    ",
         LookupEnd::Applied, "remote 10.0.0.2 1194", "10.0.0.2\r\n"},
        {"blanks and -- before the directive kept", "10.0.0.9\r\n", " \t--remote 10.0.0.1 1194", u"10.0.0.2",
         LookupEnd::Applied, " \t--remote 10.0.0.2 1194", "10.0.0.2\r\n"},
        {"an indented line 7 applied already", "10.0.0.1\r\n", "  remote 10.0.0.1", u"10.0.0.1", LookupEnd::Unchanged, {},
         {}},
        {"an empty line 7 gets the directive", "10.0.0.2\r\n", "", u"10.0.0.2", LookupEnd::Applied, "remote 10.0.0.2", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        install();
        std::filesystem::remove(root() / lastFile);
        if (c.last)
            root().write(lastFile, *c.last);
        root().write(configFile, configWith(c.line7));
        setAddress(u"SN-0001", ::quoted(c.newip));
        const Files before = files();
        const ino_t configInode = inode(configFile), lastInode = inode(lastFile);

        EXPECT_EQ(run(), c.end);

        EXPECT_EQ(root().read(serialFile), before.serial);
        EXPECT_EQ(root().read(configFile), c.line7After ? configWith(*c.line7After) : before.config);
        if (!c.line7After) {
            EXPECT_EQ(inode(configFile), configInode);
        }
        EXPECT_EQ(root().read(lastFile), c.lastAfter.value_or(before.last));
        if (!c.lastAfter) {
            EXPECT_EQ(inode(lastFile), lastInode);
        }
        EXPECT_EQ(journal_.events, c.end == LookupEnd::Applied ? restartAndReset : std::vector<std::string>{});
        EXPECT_TRUE(eventLog_.entries.empty());
    }
}

TEST_F(AddressLookup, EndsWithNothingChanged)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        LookupEnd end;
    } cases[] = {
        {"database cannot be opened", [&] {
             std::filesystem::rename(root() / "vpnsno", root() / "vpnsno.away");
             std::filesystem::create_directory(root() / "vpnsno");
         }, LookupEnd::NoDatabase},
        {"serial file missing", [&] { std::filesystem::remove(root() / serialFile); }, LookupEnd::NoSerial},
        {"serial file empty", [&] { root().write(serialFile, ""); }, LookupEnd::NoSerial},
        {"last-address file unreadable", [&] {
             std::filesystem::remove(root() / lastFile);
             std::filesystem::create_directory(root() / lastFile);
         }, LookupEnd::NoLastAddress},
        {"configuration missing", [&] { std::filesystem::remove(root() / configFile); }, LookupEnd::NoConfiguration},
        {"configuration of six lines", [&] {
             root().write(configFile, "client\r\ndev tun\r\nproto udp\r\nnobind\r\npersist-key\r\nremote 10.0.0.1\r\n");
         }, LookupEnd::NoConfiguration},
        {"serial not in the table", [&] { root().write(serialFile, "SN-0404\r\n"); }, LookupEnd::NoAddress},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        install();
        c.arrange();
        const Files before = files();

        EXPECT_EQ(run(), c.end);

        EXPECT_EQ(files(), before);
        EXPECT_EQ(journal_.events, std::vector<std::string>{});
        EXPECT_TRUE(eventLog_.entries.empty()) << "a failing step ends silently";
    }
}

TEST_F(AddressLookup, Line7AndTheRecordedAddressChangeTogetherOrNotAtAll)
{
    const Files before = files();
    // Either file cannot be written: neither changes, and the next lookup applies.
    for (const char* folder : {"windows", "app/config"}) {
        SCOPED_TRACE(folder);
        install();
        {
            platform::fakes::ReadOnlyFolder readOnly(root() / folder);
            EXPECT_EQ(run(), LookupEnd::NotWritten);
        }
        EXPECT_EQ(files(), before);
        EXPECT_EQ(journal_.events, std::vector<std::string>{});
        EXPECT_EQ(run(), LookupEnd::Applied);
        EXPECT_EQ(root().read(configFile), configWith("remote 10.0.0.2 1194"));
        EXPECT_EQ(root().read(lastFile), "10.0.0.2\r\n");
    }

    // The stop command cannot start: both files are written, nothing waits.
    install();
    launcher_.failing.insert(u"cmd /c NET STOP openvpnservice");
    EXPECT_EQ(run(), LookupEnd::NotLaunched);
    EXPECT_EQ(root().read(configFile), configWith("remote 10.0.0.2 1194"));
    EXPECT_EQ(root().read(lastFile), "10.0.0.2\r\n");
    EXPECT_EQ(journal_.events, std::vector<std::string>{});

    // The configuration cannot be replaced once the new record is in place: the old
    // record comes back.
    install();
    auto locked = testsupport::ImmutableFile::make(root() / configFile);
    if (!locked)
        GTEST_SKIP() << "no immutable files here (root on ext4 has them)";
    EXPECT_EQ(run(), LookupEnd::NotWritten);
    EXPECT_EQ(files(), before);
    EXPECT_EQ(journal_.events, std::vector<std::string>{});
}

TEST_F(AddressLookup, AMissingStandInForCWindowsIsMadeForTheRecord)
{
    std::filesystem::remove_all(root() / "windows");
    EXPECT_EQ(run(), LookupEnd::Applied);
    EXPECT_EQ(root().read(lastFile), "10.0.0.2\r\n");
    EXPECT_EQ(root().read(configFile), configWith("remote 10.0.0.2 1194"));
    EXPECT_EQ(journal_.events, restartAndReset);
}

TEST_F(AddressLookup, AnAddressThatIsNoAddressChangesNothingAndIsLogged)
{
    struct Case {
        const char* name;
        std::u16string newip; // an SQL expression
        std::u16string shown; // how the entry names it
    } cases[] = {
        {"NULL", u"NULL", u"：NULL"},
        {"empty", u"''", u"“”"},
        {"CR LF and a directive", ::quoted(u"10.0.0.2\r\nup /tmp/x"), u"“10.0.0.2\\r\\nup /tmp/x”"},
        {"a port after a blank", ::quoted(u"10.0.0.2 443"), u"“10.0.0.2 443”"},
        {"blanks only", ::quoted(u"   "), u"“   ”"},
        {"a tab after it", ::quoted(u"10.0.0.2\t"), u"“10.0.0.2\\t”"},
        {"quotes", ::quoted(u"\"10.0.0.2\""), u"“\"10.0.0.2\"”"},
        {"a single quote", ::quoted(u"'10.0.0.2'"), u"“'10.0.0.2'”"},
        {"a semicolon", ::quoted(u"10.0.0.2;reboot"), u"“10.0.0.2;reboot”"},
        {"a character that code page 936 cannot hold", ::quoted(u"10.0.0.\u0E01"), u"“10.0.0.\u0E01”"},
        {"very long", ::quoted(std::u16string(5000, u'1')), u"“" + std::u16string(64, u'1') + u"”（共 5000 个字符"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        install();
        setAddress(u"SN-0001", c.newip);
        const Files before = files();
        const ino_t configInode = inode(configFile);

        EXPECT_EQ(run(), LookupEnd::BadAddress);

        EXPECT_EQ(files(), before);
        EXPECT_EQ(inode(configFile), configInode);
        EXPECT_EQ(journal_.events, std::vector<std::string>{}) << "nothing restarted";
        ASSERT_EQ(eventLog_.entries.size(), 1u);
        const auto& entry = eventLog_.entries[0];
        EXPECT_EQ(entry.type, 1);
        EXPECT_EQ(entry.eventId, 109);
        const std::u16string number = u"[" + platform::text::number(lookup::BadAddressError) + u"] ";
        EXPECT_EQ(entry.text.substr(0, number.size()), number) << toUtf8(entry.text);
        EXPECT_NE(entry.text.find(c.shown), std::u16string::npos) << toUtf8(entry.text);
        EXPECT_EQ(entry.text.find_first_of(u"\r\n"), std::u16string::npos) << "the entry is one line";
    }
}

TEST_F(AddressLookup, GoodAddressesAreApplied)
{
    for (std::u16string newip : {u"10.0.0.2", u"2001:db8::1", u"vpn-gateway.corvane-test.example", u"VPN1.example.CN"}) {
        SCOPED_TRACE(toUtf8(newip));
        install();
        setAddress(u"SN-0001", ::quoted(newip));
        EXPECT_EQ(run(), LookupEnd::Applied);
        EXPECT_EQ(root().read(configFile), configWith("remote " + toUtf8(newip) + " 1194"));
        EXPECT_EQ(root().read(lastFile), toUtf8(newip) + "\r\n");
        EXPECT_TRUE(eventLog_.entries.empty());
    }
}

TEST_F(AddressLookup, ALine7ThatIsNoRemoteDirectiveIsLeftAlone)
{
    for (const char* line7 : {"persist-key", "auth-user-pass pwd.txt", "remotely 10.0.0.1", "  # remote 10.0.0.1"}) {
        SCOPED_TRACE(line7);
        install();
        root().write(configFile, configWith(line7));
        const Files before = files();

        EXPECT_EQ(run(), LookupEnd::NoServerLine);

        EXPECT_EQ(files(), before);
        EXPECT_EQ(journal_.events, std::vector<std::string>{});
        ASSERT_EQ(eventLog_.entries.size(), 1u);
        const auto& entry = eventLog_.entries[0];
        EXPECT_EQ(entry.type, 1);
        EXPECT_EQ(entry.eventId, 109);
        const std::u16string number = u"[" + platform::text::number(lookup::NoServerLineError) + u"] ";
        EXPECT_EQ(entry.text.substr(0, number.size()), number) << toUtf8(entry.text);
        EXPECT_NE(entry.text.find(u"“" + platform::text::fromUtf8(line7) + u"”"), std::u16string::npos) << toUtf8(entry.text);
    }
}

TEST_F(AddressLookup, BindsTheSerialRatherThanPastingIt)
{
    setAddress(u"O'Brien-7", u"'10.0.0.7'");
    struct Case {
        const char* name;
        std::string serialLine;
        LookupEnd end;
    } cases[] = {
        {"a single quote finds its own row", "O'Brien-7\r\n", LookupEnd::Applied},
        {"trailing blanks removed", "SN-0001   \r\n", LookupEnd::Applied},
        {"a condition in the serial finds nothing", "x' or '1'='1\r\n", LookupEnd::NoAddress},
        {"a statement in the serial runs not", "x'; delete from demo; --\r\n", LookupEnd::NoAddress},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        root().write(serialFile, c.serialLine);
        root().write(configFile, configWith("remote 10.0.0.1 1194"));
        root().write(lastFile, "10.0.0.9\r\n");
        EXPECT_EQ(run(), c.end);
        EXPECT_EQ(Sql().count("select count(*) from demo"), 3);
    }
    EXPECT_EQ(root().read(configFile), configWith("remote 10.0.0.1 1194"));
    root().write(serialFile, "O'Brien-7\r\n");
    EXPECT_EQ(run(), LookupEnd::Applied);
    EXPECT_EQ(root().read(configFile), configWith("remote 10.0.0.7 1194"));
    EXPECT_EQ(root().read(lastFile), "10.0.0.7\r\n");
}

TEST_F(AddressLookup, AsksWithTheSixPairsAndABoundSerial)
{
    platform::fakes::FakeDatabase fake;
    fake.answer = [](const auto&) { return platform::FirstField{true, u"10.0.0.9"}; };
    platform::ScopedService<platform::Database> installed(fake);

    EXPECT_EQ(run(), LookupEnd::Applied);

    ASSERT_EQ(fake.connectionStrings.size(), 1u);
    auto pairs = platform::text::split(fake.connectionStrings[0], u";");
    ASSERT_EQ(pairs.size(), 6u) << toUtf8(fake.connectionStrings[0]);
    EXPECT_EQ(pairs[0], u"driver={SQL SERVER}");
    EXPECT_TRUE(pairs[1].starts_with(u"SERVER=") && pairs[1].ends_with(u",8999") && pairs[1].size() > 12) << toUtf8(pairs[1]);
    EXPECT_EQ(pairs[2], u"DATABASE=vpnsno");
    EXPECT_EQ(pairs[3], u"PERSIST SECUITY INFO=false");
    EXPECT_TRUE(pairs[4].starts_with(u"USER ID=") && pairs[4].size() > 8) << toUtf8(pairs[4]);
    EXPECT_EQ(pairs[5], u"password=46192037585");
    EXPECT_EQ(fake.queries, (std::vector<platform::fakes::FakeDatabase::Query>{
                                {u"select newip from demo where sno = ?", {u"SN-0001"}}}));
}

// ---- the database of the platform ------------------------------------------------------

TEST(OdbcConnectionString, TurnsAdoKeywordsIntoOdbcOnes)
{
    struct Case {
        std::u16string ado, odbc;
    } cases[] = {
        {u"driver={SQL SERVER};SERVER=db.example,8999;DATABASE=vpnsno;PERSIST SECUITY INFO=false;USER ID=corvane;"
         u"password=46192037585",
         u"driver={SQL SERVER};SERVER=db.example,8999;DATABASE=vpnsno;UID=corvane;PWD=46192037585"},
        {u"User Id=a;Password=b;Persist Security Info=True", u"UID=a;PWD=b"},
        {u" USER ID =a b;DSN=x;;", u"UID=a b;DSN=x"},
        {u"PWD=x=y", u"PWD=x=y"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::odbcConnectionString(c.ado), c.odbc) << toUtf8(c.ado);
}

class OdbcDatabase : public AddressLookup {};

TEST_F(OdbcDatabase, ReadsFieldZeroOfTheFirstRow)
{
    Sql sql;
    sql.run(u"create table t (k varchar(10), v text)");
    const std::u16string longText(1000, u'x');
    sql.run(u"insert into t values ('long', '" + longText + u"')");
    sql.run(u"insert into t values ('中文', '主服务器')");
    sql.run(u"insert into t values ('null', NULL)");
    sql.run(u"insert into t values ('', 'empty key')");
    auto connection = platform::database().connect(u"driver={SQL SERVER};DATABASE=vpnsno;USER ID=u;password=p");
    ASSERT_TRUE(connection) << toUtf8(connection.error());

    struct Case {
        std::u16string key;
        bool hasRow;
        std::optional<std::u16string> value;
    } cases[] = {
        {u"long", true, longText}, {u"中文", true, u"主服务器"}, {u"null", true, std::nullopt},
        {u"", true, u"empty key"}, {u"none", false, std::nullopt},
    };
    for (const auto& c : cases) {
        auto field = (*connection)->firstField(u"select v from t where k = ?", {c.key});
        ASSERT_TRUE(field) << toUtf8(field.error());
        EXPECT_EQ(field->hasRow, c.hasRow) << toUtf8(c.key);
        EXPECT_EQ(field->value, c.value) << toUtf8(c.key);
    }
    auto two = (*connection)->firstField(u"select count(*) from t where k = ? or k = ?", {u"long", u"null"});
    ASSERT_TRUE(two);
    EXPECT_EQ(two->value, u"2");

    auto refused = (*connection)->firstField(u"select v from no_such_table", {});
    EXPECT_FALSE(refused);
    EXPECT_FALSE(refused.error().empty());
}

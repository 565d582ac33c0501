// The system's own Windows paths on Linux: the application folder reaches the file calls
// with the bytes of its name as they are, also when they are no UTF-8 (a Windows zip
// unpacked here leaves code page 936 names) or hold a backslash, and only the backslashes
// that the system puts between the pieces it appends are separators. The folders that
// stand in for C:\windows are made writable by their owner only, whatever the umask.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "support/temp_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Folder names as they come: 测试 in code page 936 bytes, backslashes, both.
const char* const strangeNames[] = {"\xB2\xE2\xCA\xD4", "vpn\\old", "vpn\\", "\xB2\xE2\\\xCA\xD4 x"};

// Everything below the folder, as paths relative to it, sorted.
std::vector<std::string> contents(const fs::path& folder)
{
    std::vector<std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        all.push_back(fs::relative(e.path(), folder).string());
    std::sort(all.begin(), all.end());
    return all;
}

} // namespace

TEST(AppFolder, PathsBuiltOnItLeadToTheFolderItself)
{
    for (const char* name : strangeNames) {
        SCOPED_TRACE(testing::PrintToString(std::string(name)));
        testsupport::TempFolder t;
        const fs::path app = t / name;
        fs::create_directories(app);
        fs::create_directories(t / "vpn/old"); // where a backslash taken for a separator leads
        platform::setAppFolder(app);
        platform::setWindowsFolder(t / "windows");
        const std::u16string a = platform::appPath();

        struct Case {
            std::u16string path;
            fs::path local;
            bool inWindowsFolder;
        } cases[] = {
            {a + u"\\pwd.txt", app / "pwd.txt", false},
            {a + u"\\config\\config.ovpn", app / "config/config.ovpn", false},
            {a + u"\\", app, false},
            {a, app, false},
            {u"C:\\windows\\kongzitai.txt", t / "windows/kongzitai.txt", true},
            {u"c:\\WINDOWS", t / "windows", true},
            {u"/srv/a\\b.txt", "/srv/a/b.txt", false},
        };
        for (const auto& c : cases) {
            auto resolved = platform::resolvePath(c.path);
            EXPECT_EQ(resolved.file, c.local) << platform::text::toUtf8(c.path);
            EXPECT_EQ(resolved.inWindowsFolder, c.inWindowsFolder) << platform::text::toUtf8(c.path);
        }

        // What the windows do with it: save, read back, read a file of a folder below.
        ASSERT_EQ(config::saveFiles({{u"config.ovpn", {u"remote vpn.example.cn"}}, {u"pwd.txt", {u"zhang", u"pw"}}}),
                  std::nullopt);
        EXPECT_EQ(config::readLines(config::appFile(u"pwd.txt"), 4), (std::vector<std::u16string>{u"zhang", u"pw"}));
        t.write(std::string(name) + "/config/sno.conf", "SN-1\r\n");
        EXPECT_EQ(platform::readFileBytes(a + u"\\config\\sno.conf"), "SN-1\r\n");
        EXPECT_FALSE(platform::fileIsMissing(a + u"\\config\\sno.conf"));
        EXPECT_EQ(contents(app), (std::vector<std::string>{"config", "config.ovpn", "config/sno.conf", "pwd.txt"}));
        EXPECT_EQ(contents(t / "vpn"), std::vector<std::string>{"old"});
    }
}

// Run by the test below, from a copy of this program in a folder of such a name: the
// application folder is then the program's own, as /proc/self/exe gives it.
TEST(AppFolder, ProgramCopySavesBesideItself)
{
    if (std::getenv("CORVANE_TEST_COPY") == nullptr)
        GTEST_SKIP() << "run by AProgramInAFolderOfAnyNameFindsItsFiles";
    ASSERT_EQ(config::saveFiles({{u"pwd.txt", {u"beside"}}}), std::nullopt);
    EXPECT_EQ(config::readLines(config::appFile(u"pwd.txt"), 4), std::vector<std::u16string>{u"beside"});
}

TEST(AppFolder, AProgramInAFolderOfAnyNameFindsItsFiles)
{
    for (const char* name : strangeNames) {
        SCOPED_TRACE(testing::PrintToString(std::string(name)));
        testsupport::TempFolder t;
        const fs::path folder = t / name;
        fs::create_directories(folder);
        fs::create_directories(t / "vpn/old");
        const fs::path program = folder / "program";
        std::error_code ec;
        fs::create_hard_link(fs::read_symlink("/proc/self/exe"), program, ec);
        if (ec)
            fs::copy_file(fs::read_symlink("/proc/self/exe"), program);

        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e)
            if (!std::string_view(*e).starts_with("CORVANE_APP_DIR="))
                env.emplace_back(*e);
        env.emplace_back("CORVANE_TEST_COPY=1");
        std::vector<char*> envp;
        for (auto& v : env)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string filter = "--gtest_filter=AppFolder.ProgramCopySavesBesideItself";
        char* argv[] = {const_cast<char*>(program.c_str()), filter.data(), nullptr};

        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(t.read(std::string(name) + "/pwd.txt"), "beside\r\n");
        EXPECT_EQ(contents(t / "vpn"), std::vector<std::string>{"old"});
    }
}

TEST(WindowsFolder, IsMadeWithItsParentsAndFilesWritableByTheOwnerOnlyWhateverTheUmask)
{
    struct Case {
        mode_t umask;
        mode_t folders;
        mode_t file;
    } cases[] = {{0, 0755, 0644}, {002, 0755, 0644}, {022, 0755, 0644}, {077, 0700, 0600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.umask);
        testsupport::TempFolder t;
        platform::setWindowsFolder(t / "var/lib/corvane/windows");
        const mode_t before = ::umask(c.umask);
        EXPECT_TRUE(platform::replaceFileBytes(u"C:\\windows\\remote_ip.conf", "10.0.0.1\r\n"));
        ::umask(before);
        for (const char* folder : {"var", "var/lib", "var/lib/corvane", "var/lib/corvane/windows"}) {
            struct stat st {};
            ASSERT_EQ(::stat((t / folder).c_str(), &st), 0) << folder;
            EXPECT_EQ(st.st_mode & 07777, c.folders) << folder;
        }
        struct stat st {};
        ASSERT_EQ(::stat((t / "var/lib/corvane/windows/remote_ip.conf").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.file);
    }
    platform::setWindowsFolder("/var/lib/corvane/windows");
}

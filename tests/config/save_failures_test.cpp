// Saves that fail half-way on a real file system: a disk that fills in the middle of a file
// (RLIMIT_FSIZE, with SIGXFSZ ignored so that the write fails instead of ending the
// process), and a file that cannot be replaced after another one was (the immutable
// attribute). Each save says so, names the file, and leaves every file as it was, byte
// for byte: through the text files, config::saveFiles and the 参数设置 window.
// Linux only; the immutable files need root, as on CI.

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>

#include "config/files.h"
#include "config/form_cansu.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "support/immutable_file.h"
#include "support/temp_folder.h"

using platform::WriteFailure;
using testsupport::ImmutableFile;
using testsupport::TempFolder;

namespace {

namespace fs = std::filesystem;

// Writes of this process beyond `bytes` into a file fail with EFBIG while it lasts.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*previous_)(int) = SIG_DFL;
};

std::vector<std::u16string> manyLines(std::size_t count)
{
    return std::vector<std::u16string>(count, std::u16string(99, u'x'));
}

struct Identity {
    ino_t inode = 0;
    mode_t mode = 0;
    bool operator==(const Identity&) const = default;
};

Identity identityOf(const fs::path& file)
{
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return {st.st_ino, st.st_mode & 07777};
}

// Every name in the folder, sorted.
std::vector<std::string> names(const fs::path& folder)
{
    std::vector<std::string> all;
    for (const auto& e : fs::directory_iterator(folder))
        all.push_back(e.path().filename().string());
    std::sort(all.begin(), all.end());
    return all;
}

class SaveFailures : public ::testing::Test {
protected:
    TempFolder t;
    platform::fakes::FakeServices fakes;

    void SetUp() override
    {
        platform::setAppFolder(t.path());
        t.write("config.ovpn", "old config\r\n");
        t.write("pwd.txt", "old pwd\r\n");
    }
    void TearDown() override
    {
        if (auto& w = platform::windowInstance<config::form_cansu>())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void expectOldFiles()
    {
        EXPECT_EQ(t.read("config.ovpn"), "old config\r\n");
        EXPECT_EQ(t.read("pwd.txt"), "old pwd\r\n");
        EXPECT_EQ(names(t.path()), (std::vector<std::string>{"config.ovpn", "pwd.txt"})) << "nothing left beside them";
    }

    // 参数设置 filled in and saved; the one box it shows.
    std::u16string saveInTheWindow()
    {
        auto& w = platform::showWindow<config::form_cansu>();
        w.txt_server->setText(QStringLiteral("vpn.example.cn"));
        w.txt_port->setText(QStringLiteral("1194"));
        w.comb_proto->setEditText(QStringLiteral("UDP"));
        w.txt_user->setText(QStringLiteral("zhang"));
        w.txt_pwd->setText(QStringLiteral("secret"));
        w.hard_check->setChecked(false);
        w.otp_check->setChecked(false);
        w.cmd_ok_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(platform::windowInstance<config::form_cansu>().isNull()) << "the window stays open";
        EXPECT_EQ(fakes.boxes.boxes.size(), 1u);
        return fakes.boxes.boxes.empty() ? u"" : fakes.boxes.boxes.back().text;
    }
};

} // namespace

TEST_F(SaveFailures, ADiskThatFillsInTheMiddleOfAFileFailsTheSaveAndKeepsTheOldFiles)
{
    struct Case {
        const char* name;
        rlim_t limit;
        std::function<void()> save; // fails, and says why
    } cases[] = {
        {"text lines, past the first block", 100'000,
         [] {
             auto w = platform::TextWriter::create(config::appFile(u"pwd.txt"));
             ASSERT_TRUE(w);
             bool written = true;
             for (const auto& line : manyLines(3000))
                 written = w->writeLine(line) && written;
             EXPECT_FALSE(written);
             EXPECT_FALSE(w->close());
             EXPECT_EQ(w->failure(), WriteFailure::Io);
         }},
        {"text lines, the rest written by the close", 5,
         [] {
             auto w = platform::TextWriter::create(config::appFile(u"pwd.txt"));
             ASSERT_TRUE(w);
             EXPECT_TRUE(w->writeLine(u"new pwd"));
             EXPECT_FALSE(w->close());
             EXPECT_EQ(w->failure(), WriteFailure::Io);
         }},
        {"a file replaced whole", 100'000,
         [] { EXPECT_FALSE(platform::replaceFileBytes(config::appFile(u"pwd.txt"), std::string(300'000, 'x'))); }},
        {"the second file of a save", 100'000,
         [] {
             auto failed = config::saveFiles({{u"config.ovpn", {u"new config"}}, {u"pwd.txt", manyLines(3000)}});
             ASSERT_TRUE(failed);
             EXPECT_EQ(failed->name, u"pwd.txt");
             EXPECT_EQ(failed->why, WriteFailure::Io);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            FileSizeLimit limit(c.limit);
            c.save();
        }
        expectOldFiles();
    }

    // In the window: the configuration (some 300 bytes) fills the disk half-way.
    {
        FileSizeLimit limit(200);
        EXPECT_EQ(saveInTheWindow(), u"无法写入文件 config.ovpn，设置未保存！");
    }
    expectOldFiles();
}

TEST_F(SaveFailures, AFileThatCannotBeReplacedPutsBackTheOnesReplacedBeforeIt)
{
    fs::permissions(t / "config.ovpn", fs::perms(0640));
    const Identity before = identityOf(t / "config.ovpn");
    auto locked = ImmutableFile::make(t / "pwd.txt");
    if (!locked)
        GTEST_SKIP() << "no immutable files here (root on ext4 has them)";

    auto failed = config::saveFiles({{u"config.ovpn", {u"new config"}}, {u"pwd.txt", {u"new pwd"}}});
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->name, u"pwd.txt");
    EXPECT_EQ(failed->why, WriteFailure::Io);
    expectOldFiles();
    // The very file, with its permissions.
    EXPECT_EQ(identityOf(t / "config.ovpn"), before);

    // A file that did not exist before is removed again.
    fs::remove(t / "config.ovpn");
    ASSERT_TRUE(config::saveFiles({{u"config.ovpn", {u"new config"}}, {u"pwd.txt", {u"new pwd"}}}));
    EXPECT_EQ(names(t.path()), std::vector<std::string>{"pwd.txt"});
    t.write("config.ovpn", "old config\r\n");

    EXPECT_EQ(saveInTheWindow(), u"无法写入文件 pwd.txt，设置未保存！");
    expectOldFiles();
}

TEST_F(SaveFailures, WhereTheOldFileGetsNoSecondNameACopyOfItIsPutBack)
{
    // A user may replace a file of root's in a folder open to all, but, with protected
    // hard links, not give it a second name: the save keeps a copy of its bytes instead.
    std::ifstream protectedLinks("/proc/sys/fs/protected_hardlinks");
    int protection = 0;
    protectedLinks >> protection;
    if (::geteuid() != 0 || protection != 1)
        GTEST_SKIP() << "needs root and protected hard links";
    auto locked = ImmutableFile::make(t / "pwd.txt");
    if (!locked)
        GTEST_SKIP() << "no immutable files here (root on ext4 has them)";
    fs::permissions(t.path(), fs::perms(0777));

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As nobody: no gtest here, the answer is the exit code.
        bool failedAsItShould = false;
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            auto failed = config::saveFiles({{u"config.ovpn", {u"new config"}}, {u"pwd.txt", {u"new pwd"}}});
            failedAsItShould = failed && failed->name == u"pwd.txt";
        }
        ::_exit(failedAsItShould ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    expectOldFiles();
}

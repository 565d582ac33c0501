// One copy of a program at a time on Linux: the lock, its name, and a crashed holder freeing it.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <iostream>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/linux/instances_linux.h"
#include "support/temp_folder.h"

using platform::FlockInstances;
using testsupport::TempFolder;

namespace {

// Another copy of the program: asks, reports its answer ('1' another copy runs, '0' it
// is the first) and the lock file it holds, then holds on until it is killed. Run as
// another user when the test gives one.
struct Copy {
    pid_t pid = -1;
    char answer = '?';
    std::string held;

    explicit Copy(std::vector<std::filesystem::path> places, int as = -1)
    {
        int report[2], hold[2];
        if (::pipe(report) != 0 || ::pipe(hold) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::close(report[0]);
            ::close(hold[1]);
            const auto id = static_cast<uid_t>(as);
            if (as >= 0 &&
                (::setgroups(0, nullptr) != 0 || ::setresgid(id, id, id) != 0 || ::setresuid(id, id, id) != 0))
                ::_exit(1);
            FlockInstances instances(places);
            std::string said(1, instances.prevInstance() ? '1' : '0');
            said += instances.heldLock().string();
            (void)!::write(report[1], said.data(), said.size());
            ::close(report[1]);
            char c;
            while (::read(hold[0], &c, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(report[1]);
        ::close(hold[0]);
        std::string said;
        char buffer[512];
        ssize_t n;
        while ((n = ::read(report[0], buffer, sizeof buffer)) > 0)
            said.append(buffer, static_cast<std::size_t>(n));
        ::close(report[0]);
        answer = said.empty() ? '!' : said[0];
        held = said.empty() ? "" : said.substr(1);
        holdOpen_ = hold[1];
    }

    void kill()
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(holdOpen_);
    }

private:
    int holdOpen_ = -1;
};

} // namespace

TEST(SingleInstance, OneCopyAtATimeAndACrashFreesTheLock)
{
    TempFolder t;
    auto lock = t / "dravik.lock";

    Copy first({lock});
    ASSERT_EQ(first.answer, '0') << "the first copy runs";
    FlockInstances here({lock});
    EXPECT_TRUE(here.prevInstance());
    EXPECT_TRUE(here.prevInstance()) << "still there";

    // Killed, it leaves its lock file behind; the kernel has dropped the lock.
    first.kill();
    EXPECT_TRUE(t.exists("dravik.lock"));
    EXPECT_FALSE(here.prevInstance());
    EXPECT_FALSE(here.prevInstance()) << "asking again in the same process";

    Copy third({lock});
    EXPECT_EQ(third.answer, '1') << "and now this process is the copy that runs";
    third.kill();
}

TEST(SingleInstance, AStartedProgramDoesNotKeepTheLock)
{
    TempFolder t;
    auto lock = t / "mulu.lock";
    auto fifo = t / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto here = std::make_unique<FlockInstances>(std::vector{lock});
    ASSERT_FALSE(here->prevInstance());

    // A program started from here, still running when this copy ends. The close-on-exec
    // pipe tells when the exec is done (until then the child has every descriptor).
    int execed[2];
    ASSERT_EQ(::pipe2(execed, O_CLOEXEC), 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", "read line <\"$0\"", fifo.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(execed[1]);
    char c;
    while (::read(execed[0], &c, 1) > 0) {
    }
    ::close(execed[0]);
    here.reset();
    EXPECT_FALSE(FlockInstances({lock}).prevInstance());

    int w = ::open(fifo.c_str(), O_WRONLY);
    ::close(w);
    ::waitpid(child, nullptr, 0);
}

// A place that cannot serve, or that holds another user's file, is passed over for the
// next one, and the next copy still finds the first there. Run as root, the copies run
// as a user of no account, so that folder modes hold for them as for a person.
TEST(SingleInstance, AnUnusableOrForeignLockFileIsPassedOverForTheNextPlace)
{
    namespace fs = std::filesystem;
    const bool root = ::geteuid() == 0;
    const uid_t user = root ? 54321 : ::geteuid();
    const uid_t stranger = 54322;
    const int as = root ? static_cast<int>(user) : -1;

    TempFolder t;
    if (root) // the copies' user passes through to its own folders
        fs::permissions(t.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    auto folder = [&](const char* name, fs::perms mode) {
        fs::create_directories(t / name);
        if (root) {
            EXPECT_EQ(::chown((t / name).c_str(), user, user), 0);
        }
        fs::permissions(t / name, mode);
        return t / name;
    };
    // A /tmp of the test's own, and the user's home.
    const fs::path shared = folder("shared", fs::perms::all | fs::perms::sticky_bit);
    const fs::path home = folder("home", fs::perms::owner_all);
    const fs::path inShared = shared / ("dravik-" + std::to_string(user) + ".lock");
    const fs::path inHome = home / ".dravik.lock";
    // Another user's lock file, readable and writable by all, as anyone may leave in /tmp.
    auto strangersFile = [&] {
        int fd = ::open(inShared.c_str(), O_RDWR | O_CREAT, 0666);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::fchown(fd, stranger, stranger), 0);
        EXPECT_EQ(::fchmod(fd, 0666), 0);
        return fd;
    };

    struct Case {
        const char* name;
        bool needsRoot;
        std::function<std::vector<fs::path>(int& strangerHolds)> places;
    };
    const std::vector<Case> cases = {
        {"runtime folder missing", false, [&](int&) { return std::vector{t / "gone/dravik.lock", inShared}; }},
        {"runtime folder read-only", false,
         [&](int&) {
             return std::vector{folder("read-only", fs::perms::owner_read | fs::perms::owner_exec) / "dravik.lock",
                                inShared};
         }},
        {"a symbolic link where the lock file goes", false,
         [&](int&) {
             const fs::path run = folder("linked", fs::perms::owner_all);
             t.write("target", "");
             fs::create_symlink(t / "target", run / "dravik.lock");
             return std::vector{run / "dravik.lock", inShared};
         }},
        {"another user's lock file", true,
         [&](int&) {
             ::close(strangersFile());
             return std::vector{inShared, inHome};
         }},
        {"another user's lock file, held by that user", true,
         [&](int& strangerHolds) {
             strangerHolds = strangersFile();
             EXPECT_EQ(::flock(strangerHolds, LOCK_EX | LOCK_NB), 0);
             return std::vector{inShared, inHome};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && !root) {
            std::cerr << "not run without root (another user's file needs chown): " << c.name << "\n";
            continue;
        }
        fs::remove(inShared);
        fs::remove(inHome);
        int strangerHolds = -1;
        const auto places = c.places(strangerHolds);

        Copy first(places, as);
        EXPECT_EQ(first.answer, '0') << "the first copy runs";
        EXPECT_EQ(first.held, places[1].string());
        Copy second(places, as);
        EXPECT_EQ(second.answer, '1') << "and the second sees it";
        second.kill();
        first.kill();
        if (strangerHolds >= 0)
            ::close(strangerHolds);
    }

    // Where no place serves, a copy runs rather than never: nothing can be locked.
    const std::vector places{t / "gone/dravik.lock", t / "read-only/dravik.lock"};
    Copy first(places, as);
    EXPECT_EQ(first.answer, '0');
    EXPECT_EQ(first.held, "");
    first.kill();
}

TEST(SingleInstance, TheLockPlacesAreNamedAfterTheProgram)
{
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = old != nullptr ? old : "";
    const std::filesystem::path tmp = "/tmp/platform_instances_test-" + std::to_string(::getuid()) + ".lock";
    const std::filesystem::path home = std::filesystem::path(::getpwuid(::geteuid())->pw_dir) / ".platform_instances_test.lock";

    ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(platform::instanceLockPlaces(),
              (std::vector<std::filesystem::path>{"/run/user/1000/platform_instances_test.lock", tmp, home}));
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::instanceLockPlaces(), (std::vector{tmp, home}));
    if (old != nullptr)
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

// One copy of a program at a time on Linux: the lock, its name, and a crashed holder freeing it.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/instances_linux.h"
#include "support/temp_folder.h"

using platform::FlockInstances;
using testsupport::TempFolder;

namespace {

// Another copy of the program: asks, reports its answer ('1' another copy runs, '0' it
// is the first), then holds on until it is killed.
struct Copy {
    pid_t pid = -1;
    char answer = '?';

    explicit Copy(const std::filesystem::path& lock)
    {
        int report[2], hold[2];
        if (::pipe(report) != 0 || ::pipe(hold) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::close(hold[1]);
            FlockInstances instances(lock);
            char a = instances.prevInstance() ? '1' : '0';
            (void)!::write(report[1], &a, 1);
            char c;
            while (::read(hold[0], &c, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(report[1]);
        ::close(hold[0]);
        if (::read(report[0], &answer, 1) != 1)
            answer = '!';
        ::close(report[0]);
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

    Copy first(lock);
    ASSERT_EQ(first.answer, '0') << "the first copy runs";
    FlockInstances here(lock);
    EXPECT_TRUE(here.prevInstance());
    EXPECT_TRUE(here.prevInstance()) << "still there";

    // Killed, it leaves its lock file behind; the kernel has dropped the lock.
    first.kill();
    EXPECT_TRUE(t.exists("dravik.lock"));
    EXPECT_FALSE(here.prevInstance());
    EXPECT_FALSE(here.prevInstance()) << "asking again in the same process";

    Copy third(lock);
    EXPECT_EQ(third.answer, '1') << "and now this process is the copy that runs";
    third.kill();
}

TEST(SingleInstance, AStartedProgramDoesNotKeepTheLock)
{
    TempFolder t;
    auto lock = t / "mulu.lock";
    auto fifo = t / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto here = std::make_unique<FlockInstances>(lock);
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
    EXPECT_FALSE(FlockInstances(lock).prevInstance());

    int w = ::open(fifo.c_str(), O_WRONLY);
    ::close(w);
    ::waitpid(child, nullptr, 0);
}

TEST(SingleInstance, TheLockFileIsNamedAfterTheProgram)
{
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = old != nullptr ? old : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(platform::instanceLockPath(), "/run/user/1000/platform_instances_test.lock");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::instanceLockPath(), "/tmp/platform_instances_test-" + std::to_string(::getuid()) + ".lock");
    if (old != nullptr)
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

#include "platform/linux/instances_linux.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

std::filesystem::path instanceLockPath()
{
    std::error_code ec;
    std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).filename().string();
    if (ec || program.empty())
        program = "corvane";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0')
        return std::filesystem::path(runtime) / (program + ".lock");
    // /tmp is shared by every user: one lock per user, as a runtime folder would give.
    return std::filesystem::path("/tmp") / (program + "-" + std::to_string(::getuid()) + ".lock");
}

FlockInstances::FlockInstances(std::filesystem::path lockFile) : lockFile_(std::move(lockFile)) {}

FlockInstances::~FlockInstances()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool FlockInstances::prevInstance()
{
    if (fd_ >= 0)
        return false;
    if (lockFile_.empty())
        lockFile_ = instanceLockPath();
    // Close-on-exec: a program we start must not carry our lock on after we end.
    int fd = ::open(lockFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    int r;
    while ((r = ::flock(fd, LOCK_EX | LOCK_NB)) < 0 && errno == EINTR) {
    }
    if (r == 0) {
        fd_ = fd;
        return false;
    }
    bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace platform

#include "platform/linux/instances_linux.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::filesystem::path homeFolder()
{
    // The account's own home, not $HOME: under sudo that may be the caller's.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr || found->pw_dir[0] != '/')
        return {};
    return found->pw_dir;
}

enum class Lock { Taken, HeldElsewhere, Unusable };

// Takes the lock at one place; on Taken, fd is the descriptor that holds it.
Lock lockAt(const std::filesystem::path& place, int& fd)
{
    // Close-on-exec: a program we start must not carry our lock on after we end.
    fd = ::open(place.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0)
        return Lock::Unusable;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return Lock::Unusable;
    }
    int r;
    while ((r = ::flock(fd, LOCK_EX | LOCK_NB)) < 0 && errno == EINTR) {
    }
    if (r == 0)
        return Lock::Taken;
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Lock::HeldElsewhere : Lock::Unusable;
}

} // namespace

std::vector<std::filesystem::path> instanceLockPlaces()
{
    std::error_code ec;
    std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).filename().string();
    if (ec || program.empty())
        program = "corvane";
    std::vector<std::filesystem::path> places;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0')
        places.push_back(std::filesystem::path(runtime) / (program + ".lock"));
    // /tmp is shared by every user: one lock per user, as a runtime folder would give.
    places.push_back(std::filesystem::path("/tmp") / (program + "-" + std::to_string(::getuid()) + ".lock"));
    if (auto home = homeFolder(); !home.empty())
        places.push_back(home / ("." + program + ".lock"));
    return places;
}

FlockInstances::FlockInstances(std::vector<std::filesystem::path> places) : places_(std::move(places)) {}

FlockInstances::~FlockInstances()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool FlockInstances::prevInstance()
{
    if (fd_ >= 0)
        return false;
    if (places_.empty())
        places_ = instanceLockPlaces();
    // Every copy tries the places in the same order, so the first that serves one
    // serves them all.
    for (const auto& place : places_) {
        int fd = -1;
        switch (lockAt(place, fd)) {
        case Lock::Taken:
            fd_ = fd;
            held_ = place;
            return false;
        case Lock::HeldElsewhere:
            return true;
        case Lock::Unusable:
            break;
        }
    }
    return false;
}

} // namespace platform

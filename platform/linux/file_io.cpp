#include "platform/file_io.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

FileStamp stampOf(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

int fdOf(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::optional<FileStamp> regularFileStamp(const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return stampOf(st);
}

// ---- InputFile -----------------------------------------------------------------------

std::optional<InputFile> InputFile::open(const std::filesystem::path& path)
{
    // Devices are not even opened (an open can have effects of its own); a FIFO put in
    // place meanwhile is caught after the open, which O_NONBLOCK keeps from waiting.
    if (!regularFileStamp(path))
        return std::nullopt;
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return InputFile(fd, stampOf(st));
}

std::optional<std::size_t> InputFile::read(char* buffer, std::size_t size)
{
    for (;;) {
        ssize_t n = ::read(fdOf(handle_), buffer, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return std::nullopt;
    }
}

std::optional<std::size_t> InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fdOf(handle_), buffer + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

InputFile::InputFile(InputFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), stamp_(other.stamp_)
{
}

InputFile& InputFile::operator=(InputFile&& other) noexcept
{
    if (this != &other) {
        if (handle_ >= 0)
            ::close(fdOf(handle_));
        handle_ = std::exchange(other.handle_, -1);
        stamp_ = other.stamp_;
    }
    return *this;
}

InputFile::~InputFile()
{
    if (handle_ >= 0)
        ::close(fdOf(handle_));
}

// ---- TemporaryFile -------------------------------------------------------------------

std::optional<TemporaryFile> TemporaryFile::create(const std::filesystem::path& path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return std::nullopt;
    // The lock marks the file as in use for as long as it is open. A save that cleared
    // away abandoned temporaries may have taken this one between the open and the lock:
    // then it is no longer ours.
    struct stat mine {}, there {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &mine) != 0 || ::stat(path.c_str(), &there) != 0 ||
        !sameFile(mine, there)) {
        ::close(fd);
        return std::nullopt;
    }
    return TemporaryFile(fd, path);
}

bool TemporaryFile::write(std::string_view bytes)
{
    if (handle_ < 0)
        return false;
    while (!bytes.empty()) {
        ssize_t n = ::write(fdOf(handle_), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool TemporaryFile::flush()
{
    return handle_ >= 0 && ::fsync(fdOf(handle_)) == 0;
}

bool TemporaryFile::commit(const std::filesystem::path& target, bool ownerOnly)
{
    if (handle_ < 0)
        return false;
    mode_t mode = 0600;
    if (!ownerOnly) {
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            // Nobody else may write a file the system made, whatever the umask: OpenVPN
            // runs what config.ovpn names, and the lookup trusts remote_ip.conf.
            mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0644 & ~mask;
        }
    }
    int fd = fdOf(handle_);
    bool ok = ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0 && ::rename(path_.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(path_.c_str());
    ok = ::close(std::exchange(handle_, -1)) == 0 && ok;
    return ok;
}

void TemporaryFile::discard()
{
    if (handle_ >= 0) {
        ::unlink(path_.c_str());
        ::close(fdOf(std::exchange(handle_, -1)));
    }
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_))
{
}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept
{
    if (this != &other) {
        discard();
        handle_ = std::exchange(other.handle_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

TemporaryFile::~TemporaryFile()
{
    discard();
}

// ---- KeptFile ------------------------------------------------------------------------

std::optional<KeptFile> KeptFile::link(const std::filesystem::path& file, const std::filesystem::path& name)
{
    // Without AT_SYMLINK_FOLLOW a symbolic link gets the second name itself.
    if (::linkat(AT_FDCWD, file.c_str(), AT_FDCWD, name.c_str(), 0) != 0)
        return std::nullopt;
    // Locked as a temporary is, so that no other save takes the name for abandoned. A
    // symbolic link cannot be opened, and no save removes one: it stays unlocked.
    int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0)
        return KeptFile(-1, name);
    struct stat mine {}, there {};
    if (::fstat(fd, &mine) == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(name.c_str(), &there) == 0 &&
        sameFile(mine, there))
        return KeptFile(fd, name);
    // Another save holds the file or took the name meanwhile: the caller tries another.
    if (::lstat(name.c_str(), &there) == 0 && sameFile(mine, there))
        ::unlink(name.c_str());
    ::close(fd);
    return std::nullopt;
}

bool KeptFile::restore(const std::filesystem::path& file)
{
    if (name_.empty() || ::rename(name_.c_str(), file.c_str()) != 0)
        return false;
    name_.clear();
    release();
    return true;
}

void KeptFile::release()
{
    if (!name_.empty())
        ::unlink(name_.c_str());
    name_.clear();
    if (handle_ >= 0)
        ::close(fdOf(std::exchange(handle_, -1)));
}

KeptFile::KeptFile(KeptFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), name_(std::exchange(other.name_, {}))
{
}

KeptFile& KeptFile::operator=(KeptFile&& other) noexcept
{
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, -1);
        name_ = std::exchange(other.name_, {});
    }
    return *this;
}

KeptFile::~KeptFile()
{
    release();
}

// ---- folders -------------------------------------------------------------------------

std::vector<std::filesystem::path> folderEntries(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        std::string_view name = e->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

bool removeAbandonedTemporary(const std::filesystem::path& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat held {}, there {};
    // Holding the lock, the file is ours to remove as long as the name still leads to it.
    bool removed = ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                   ::lstat(path.c_str(), &there) == 0 && sameFile(held, there) && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

bool createFolders(const std::filesystem::path& folder)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (folder.has_parent_path() && folder.parent_path() != folder && !createFolders(folder.parent_path()))
        return false;
    // What stands in for C:\windows holds the console password and the last address:
    // another user must not be able to replace them, whatever the umask lets through.
    if (::mkdir(folder.c_str(), 0755) == 0)
        return true;
    return errno == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isOwnerOnly(const std::filesystem::path& file)
{
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600;
}

} // namespace platform

#pragma once
// A file that nobody, root included, may replace, rename or remove while it is set (the
// immutable attribute): what a save meets in a file it cannot put its new version over,
// after it has replaced another. Linux only; it needs root (CAP_LINUX_IMMUTABLE) and a
// file system that keeps the attribute (ext4, btrfs, xfs).

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <utility>

namespace testsupport {

class ImmutableFile {
public:
    // Nothing where the attribute cannot be set; a test then skips.
    static std::optional<ImmutableFile> make(const std::filesystem::path& file)
    {
        if (!setImmutable(file, true))
            return std::nullopt;
        return ImmutableFile(file);
    }

    ImmutableFile(ImmutableFile&& other) noexcept : file_(std::exchange(other.file_, {})) {}
    ImmutableFile& operator=(ImmutableFile&&) = delete;
    // Clears the attribute again, so that the test's folder can be removed.
    ~ImmutableFile()
    {
        if (!file_.empty())
            setImmutable(file_, false);
    }

private:
    explicit ImmutableFile(std::filesystem::path file) : file_(std::move(file)) {}

    static bool setImmutable(const std::filesystem::path& file, bool on)
    {
        int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }

    std::filesystem::path file_;
};

} // namespace testsupport

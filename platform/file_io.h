#pragma once
// The few file-system calls below the text files, one implementation per operating system
// (platform/linux/file_io.cpp, platform/windows/file_io_windows.cpp). Paths are local ones (see localPath).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What tells one state of a file from another without reading it.
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t id = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    bool operator==(const FileStamp&) const = default;
};

// The stamp of a regular file; nothing when there is none (missing, a folder, a FIFO,
// a device, a socket).
std::optional<FileStamp> regularFileStamp(const std::filesystem::path& path);

class InputFile {
public:
    // Regular files only, and the open never waits: whatever else stands at the path
    // fails as a missing file does.
    static std::optional<InputFile> open(const std::filesystem::path& path);

    // As it was when opened.
    const FileStamp& stamp() const { return stamp_; }
    // Up to size bytes from the current position; 0 at the end, nothing on an error.
    std::optional<std::size_t> read(char* buffer, std::size_t size);
    // Up to size bytes from offset, fewer only at the end; nothing on an error.
    std::optional<std::size_t> readAt(std::uint64_t offset, char* buffer, std::size_t size);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    ~InputFile();

private:
    InputFile(std::intptr_t handle, FileStamp stamp) : handle_(handle), stamp_(stamp) {}
    std::intptr_t handle_ = -1;
    FileStamp stamp_;
};

// A new file beside a target, written and then renamed over the target, so that the
// target is never half-written. While it is open no other save takes it for abandoned.
class TemporaryFile {
public:
    // A file of that name that did not exist before; nothing when it exists, or the
    // folder is missing or not writable.
    static std::optional<TemporaryFile> create(const std::filesystem::path& path);

    const std::filesystem::path& path() const { return path_; }
    bool write(std::string_view bytes);
    // Flushes what was written to the disk, so that a full disk shows before any file of a
    // save is replaced.
    bool flush();
    // Flushes the data to the disk, gives the file the target's permissions (or the
    // owner's only) and renames it over the target. The temporary is gone either way.
    bool commit(const std::filesystem::path& target, bool ownerOnly);
    // Removes the temporary, keeping the target as it was.
    void discard();

    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&& other) noexcept;
    ~TemporaryFile();

private:
    TemporaryFile(std::intptr_t handle, std::filesystem::path path) : handle_(handle), path_(std::move(path)) {}
    std::intptr_t handle_ = -1;
    std::filesystem::path path_;
};

// Where the saves make their new files: the file system itself (TemporaryFile::create),
// unless a test has installed another in front of it for a while (platform/fakes: a
// folder that refuses them as a read-only folder does, even to root). A program installs
// none.
class TemporaryFiles {
public:
    virtual ~TemporaryFiles() = default;
    virtual std::optional<TemporaryFile> create(const std::filesystem::path& path) = 0;
};

// The old version of a file, kept under a second name beside it while a save of several
// files puts their new versions in place, so that the save can put it back when a later
// one fails. It is a second name of the same file (a symbolic link is kept as the link),
// so the file stays at its own name meanwhile, with its owner, permissions and identity.
class KeptFile {
public:
    // Nothing when the name exists already, or the file system or the file refuses a
    // second name (no hard links there, an immutable file).
    static std::optional<KeptFile> link(const std::filesystem::path& file, const std::filesystem::path& name);

    // Puts the kept file back at `file`, in place of what stands there now.
    bool restore(const std::filesystem::path& file);

    KeptFile(KeptFile&& other) noexcept;
    KeptFile& operator=(KeptFile&& other) noexcept;
    // Removes the second name unless the file was put back; the file itself stays.
    ~KeptFile();

private:
    KeptFile(std::intptr_t handle, std::filesystem::path name) : handle_(handle), name_(std::move(name)) {}
    void release();
    std::intptr_t handle_ = -1;
    std::filesystem::path name_;
};

// The names in a folder (no "." and ".."), as the file system holds them; empty when it
// cannot be listed.
std::vector<std::filesystem::path> folderEntries(const std::filesystem::path& folder);

// Removes a temporary file that no save holds open any more; false when it is in use,
// gone, or no regular file.
bool removeAbandonedTemporary(const std::filesystem::path& path);

// Creates the folder and its missing parents; true when it exists afterwards. On Linux the
// new folders are 0755 at most, whatever the umask: no one but their owner may put a file
// there (on Windows they take their parent's access list).
bool createFolders(const std::filesystem::path& folder);

// True when the file's owner alone may read or write it (what a password file gets).
bool isOwnerOnly(const std::filesystem::path& file);

} // namespace platform

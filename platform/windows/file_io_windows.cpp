// The file calls below the text files on Windows: wide paths, regular files only, and
// saves into a temporary file that MoveFileExW puts in place of the old one.

#include "platform/file_io.h"

#include <windows.h>

#include <utility>

#include "platform/windows/file_access_windows.h"

namespace platform {

namespace {

HANDLE handleOf(std::intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

std::intptr_t valueOf(HANDLE h)
{
    return reinterpret_cast<std::intptr_t>(h);
}

constexpr std::intptr_t noHandle = -1; // INVALID_HANDLE_VALUE

std::int64_t nanoseconds(const FILETIME& t)
{
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<std::int64_t>(v.QuadPart) * 100;
}

// The stamp of an open handle, when it is a regular file on a disk.
std::optional<FileStamp> stampOf(HANDLE h)
{
    BY_HANDLE_FILE_INFORMATION info {};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    return FileStamp {info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                      (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                      nanoseconds(info.ftLastWriteTime)};
}

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

std::optional<FileStamp> regularFileStamp(const std::filesystem::path& path)
{
    // No access asked: this opens no device and waits for nothing.
    HANDLE h = ::CreateFileW(path.c_str(), 0, shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    auto stamp = stampOf(h);
    ::CloseHandle(h);
    return stamp;
}

// ---- InputFile -----------------------------------------------------------------------

std::optional<InputFile> InputFile::open(const std::filesystem::path& path)
{
    if (!regularFileStamp(path))
        return std::nullopt;
    // The VPN service may be writing its log meanwhile.
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    auto stamp = stampOf(h);
    if (!stamp) {
        ::CloseHandle(h);
        return std::nullopt;
    }
    return InputFile(valueOf(h), *stamp);
}

std::optional<std::size_t> InputFile::read(char* buffer, std::size_t size)
{
    DWORD got = 0;
    DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!::ReadFile(handleOf(handle_), buffer, want, &got, nullptr))
        return std::nullopt;
    return got;
}

std::optional<std::size_t> InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        OVERLAPPED at {};
        std::uint64_t where = offset + got;
        at.Offset = static_cast<DWORD>(where & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>(where >> 32);
        DWORD want = size - got > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size - got);
        DWORD n = 0;
        if (!::ReadFile(handleOf(handle_), buffer + got, want, &n, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF)
                break;
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

InputFile::InputFile(InputFile&& other) noexcept : handle_(std::exchange(other.handle_, noHandle)), stamp_(other.stamp_)
{
}

InputFile& InputFile::operator=(InputFile&& other) noexcept
{
    if (this != &other) {
        if (handle_ != noHandle)
            ::CloseHandle(handleOf(handle_));
        handle_ = std::exchange(other.handle_, noHandle);
        stamp_ = other.stamp_;
    }
    return *this;
}

InputFile::~InputFile()
{
    if (handle_ != noHandle)
        ::CloseHandle(handleOf(handle_));
}

// ---- TemporaryFile -------------------------------------------------------------------

std::optional<TemporaryFile> TemporaryFile::create(const std::filesystem::path& path)
{
    // Made with the access list of a password file, whatever it will hold, so that a
    // password is never in a file that others may read; commit() opens a shared file up.
    win::PasswordFileSecurity security;
    if (!security.valid())
        return std::nullopt;
    // Shared for deletion only, so that MoveFileExW can rename it while it is open, and
    // no other save can open it to take it for abandoned.
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, security.attributes(),
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    return TemporaryFile(valueOf(h), path);
}

bool TemporaryFile::write(std::string_view bytes)
{
    if (handle_ == noHandle)
        return false;
    while (!bytes.empty()) {
        DWORD want = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
        DWORD n = 0;
        if (!::WriteFile(handleOf(handle_), bytes.data(), want, &n, nullptr) || n == 0)
            return false;
        bytes.remove_prefix(n);
    }
    return true;
}

bool TemporaryFile::commit(const std::filesystem::path& target, bool ownerOnly)
{
    if (handle_ == noHandle)
        return false;
    HANDLE h = handleOf(handle_);
    bool ok = ::FlushFileBuffers(h) != FALSE;
    if (ok && !ownerOnly)
        win::giveSharedAccess(path_, target);
    ok = ok && ::MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    ::CloseHandle(std::exchange(h, nullptr));
    handle_ = noHandle;
    if (!ok)
        ::DeleteFileW(path_.c_str());
    return ok;
}

void TemporaryFile::discard()
{
    if (handle_ != noHandle) {
        ::CloseHandle(handleOf(std::exchange(handle_, noHandle)));
        ::DeleteFileW(path_.c_str());
    }
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : handle_(std::exchange(other.handle_, noHandle)), path_(std::move(other.path_))
{
}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept
{
    if (this != &other) {
        discard();
        handle_ = std::exchange(other.handle_, noHandle);
        path_ = std::move(other.path_);
    }
    return *this;
}

TemporaryFile::~TemporaryFile()
{
    discard();
}

// ---- folders -------------------------------------------------------------------------

std::vector<std::filesystem::path> folderEntries(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> names;
    WIN32_FIND_DATAW found {};
    HANDLE h = ::FindFirstFileW((folder / L"*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..")
            names.emplace_back(std::wstring(name));
    } while (::FindNextFileW(h, &found));
    ::FindClose(h);
    return names;
}

bool removeAbandonedTemporary(const std::filesystem::path& path)
{
    // Shared with nobody: the open fails while a save still holds the file.
    HANDLE h = ::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info {};
    bool regular = ::GetFileInformationByHandle(h, &info) &&
                   (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    FILE_DISPOSITION_INFO dispose {};
    dispose.DeleteFile = TRUE;
    bool removed = regular && ::SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose);
    ::CloseHandle(h);
    return removed;
}

bool createFolders(const std::filesystem::path& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

bool isOwnerOnly(const std::filesystem::path& file)
{
    return win::isOwnerOnly(file);
}

// ---- saves of several files -----------------------------------------------------------

bool TemporaryFile::flush()
{
    return handle_ != noHandle && ::FlushFileBuffers(handleOf(handle_)) != FALSE;
}

std::optional<KeptFile> KeptFile::link(const std::filesystem::path& file, const std::filesystem::path& name)
{
    // No handle is kept open on it: an open handle would keep the file from being replaced.
    if (!::CreateHardLinkW(name.c_str(), file.c_str(), nullptr))
        return std::nullopt;
    return KeptFile(noHandle, name);
}

bool KeptFile::restore(const std::filesystem::path& file)
{
    if (name_.empty() ||
        !::MoveFileExW(name_.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    name_.clear();
    return true;
}

void KeptFile::release()
{
    if (!name_.empty())
        ::DeleteFileW(name_.c_str());
    name_.clear();
}

KeptFile::KeptFile(KeptFile&& other) noexcept
    : handle_(std::exchange(other.handle_, noHandle)), name_(std::exchange(other.name_, {}))
{
}

KeptFile& KeptFile::operator=(KeptFile&& other) noexcept
{
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, noHandle);
        name_ = std::exchange(other.name_, {});
    }
    return *this;
}

KeptFile::~KeptFile()
{
    release();
}

} // namespace platform

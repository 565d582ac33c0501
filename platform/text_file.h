#pragma once
// Text files as the file system object's text streams give them: code page 936, lines
// ending in CR LF (a read also accepts LF alone). A rewrite goes to a temporary file in
// the same folder that replaces the old file only when it is closed, so a failure never
// leaves a half-written or emptied file behind.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class FileAccess {
    Shared,    // the usual permissions
    OwnerOnly, // for files that hold a password: readable by their owner only
};

class TextReader {
public:
    // Fails (nothing) when the file is missing or cannot be read. The path is one as
    // the system writes it (see localPath).
    static std::optional<TextReader> open(std::u16string_view path);

    // The next line without its line end; false once the last line has been read.
    // A last line without CR LF is read whole.
    bool readLine(std::u16string& line);
    void close();

    TextReader(TextReader&& other) noexcept;
    TextReader& operator=(TextReader&& other) noexcept;
    ~TextReader();

private:
    explicit TextReader(std::FILE* file);
    std::FILE* file_ = nullptr;
};

class TextWriter {
public:
    // Fails (nothing) when the folder is missing or not writable. The old file, if any,
    // stays untouched until close().
    static std::optional<TextWriter> create(std::u16string_view path, FileAccess access = FileAccess::Shared);

    // The text and CR LF. Fails when the text holds a character that code page 936
    // cannot write, or the disk refuses it; a failed writer never replaces the file.
    bool writeLine(std::u16string_view text);
    // A number as its decimal digits.
    bool writeLine(long long number);
    // Puts the new file in place of the old one; false (and the old file kept) when any
    // write or the replacement failed.
    bool close();

    TextWriter(TextWriter&& other) noexcept;
    TextWriter& operator=(TextWriter&& other) noexcept;
    // Without close() the temporary file is removed and the old file stays.
    ~TextWriter();

private:
    TextWriter(std::FILE* file, std::filesystem::path target, std::filesystem::path temporary, FileAccess access);
    void discard();
    std::FILE* file_ = nullptr;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    FileAccess access_ = FileAccess::Shared;
    bool failed_ = false;
};

// The whole file as bytes; nothing when it is missing or unreadable.
std::optional<std::string> readFileBytes(std::u16string_view path);
// Replaces the file with these bytes, atomically (temporary file and rename).
bool replaceFileBytes(std::u16string_view path, std::string_view bytes, FileAccess access = FileAccess::Shared);

// The last maxLines lines of a text file, oldest first, read from its end so that the
// cost does not grow with the size of the file. Nothing when the file is missing.
std::optional<std::vector<std::u16string>> readLastLines(std::u16string_view path, std::size_t maxLines);

// True only when nothing at all stands at the path: no file, folder, FIFO or link, and
// its folder could be searched. A file that exists but cannot be opened is not missing.
bool fileIsMissing(std::u16string_view path);

// Tests run as root on CI, where a read-only folder is no obstacle: this makes every
// rewrite of a file in the given folder fail as a read-only folder would.
void simulateReadOnlyFolder(std::optional<std::filesystem::path> folder);

} // namespace platform

#pragma once
// Text files as the file system object's text streams give them: code page 936, lines
// ending in CR LF (a read also accepts LF alone). A rewrite goes to a temporary file in
// the same folder that replaces the old file only when it is closed, so a failure never
// leaves a half-written or emptied file behind.
//
// Files come from outside and may be anything: only regular files are read (a FIFO, a
// device or a folder cannot be opened), a line is cut at MaxLineBytes, a tail read never
// reaches back more than MaxTailBytes and a whole-file read refuses a file larger than
// MaxFileBytes.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "platform/file_save.h"

namespace platform {

inline constexpr std::size_t MaxLineBytes = 4096;
inline constexpr std::uint64_t MaxTailBytes = 4u << 20;
inline constexpr std::uint64_t MaxFileBytes = 4u << 20;

// Splits bytes into the lines a reader gives: LF ends a line and a CR before it is
// dropped; a line longer than MaxLineBytes keeps its start, cut between two characters.
class LineSplitter {
public:
    // `start` is the offset of the first byte fed; with skipFirst those bytes begin inside
    // a line whose start is unknown, and that line is left out.
    explicit LineSplitter(std::uint64_t start = 0, bool skipFirst = false);

    // Takes bytes from the front of `bytes` up to the end of the current line; true when
    // a line ended, which line() and lineStart() then give.
    bool take(std::string_view& bytes);
    std::string_view line() const;
    std::uint64_t lineStart() const { return start_; }
    // The line begun and not yet ended by LF (the last line of a file without a line
    // end); nothing when no byte of it has come yet.
    std::optional<std::string_view> unfinished() const;
    // The offset of the next byte to feed.
    std::uint64_t offset() const { return offset_; }

private:
    std::string kept_; // the line's first bytes, as many as deciding its cut needs
    std::uint64_t length_ = 0;
    std::uint64_t start_ = 0;
    std::uint64_t offset_ = 0;
    bool skipping_ = false;
    bool ended_ = false;
};

class TextReader {
public:
    // Fails (nothing) when the file is missing, no regular file or cannot be read. The
    // path is one as the system writes it (see localPath).
    static std::optional<TextReader> open(std::u16string_view path);

    // The next line without its line end; false once the last line has been read.
    // A last line without CR LF is read whole.
    bool readLine(std::u16string& line);
    void close();

private:
    explicit TextReader(InputFile file) : file_(std::move(file)) {}
    std::optional<InputFile> file_;
    LineSplitter splitter_;
    std::string buffer_;
    std::size_t used_ = 0;
};

// A file to be rewritten, resolved once from the path the system writes.
struct SaveTarget {
    std::filesystem::path file;
    std::filesystem::path folder;
    std::filesystem::path::string_type temporaryPrefix; // ".<file name>." of its temporaries
    bool inWindowsFolder = false;                        // the folder is made when missing
};

class TextWriter {
public:
    // Fails (nothing) when the folder is missing or not writable. The old file, if any,
    // stays untouched until close(). The folder that stands in for C:\windows is created
    // when missing; temporary files left beside this file by saves that never ended are
    // removed.
    static std::optional<TextWriter> create(std::u16string_view path, FileAccess access = FileAccess::Shared);

    // The text and CR LF. Fails when the text holds a character that code page 936
    // cannot write, or the disk refuses it; a failed writer never replaces the file.
    bool writeLine(std::u16string_view text);
    // A number as its decimal digits.
    bool writeLine(long long number);
    // The bytes as they are (a file rewritten whole).
    bool writeBytes(std::string_view bytes);
    // Puts the new file in place of the old one; false (and the old file kept) when any
    // write or the replacement failed.
    bool close();
    // Why a write or the close failed.
    WriteFailure failure() const { return failure_; }

    TextWriter(TextWriter&& other) noexcept = default;
    TextWriter& operator=(TextWriter&& other) noexcept = default;
    // Without close() the temporary file is removed and the old file stays.
    ~TextWriter() = default;

private:
    TextWriter(TemporaryFile file, SaveTarget target, FileAccess access);
    bool flush();
    bool finish(bool toDisk);
    bool place();
    friend std::optional<std::size_t> closeTogether(std::span<TextWriter> writers);

    std::optional<TemporaryFile> file_;
    SaveTarget target_;
    FileAccess access_ = FileAccess::Shared;
    std::string buffer_;
    WriteFailure failure_ = WriteFailure::None;
};

// Closes the writers as one save: every file is written and flushed to the disk before
// the first replaces its old version, and when one cannot take its place, those put in
// place before it get their old files back (one that did not exist is removed again).
// Nothing when all are in place; else the position of the writer that failed, whose
// failure() says why. Every writer is closed afterwards.
std::optional<std::size_t> closeTogether(std::span<TextWriter> writers);

// The whole file as bytes; nothing when it is missing, unreadable or larger than
// MaxFileBytes.
std::optional<std::string> readFileBytes(std::u16string_view path);
// Replaces the file with these bytes, atomically (temporary file and rename).
bool replaceFileBytes(std::u16string_view path, std::string_view bytes, FileAccess access = FileAccess::Shared);

// Where a tail read of a file of `end` bytes begins: only the lines that begin after
// this offset (or at 0 when it is 0) are seen.
std::uint64_t tailFrom(std::uint64_t end);

struct TailLine {
    std::uint64_t start = 0; // the offset of its first byte
    std::string bytes;       // cut as LineSplitter cuts it
};

// Feeds all of `bytes` to the splitter: the lines they end, and last the unfinished line
// when one is begun (it stays unfinished in the splitter, for the bytes that follow).
std::vector<TailLine> takeLines(LineSplitter& splitter, std::string_view bytes);

// The last maxLines lines of the first `end` bytes of the file, oldest first, read from
// the end (see tailFrom). The last one is the unfinished line when the file does not end
// in LF; `splitter` is left at `end` with that line not ended, so that bytes appended
// later can be fed to it.
std::optional<std::vector<TailLine>> readTail(InputFile& file, std::uint64_t end, std::size_t maxLines,
                                              LineSplitter& splitter);

// True only when nothing at all stands at the path (no file, folder, FIFO or link) and
// its folders could be searched. A file that exists but cannot be opened is not missing.
bool fileIsMissing(std::u16string_view path);

} // namespace platform

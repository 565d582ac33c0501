#include "platform/text_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace platform {

namespace {

bool readRawLine(std::FILE* f, std::string& bytes)
{
    bytes.clear();
    int c = std::getc(f);
    if (c == EOF)
        return false;
    while (c != EOF && c != '\n') {
        bytes += static_cast<char>(c);
        c = std::getc(f);
    }
    if (!bytes.empty() && bytes.back() == '\r')
        bytes.pop_back();
    return true;
}

mode_t modeFor(const std::filesystem::path& target, FileAccess access)
{
    if (access == FileAccess::OwnerOnly)
        return 0600;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0)
        return st.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::optional<std::filesystem::path>& readOnlyFolder()
{
    static std::optional<std::filesystem::path> folder;
    return folder;
}

bool writable(const std::filesystem::path& target)
{
    if (!readOnlyFolder())
        return true;
    std::error_code ec;
    auto a = std::filesystem::weakly_canonical(target.parent_path(), ec);
    auto b = std::filesystem::weakly_canonical(*readOnlyFolder(), ec);
    return a != b;
}

// A temporary file beside the target, so that the rename cannot cross file systems.
std::FILE* openTemporary(const std::filesystem::path& target, std::filesystem::path& temporary)
{
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    if (target.parent_path().empty())
        pattern = "." + target.filename().string() + ".XXXXXX";
    if (!writable(target))
        return nullptr;
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (f == nullptr) {
        ::close(fd);
        ::unlink(pattern.c_str());
        return nullptr;
    }
    temporary = pattern;
    return f;
}

bool commit(std::FILE* f, const std::filesystem::path& temporary, const std::filesystem::path& target, FileAccess access)
{
    bool ok = std::fflush(f) == 0;
    ok = ok && ::fchmod(::fileno(f), modeFor(target, access)) == 0;
    ok = ok && ::fsync(::fileno(f)) == 0;
    ok = (std::fclose(f) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

} // namespace

namespace {
// A file for reading; a folder of that name is no file.
std::FILE* openExisting(std::u16string_view path)
{
    auto local = localPath(path);
    std::error_code ec;
    if (std::filesystem::is_directory(local, ec))
        return nullptr;
    return std::fopen(local.c_str(), "rb");
}
} // namespace

void simulateReadOnlyFolder(std::optional<std::filesystem::path> folder)
{
    readOnlyFolder() = std::move(folder);
}

// ---- TextReader -------------------------------------------------------------------

TextReader::TextReader(std::FILE* file) : file_(file) {}

TextReader::TextReader(TextReader&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}

TextReader& TextReader::operator=(TextReader&& other) noexcept
{
    if (this != &other) {
        close();
        file_ = std::exchange(other.file_, nullptr);
    }
    return *this;
}

TextReader::~TextReader()
{
    close();
}

std::optional<TextReader> TextReader::open(std::u16string_view path)
{
    std::FILE* f = openExisting(path);
    if (f == nullptr)
        return std::nullopt;
    return TextReader(f);
}

bool TextReader::readLine(std::u16string& line)
{
    if (file_ == nullptr)
        return false;
    std::string bytes;
    if (!readRawLine(file_, bytes))
        return false;
    line = fromAnsi(bytes);
    return true;
}

void TextReader::close()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

// ---- TextWriter -------------------------------------------------------------------

TextWriter::TextWriter(std::FILE* file, std::filesystem::path target, std::filesystem::path temporary, FileAccess access)
    : file_(file), target_(std::move(target)), temporary_(std::move(temporary)), access_(access)
{
}

TextWriter::TextWriter(TextWriter&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)), access_(other.access_), failed_(other.failed_)
{
}

TextWriter& TextWriter::operator=(TextWriter&& other) noexcept
{
    if (this != &other) {
        discard();
        file_ = std::exchange(other.file_, nullptr);
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        access_ = other.access_;
        failed_ = other.failed_;
    }
    return *this;
}

TextWriter::~TextWriter()
{
    discard();
}

void TextWriter::discard()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
        ::unlink(temporary_.c_str());
    }
}

std::optional<TextWriter> TextWriter::create(std::u16string_view path, FileAccess access)
{
    auto target = localPath(path);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec))
        return std::nullopt;
    std::filesystem::path temporary;
    std::FILE* f = openTemporary(target, temporary);
    if (f == nullptr)
        return std::nullopt;
    return TextWriter(f, std::move(target), std::move(temporary), access);
}

bool TextWriter::writeLine(std::u16string_view text)
{
    if (file_ == nullptr || failed_)
        return false;
    auto bytes = toAnsi(text);
    if (!bytes) {
        failed_ = true;
        return false;
    }
    bytes->append("\r\n");
    if (std::fwrite(bytes->data(), 1, bytes->size(), file_) != bytes->size()) {
        failed_ = true;
        return false;
    }
    return true;
}

bool TextWriter::writeLine(long long number)
{
    return writeLine(text::number(number));
}

bool TextWriter::close()
{
    if (file_ == nullptr)
        return false;
    if (failed_) {
        discard();
        return false;
    }
    std::FILE* f = std::exchange(file_, nullptr);
    return commit(f, temporary_, target_, access_);
}

// ---- whole files --------------------------------------------------------------------

std::optional<std::string> readFileBytes(std::u16string_view path)
{
    std::FILE* f = openExisting(path);
    if (f == nullptr)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    bool ok = std::ferror(f) == 0;
    std::fclose(f);
    if (!ok)
        return std::nullopt;
    return bytes;
}

bool replaceFileBytes(std::u16string_view path, std::string_view bytes, FileAccess access)
{
    auto target = localPath(path);
    std::filesystem::path temporary;
    std::FILE* f = openTemporary(target, temporary);
    if (f == nullptr)
        return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::fclose(f);
        ::unlink(temporary.c_str());
        return false;
    }
    return commit(f, temporary, target, access);
}

bool fileIsMissing(std::u16string_view path)
{
    std::error_code ec;
    return std::filesystem::symlink_status(localPath(path), ec).type() == std::filesystem::file_type::not_found;
}

std::optional<std::vector<std::u16string>> readLastLines(std::u16string_view path, std::size_t maxLines)
{
    std::FILE* f = openExisting(path);
    if (f == nullptr)
        return std::nullopt;
    std::vector<std::u16string> lines;
    if (maxLines == 0 || std::fseek(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        return lines;
    }
    long end = std::ftell(f);
    // Read backwards in blocks until the block holds more line ends than lines wanted
    // (one more, since the last line may end in one).
    std::string tail;
    long pos = end;
    const long block = 1 << 16;
    std::size_t newlines = 0;
    while (pos > 0 && newlines <= maxLines) {
        long from = pos > block ? pos - block : 0;
        std::string chunk(static_cast<std::size_t>(pos - from), '\0');
        std::fseek(f, from, SEEK_SET);
        std::size_t got = std::fread(chunk.data(), 1, chunk.size(), f);
        chunk.resize(got);
        for (char c : chunk)
            if (c == '\n')
                ++newlines;
        tail.insert(0, chunk);
        pos = from;
        if (got == 0)
            break;
    }
    std::fclose(f);
    // Split into lines; a text that ends in a line end has no empty last line.
    std::vector<std::string> raw;
    std::size_t start = 0;
    while (start < tail.size()) {
        std::size_t nl = tail.find('\n', start);
        if (nl == std::string::npos) {
            raw.push_back(tail.substr(start));
            break;
        }
        raw.push_back(tail.substr(start, nl - start));
        start = nl + 1;
    }
    // The first piece may be the end of a longer line when reading stopped mid-file.
    std::size_t first = 0;
    if (pos > 0 && !raw.empty())
        first = 1;
    if (raw.size() - first > maxLines)
        first = raw.size() - maxLines;
    for (std::size_t i = first; i < raw.size(); ++i) {
        std::string& r = raw[i];
        if (!r.empty() && r.back() == '\r')
            r.pop_back();
        lines.push_back(fromAnsi(r));
    }
    return lines;
}

} // namespace platform

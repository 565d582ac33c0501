#include "platform/text_file.h"

#include <algorithm>
#include <random>
#include <utility>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/service.h"
#include "platform/text.h"

namespace platform {

namespace {

constexpr std::size_t BlockBytes = 1 << 16;

// The line's bytes as a reader gives them, from its first bytes and its length.
std::string_view cut(std::string_view kept, std::uint64_t length)
{
    if (length <= MaxLineBytes) {
        if (!kept.empty() && kept.back() == '\r')
            kept.remove_suffix(1);
        return kept;
    }
    // Never half a character: a lead byte whose second byte lies past the cut goes too.
    std::size_t i = 0;
    while (i < MaxLineBytes) {
        auto b = static_cast<unsigned char>(kept[i]);
        std::size_t next = i + (b >= 0x81 && b <= 0xFE ? 2 : 1);
        if (next > MaxLineBytes)
            break;
        i = next;
    }
    return kept.substr(0, i);
}

// Names are made of the path's own pieces, never through a conversion of the whole path
// (on Windows path::string() would give the ANSI code page).
using NativeName = std::filesystem::path::string_type;

void appendAscii(NativeName& name, std::string_view ascii)
{
    for (char c : ascii)
        name += static_cast<NativeName::value_type>(c);
}

// Temporaries are named ".<file name>.<RandomChars random letters and digits>.tmp", so
// that a save knows its own file's leftovers and never takes another file's. The old
// file that a save of several files keeps aside bears such a name too.
constexpr std::size_t RandomChars = 8;
constexpr std::string_view TemporarySuffix = ".tmp";

SaveTarget saveTarget(std::u16string_view path)
{
    LocalPath local = resolvePath(path);
    SaveTarget target;
    target.folder = local.file.has_parent_path() ? local.file.parent_path() : std::filesystem::path(".");
    appendAscii(target.temporaryPrefix, ".");
    target.temporaryPrefix += local.file.filename().native();
    appendAscii(target.temporaryPrefix, ".");
    target.file = std::move(local.file);
    target.inWindowsFolder = local.inWindowsFolder;
    return target;
}

bool isTemporaryOf(const NativeName& name, const NativeName& prefix)
{
    if (name.size() != prefix.size() + RandomChars + TemporarySuffix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    auto c = name.begin() + static_cast<std::ptrdiff_t>(prefix.size());
    for (std::size_t i = 0; i < RandomChars; ++i, ++c)
        if (!((*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9')))
            return false;
    return std::equal(TemporarySuffix.begin(), TemporarySuffix.end(), c, name.end(),
                      [](char a, NativeName::value_type b) { return static_cast<NativeName::value_type>(a) == b; });
}

std::filesystem::path temporaryName(const SaveTarget& target)
{
    static constexpr std::string_view chars = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    NativeName name = target.temporaryPrefix;
    std::uniform_int_distribution<std::size_t> pick(0, chars.size() - 1);
    for (std::size_t i = 0; i < RandomChars; ++i)
        name += static_cast<NativeName::value_type>(chars[pick(random)]);
    appendAscii(name, TemporarySuffix);
    return target.folder / name;
}

// A save killed half-way leaves its temporary behind; the next save of the same file
// removes it, unless another save still writes it.
void removeStaleTemporaries(const SaveTarget& target)
{
    for (const auto& name : folderEntries(target.folder))
        if (isTemporaryOf(name.native(), target.temporaryPrefix))
            removeAbandonedTemporary(target.folder / name);
}

std::optional<TemporaryFile> newTemporary(const SaveTarget& target)
{
    auto create = [](const std::filesystem::path& path) {
        return hasService<TemporaryFiles>() ? service<TemporaryFiles>().create(path) : TemporaryFile::create(path);
    };
    for (int attempt = 0; attempt < 8; ++attempt)
        if (auto file = create(temporaryName(target)))
            return file;
    return std::nullopt;
}

// The temporary beside the target, so that the rename cannot cross file systems.
std::optional<TemporaryFile> beginSave(const SaveTarget& target)
{
    std::error_code ec;
    if (std::filesystem::is_directory(target.file, ec))
        return std::nullopt;
    if (target.inWindowsFolder)
        createFolders(windowsFolder());
    removeStaleTemporaries(target);
    return newTemporary(target);
}

std::optional<InputFile> openForReading(std::u16string_view path)
{
    return InputFile::open(localPath(path));
}

// The rest of the file; nothing on an error or when it holds more than MaxFileBytes.
std::optional<std::string> readRest(InputFile& file)
{
    if (file.stamp().size > MaxFileBytes)
        return std::nullopt;
    std::string bytes;
    std::string block(BlockBytes, '\0');
    for (;;) {
        auto got = file.read(block.data(), block.size());
        if (!got)
            return std::nullopt;
        if (*got == 0)
            return bytes;
        // It may have grown since it was opened.
        if (bytes.size() + *got > MaxFileBytes)
            return std::nullopt;
        bytes.append(block, 0, *got);
    }
}

// What a save of several files keeps of a file it replaces, to put it back when a later
// file fails: a second name of the old file, or where the file system has none, a copy of
// its bytes. When there was no file, putting it back removes the new one.
class OldVersion {
public:
    static std::optional<OldVersion> keep(const SaveTarget& target, bool ownerOnly)
    {
        OldVersion old(target.file, ownerOnly);
        std::error_code ec;
        const auto type = std::filesystem::symlink_status(target.file, ec).type();
        if (type == std::filesystem::file_type::not_found)
            return old;
        for (int attempt = 0; attempt < 8; ++attempt)
            if ((old.link_ = KeptFile::link(target.file, temporaryName(target))))
                return old;
        if (type != std::filesystem::file_type::regular)
            return std::nullopt;
        auto in = InputFile::open(target.file);
        auto bytes = in ? readRest(*in) : std::nullopt;
        if (!bytes || !(old.copy_ = newTemporary(target)) || !old.copy_->write(*bytes) || !old.copy_->flush())
            return std::nullopt;
        return old;
    }

    bool restore()
    {
        if (link_)
            return link_->restore(file_);
        if (copy_) {
            // Put in place as a new version is: it takes the permissions the new one took
            // from the old.
            TemporaryFile copy = std::move(*copy_);
            copy_.reset();
            return copy.commit(file_, ownerOnly_);
        }
        std::error_code ec;
        return std::filesystem::remove(file_, ec);
    }

private:
    OldVersion(std::filesystem::path file, bool ownerOnly) : file_(std::move(file)), ownerOnly_(ownerOnly) {}
    std::filesystem::path file_;
    bool ownerOnly_ = false;
    std::optional<KeptFile> link_;
    std::optional<TemporaryFile> copy_;
};

} // namespace

// ---- LineSplitter -------------------------------------------------------------------

LineSplitter::LineSplitter(std::uint64_t start, bool skipFirst) : start_(start), offset_(start), skipping_(skipFirst) {}

bool LineSplitter::take(std::string_view& bytes)
{
    if (ended_) {
        kept_.clear();
        length_ = 0;
        start_ = offset_;
        ended_ = false;
    }
    std::size_t end = bytes.find('\n');
    const bool found = end != std::string_view::npos;
    if (!found)
        end = bytes.size();
    if (!skipping_) {
        // One byte past the cap tells a CR that ends the line from one inside it.
        std::size_t room = MaxLineBytes + 1 - kept_.size();
        kept_.append(bytes.data(), std::min(room, end));
        length_ += end;
    }
    const std::size_t used = found ? end + 1 : end;
    offset_ += used;
    bytes.remove_prefix(used);
    if (!found)
        return false;
    if (skipping_) {
        skipping_ = false;
        start_ = offset_;
        return false;
    }
    ended_ = true;
    return true;
}

std::string_view LineSplitter::line() const
{
    return cut(kept_, length_);
}

std::optional<std::string_view> LineSplitter::unfinished() const
{
    if (skipping_ || ended_ || length_ == 0)
        return std::nullopt;
    return cut(kept_, length_);
}

// ---- TextReader -------------------------------------------------------------------

std::optional<TextReader> TextReader::open(std::u16string_view path)
{
    auto file = openForReading(path);
    if (!file)
        return std::nullopt;
    return TextReader(std::move(*file));
}

bool TextReader::readLine(std::u16string& line)
{
    while (file_) {
        std::string_view rest = std::string_view(buffer_).substr(used_);
        if (rest.empty()) {
            buffer_.resize(BlockBytes);
            auto got = file_->read(buffer_.data(), buffer_.size());
            buffer_.resize(got.value_or(0));
            used_ = 0;
            if (buffer_.empty()) {
                // The end of the file, or a read error there: a last line without a
                // line end is read whole, once.
                auto last = splitter_.unfinished();
                file_.reset();
                if (!last)
                    return false;
                line = fromAnsi(*last);
                return true;
            }
            continue;
        }
        bool ended = splitter_.take(rest);
        used_ = buffer_.size() - rest.size();
        if (ended) {
            line = fromAnsi(splitter_.line());
            return true;
        }
    }
    return false;
}

void TextReader::close()
{
    file_.reset();
}

// ---- TextWriter -------------------------------------------------------------------

TextWriter::TextWriter(TemporaryFile file, SaveTarget target, FileAccess access)
    : file_(std::move(file)), target_(std::move(target)), access_(access)
{
}

std::optional<TextWriter> TextWriter::create(std::u16string_view path, FileAccess access)
{
    SaveTarget target = saveTarget(path);
    auto file = beginSave(target);
    if (!file)
        return std::nullopt;
    return TextWriter(std::move(*file), std::move(target), access);
}

bool TextWriter::flush()
{
    bool ok = file_->write(buffer_);
    buffer_.clear();
    if (!ok)
        failure_ = WriteFailure::Io;
    return ok;
}

bool TextWriter::writeLine(std::u16string_view text)
{
    if (!file_ || failure_ != WriteFailure::None)
        return false;
    auto bytes = toAnsi(text);
    if (!bytes) {
        failure_ = WriteFailure::Unencodable;
        return false;
    }
    buffer_ += *bytes;
    buffer_ += "\r\n";
    return buffer_.size() < BlockBytes || flush();
}

bool TextWriter::writeLine(long long number)
{
    return writeLine(text::number(number));
}

bool TextWriter::writeBytes(std::string_view bytes)
{
    if (!file_ || failure_ != WriteFailure::None)
        return false;
    buffer_ += bytes;
    return buffer_.size() < BlockBytes || flush();
}

// The rest written (and with toDisk on the disk); a writer that failed loses its temporary.
bool TextWriter::finish(bool toDisk)
{
    if (!file_)
        return false;
    bool ok = failure_ == WriteFailure::None && flush() && (!toDisk || file_->flush());
    if (!ok) {
        if (failure_ == WriteFailure::None)
            failure_ = WriteFailure::Io;
        file_.reset();
    }
    return ok;
}

bool TextWriter::place()
{
    TemporaryFile file = std::move(*file_);
    file_.reset();
    if (file.commit(target_.file, access_ == FileAccess::OwnerOnly))
        return true;
    failure_ = WriteFailure::Io;
    return false;
}

bool TextWriter::close()
{
    return finish(false) && place();
}

std::optional<std::size_t> closeTogether(std::span<TextWriter> writers)
{
    auto abandonFrom = [&](std::size_t first) {
        for (std::size_t i = first; i < writers.size(); ++i)
            writers[i].file_.reset();
    };
    // First all that can fail before a file changes.
    for (std::size_t i = 0; i < writers.size(); ++i)
        if (!writers[i].finish(true)) {
            abandonFrom(0);
            return i;
        }
    // Then one file after the other, each old version kept until the last file is in
    // place. The last needs none kept: when it fails it has changed nothing.
    std::vector<OldVersion> replaced;
    for (std::size_t i = 0; i < writers.size(); ++i) {
        TextWriter& writer = writers[i];
        std::optional<OldVersion> old;
        if (i + 1 < writers.size()) {
            old = OldVersion::keep(writer.target_, writer.access_ == FileAccess::OwnerOnly);
            if (!old)
                writer.failure_ = WriteFailure::Io;
        }
        if (writer.failure_ == WriteFailure::None && writer.place()) {
            if (old)
                replaced.push_back(std::move(*old));
            continue;
        }
        abandonFrom(i);
        for (auto r = replaced.rbegin(); r != replaced.rend(); ++r)
            r->restore();
        return i;
    }
    return std::nullopt;
}

// ---- whole files --------------------------------------------------------------------

std::optional<std::string> readFileBytes(std::u16string_view path)
{
    auto file = openForReading(path);
    if (!file)
        return std::nullopt;
    return readRest(*file);
}

bool replaceFileBytes(std::u16string_view path, std::string_view bytes, FileAccess access)
{
    auto writer = TextWriter::create(path, access);
    return writer && writer->writeBytes(bytes) && writer->close();
}

// ---- tails ----------------------------------------------------------------------------

std::uint64_t tailFrom(std::uint64_t end)
{
    return end > MaxTailBytes ? end - MaxTailBytes : 0;
}

std::vector<TailLine> takeLines(LineSplitter& splitter, std::string_view bytes)
{
    std::vector<TailLine> lines;
    while (!bytes.empty())
        if (splitter.take(bytes))
            lines.push_back({splitter.lineStart(), std::string(splitter.line())});
    if (auto last = splitter.unfinished())
        lines.push_back({splitter.lineStart(), std::string(*last)});
    return lines;
}

std::optional<std::vector<TailLine>> readTail(InputFile& file, std::uint64_t end, std::size_t maxLines,
                                              LineSplitter& splitter)
{
    // Backwards in blocks until they hold one line end more than the lines wanted (the
    // piece before the first one may be the end of a longer line) or reach the bound.
    const std::uint64_t from = tailFrom(end);
    std::vector<std::string> blocks;
    std::uint64_t pos = end;
    std::size_t lineEnds = 0;
    while (pos > from && lineEnds <= maxLines) {
        std::uint64_t size = std::min<std::uint64_t>(BlockBytes, pos - from);
        std::string block(size, '\0');
        auto got = file.readAt(pos - size, block.data(), block.size());
        if (!got)
            return std::nullopt;
        if (*got != size)
            break; // shrunk meanwhile: what was read still counts
        lineEnds += static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n'));
        blocks.push_back(std::move(block));
        pos -= size;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(end - pos));
    for (auto b = blocks.rbegin(); b != blocks.rend(); ++b)
        bytes += *b;
    blocks.clear();

    splitter = LineSplitter(pos, pos > 0);
    std::vector<TailLine> lines = takeLines(splitter, bytes);
    if (lines.size() > maxLines)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(maxLines));
    return lines;
}

bool fileIsMissing(std::u16string_view path)
{
    std::error_code ec;
    // A file standing where a folder of the path should be is no missing file.
    return std::filesystem::symlink_status(localPath(path), ec).type() == std::filesystem::file_type::not_found &&
           ec != std::errc::not_a_directory;
}

} // namespace platform

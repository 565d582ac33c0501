// The text-file reader and writer: lines written come back as they were; a file read and
// written again reads the same, and a file already in the written form comes back byte
// for byte; a write that cannot hold a character replaces nothing and leaves no
// temporary file behind; a line longer than the cap keeps its start.

#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "platform/text_file.h"

namespace {

std::vector<std::u16string> readAll(const std::u16string& path)
{
    std::vector<std::u16string> lines;
    auto reader = platform::TextReader::open(path);
    fuzz::check(reader.has_value(), "a file just written opens");
    std::u16string line;
    while (reader->readLine(line))
        lines.push_back(line);
    return lines;
}

// Writes the lines; true when the file was replaced.
bool writeAll(const std::u16string& path, const std::vector<std::u16string>& lines)
{
    auto writer = platform::TextWriter::create(path);
    fuzz::check(writer.has_value(), "a file in a writable folder can be created");
    bool ok = true;
    for (const auto& l : lines)
        ok = writer->writeLine(l) && ok;
    bool closed = writer->close();
    fuzz::check(!closed || ok, "a writer whose line failed replaces nothing");
    return closed;
}

std::string showLines(const std::vector<std::u16string>& lines)
{
    std::string out;
    for (const auto& l : lines)
        out += fuzz::show(l) + "\n";
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::clearScratch();
    const auto path = fuzz::scratchFile("pwd.txt");
    const std::string before = "old\r\n";
    fuzz::writeBytes(fuzz::scratch() / "pwd.txt", before);

    // Fields as lines: a line ending is no part of a line's text.
    fuzz::Fields fields(data, size);
    std::vector<std::u16string> lines;
    bool writable = true;
    for (std::size_t i = 0; i < fields.count(); ++i) {
        std::u16string l = fields.text(i);
        std::erase(l, u'\n');
        writable = writable && platform::toAnsi(l).has_value();
        lines.push_back(l);
    }
    bool written = writeAll(path, lines);
    fuzz::check(written == writable, "a write fails exactly when a character cannot be written", showLines(lines));
    fuzz::check(fuzz::scratchNames() == std::vector<std::string>{"pwd.txt"}, "a write leaves no temporary file",
                showLines(lines));
    if (written) {
        auto back = readAll(path);
        fuzz::check(back == lines, "lines written read back as they were",
                    "written:\n" + showLines(lines) + "read:\n" + showLines(back));
    } else {
        fuzz::check(fuzz::readBytes(fuzz::scratch() / "pwd.txt") == before, "a failed write keeps the old file");
    }

    // A line longer than the cap: its start, cut between two characters, and then the
    // next line as it stands.
    std::string unit(fields.bytes(0));
    std::erase(unit, '\n');
    if (!unit.empty()) {
        std::string longLine;
        while (longLine.size() <= platform::MaxLineBytes)
            longLine += unit;
        fuzz::writeBytes(fuzz::scratch() / "pwd.txt", longLine + "\nnext\r\n");
        auto cut = readAll(path);
        std::string more = "line of " + std::to_string(longLine.size()) + " bytes: " + fuzz::show(unit) + " repeated";
        fuzz::check(cut.size() == 2 && cut[1] == u"next", "the line after a long one reads as it stands", more);
        auto kept = platform::toAnsi(cut[0]);
        if (cut[0].find(u'\uFFFD') == std::u16string::npos && platform::fromAnsi(longLine).find(u'\uFFFD') == std::u16string::npos)
            fuzz::check(kept && longLine.starts_with(*kept) && kept->size() + 1 >= platform::MaxLineBytes &&
                            kept->size() <= platform::MaxLineBytes,
                        "a long line keeps its start up to the cap, cut between two characters",
                        more + "\nread " + std::to_string(kept ? kept->size() : 0) + " bytes");
    }

    // The bytes as a file: read, written, read again.
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::writeBytes(fuzz::scratch() / "pwd.txt", bytes);
    auto read = readAll(path);
    if (!writeAll(path, read))
        return 0; // bytes that are no code page 936 text cannot be written back
    auto again = readAll(path);
    fuzz::check(again == read, "a file read and written reads the same",
                "file " + fuzz::show(bytes) + "\nfirst read:\n" + showLines(read) + "second read:\n" + showLines(again));
    auto rewritten = fuzz::readBytes(fuzz::scratch() / "pwd.txt");
    bool canonical = bytes.empty() || bytes.ends_with("\r\n");
    for (std::size_t i = 0; canonical && i < bytes.size(); ++i)
        canonical = bytes[i] != '\n' || (i > 0 && bytes[i - 1] == '\r');
    if (canonical)
        fuzz::check(rewritten == bytes, "a file in the written form is written back byte for byte",
                    "file " + fuzz::show(bytes) + "\nwritten " + fuzz::show(rewritten.value_or("")));
    return 0;
}

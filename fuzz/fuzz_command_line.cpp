// The command-line splitter: arguments quoted by the Windows rules and joined come back
// as they were, and a split line quoted again splits the same.

#include "fuzz/fuzz_support.h"
#include "platform/launcher.h"

namespace {

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// The program name: quotes group and are dropped, so it cannot hold one.
std::u16string quoteProgram(std::u16string_view s)
{
    bool blank = s.empty();
    for (char16_t c : s)
        blank = blank || isBlank(c);
    return blank ? u"\"" + std::u16string(s) + u"\"" : std::u16string(s);
}

// As the C runtime wants it: backslashes doubled before a quote and at the end of a
// quoted argument, quotes escaped.
std::u16string quoteArgument(std::u16string_view s)
{
    bool plain = !s.empty();
    for (char16_t c : s)
        plain = plain && !isBlank(c) && c != u'"';
    if (plain)
        return std::u16string(s);
    std::u16string out = u"\"";
    std::size_t backslashes = 0;
    for (char16_t c : s) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            out.append(backslashes * 2 + 1, u'\\');
            out += u'"';
        } else {
            out.append(backslashes, u'\\');
            out += c;
        }
        backslashes = 0;
    }
    out.append(backslashes * 2, u'\\');
    return out + u"\"";
}

std::u16string join(const std::vector<std::u16string>& args)
{
    std::u16string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0)
            line += u' ';
        line += i == 0 ? quoteProgram(args[i]) : quoteArgument(args[i]);
    }
    return line;
}

std::string showAll(const std::vector<std::u16string>& args)
{
    std::string out = "[";
    for (const auto& a : args)
        out += fuzz::show(a) + " ";
    return out + "]";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Fields fields(data, size);

    // The fields as arguments; the program name holds no quote.
    std::vector<std::u16string> args;
    for (std::size_t i = 0; i < fields.count(); ++i)
        args.push_back(fields.text(i));
    std::erase(args[0], u'"');
    std::u16string line = join(args);
    auto split = platform::splitCommandLine(line);
    fuzz::check(split == args, "quoted arguments split back into themselves",
                "arguments " + showAll(args) + "\nline " + fuzz::show(line) + "\nsplit " + showAll(split));

    // Any text: what it splits into, quoted again, splits the same.
    std::u16string raw = fields.text(0);
    for (std::size_t i = 1; i < fields.count(); ++i)
        raw += u"\"" + fields.text(i);
    auto once = platform::splitCommandLine(raw);
    if (!once.empty()) {
        auto twice = platform::splitCommandLine(join(once));
        fuzz::check(twice == once, "a split line quoted again splits the same",
                    "line " + fuzz::show(raw) + "\nonce " + showAll(once) + "\ntwice " + showAll(twice));
    }
    return 0;
}

#include "platform/launcher.h"

namespace platform {

namespace {
bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}
} // namespace

std::u16string quotedProgram(std::u16string_view path)
{
    std::u16string quoted(1, u'"');
    quoted += path;
    quoted += u'"';
    return quoted;
}

std::vector<std::u16string> splitCommandLine(std::u16string_view s)
{
    std::vector<std::u16string> args;
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    if (i == s.size())
        return args;

    // The program name: quotes group (and are dropped), backslashes are plain characters.
    std::u16string program;
    for (bool quoted = false; i < s.size() && (quoted || !isBlank(s[i])); ++i) {
        if (s[i] == u'"')
            quoted = !quoted;
        else
            program += s[i];
    }
    args.push_back(program);

    for (;;) {
        while (i < s.size() && isBlank(s[i]))
            ++i;
        if (i == s.size())
            return args;
        std::u16string arg;
        bool quoted = false;
        while (i < s.size() && (quoted || !isBlank(s[i]))) {
            if (s[i] == u'\\') {
                std::size_t n = 0;
                while (i < s.size() && s[i] == u'\\') {
                    ++n;
                    ++i;
                }
                if (i < s.size() && s[i] == u'"') {
                    arg.append(n / 2, u'\\');
                    if (n % 2 == 1) {
                        arg += u'"';
                        ++i;
                    }
                } else {
                    arg.append(n, u'\\');
                }
            } else if (s[i] == u'"') {
                if (quoted && i + 1 < s.size() && s[i + 1] == u'"') {
                    arg += u'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += s[i++];
            }
        }
        args.push_back(arg);
    }
}

} // namespace platform

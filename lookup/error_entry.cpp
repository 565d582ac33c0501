#include "lookup/error_entry.h"

#include "platform/nt_service.h"
#include "platform/system.h"
#include "platform/text.h"

namespace lookup {

namespace {
constexpr std::size_t longestQuoted = 64;
} // namespace

std::u16string errorEntryText(long number, std::u16string_view description)
{
    return u"[" + platform::text::number(number) + u"] " + std::u16string(description);
}

void logErrorEntry(long number, std::u16string_view description)
{
    platform::service<platform::EventLog>().logEvent(platform::svcEventError, ErrorEventId,
                                                     errorEntryText(number, description));
}

std::u16string quotedForEntry(std::u16string_view value)
{
    static constexpr char16_t hex[] = u"0123456789ABCDEF";
    std::u16string out = u"“";
    for (std::size_t i = 0; i < value.size() && i < longestQuoted; ++i) {
        char16_t c = value[i];
        if (c == u'\r')
            out += u"\\r";
        else if (c == u'\n')
            out += u"\\n";
        else if (c == u'\t')
            out += u"\\t";
        else if (c < 0x20 || c == 0x7F)
            out += std::u16string{u'\\', u'x', hex[c >> 4], hex[c & 0xF]};
        else
            out += c;
    }
    out += u"”";
    if (value.size() > longestQuoted)
        out += u"（共 " + platform::text::number(static_cast<long long>(value.size())) + u" 个字符，只列出前 " +
               platform::text::number(static_cast<long long>(longestQuoted)) + u" 个）";
    return out;
}

} // namespace lookup

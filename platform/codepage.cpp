#include "platform/codepage.h"

namespace platform {

std::optional<unsigned> codePageNamed(std::string_view name)
{
    static constexpr struct {
        const char* name;
        unsigned codePage;
    } names[] = {
        {"gb2312", 936},          {"gbk", 936},           {"cp936", 936},          {"windows-936", 936},
        {"x-gbk", 936},           {"euc-cn", 936},        {"gb18030", 54936},      {"big5", 950},
        {"cp950", 950},           {"windows-950", 950},   {"shift_jis", 932},      {"sjis", 932},
        {"x-sjis", 932},          {"windows-31j", 932},   {"cp932", 932},          {"euc-kr", 949},
        {"ks_c_5601-1987", 949},  {"cp949", 949},         {"windows-949", 949},    {"windows-874", 874},
        {"cp874", 874},           {"windows-1250", 1250}, {"cp1250", 1250},        {"windows-1251", 1251},
        {"cp1251", 1251},         {"windows-1252", 1252}, {"cp1252", 1252},        {"windows-1253", 1253},
        {"cp1253", 1253},         {"windows-1254", 1254}, {"cp1254", 1254},        {"windows-1256", 1256},
        {"cp1256", 1256},         {"windows-1257", 1257}, {"cp1257", 1257},        {"koi8-r", 20866},
        {"koi8-u", 21866},        {"iso-8859-2", 28592},  {"iso-8859-3", 28593},   {"iso-8859-4", 28594},
        {"iso-8859-5", 28595},    {"iso-8859-6", 28596},  {"iso-8859-7", 28597},   {"iso-8859-8", 28598},
        {"iso-8859-9", 28599},    {"iso-8859-13", 28603}, {"iso-8859-15", 28605},
    };
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (const auto& n : names)
        if (lower == n.name)
            return n.codePage;
    return std::nullopt;
}

} // namespace platform

#include "platform/database.h"
#include "platform/text.h"

namespace platform {

namespace {

// ADO's names for what ODBC drivers call otherwise; an empty ODBC name drops the pair.
struct Keyword {
    std::u16string_view ado, odbc;
};
constexpr Keyword adoKeywords[] = {
    {u"user id", u"UID"},
    {u"password", u"PWD"},
    {u"persist security info", u""},
    // The system's own string spells it so; ADO never recognised that spelling either,
    // and no driver knows it.
    {u"persist secuity info", u""},
};

} // namespace

std::u16string odbcConnectionString(std::u16string_view adoConnectionString)
{
    std::u16string out;
    for (const auto& pair : text::split(adoConnectionString, u";")) {
        auto eq = pair.find(u'=');
        if (eq == std::u16string::npos || text::trim(pair.substr(0, eq)).empty())
            continue;
        std::u16string key = text::trim(pair.substr(0, eq));
        std::u16string_view value = std::u16string_view(pair).substr(eq + 1);
        bool dropped = false;
        for (const auto& k : adoKeywords) {
            if (text::toLowerAscii(key) == k.ado) {
                key = k.odbc;
                dropped = k.odbc.empty();
                break;
            }
        }
        if (dropped)
            continue;
        if (!out.empty())
            out += u';';
        out += key;
        out += u'=';
        out += value;
    }
    return out;
}

} // namespace platform

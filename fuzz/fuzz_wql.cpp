// WQL: a condition built from the bytes, written out with random case, blanks and
// brackets, selects exactly the objects a direct evaluation of it selects; and any text
// is answered the same whatever the case of its keywords and names.

#include <functional>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "platform/wql.h"

using platform::WmiAnswer;
using platform::WmiObject;
using platform::WmiProperty;

namespace {

const std::vector<std::u16string> propertyNames{u"MACAddress", u"Manufacturer", u"Name"};

class Machine final : public platform::wql::Source {
public:
    const std::vector<platform::wql::ClassSchema>& classes() const override
    {
        static const std::vector<platform::wql::ClassSchema> c{{u"Win32_NetworkAdapter", propertyNames},
                                                               {u"Win32_Process", {u"Name"}}};
        return c;
    }
    std::vector<WmiObject> instances(const platform::wql::ClassSchema& cls) override
    {
        if (cls.name != u"Win32_NetworkAdapter")
            return {WmiObject{{{u"Name", WmiProperty::of(u"openvpnserv.exe")}}}};
        return objects();
    }
    static std::vector<WmiObject> objects()
    {
        auto v = [](const char16_t* s) { return s ? WmiProperty::of(s) : WmiProperty::null(); };
        auto o = [&](const char16_t* mac, const char16_t* maker, const char16_t* name) {
            return WmiObject{{{u"MACAddress", v(mac)}, {u"Manufacturer", v(maker)}, {u"Name", v(name)}}};
        };
        return {o(u"52:54:00:AB:CD:EF", u"e1000e", u"eth0"), o(u"02:42:AC:11:00:01", nullptr, u"docker0"),
                o(nullptr, nullptr, u"tun0"), o(u"A4:C3:F0:11:22:33", u"iwlwifi", u"wlan0"),
                o(u"", u"it's", u"a\\b"), o(u"00:00:00:00:00:01", u"E1000E", u"")};
    }
};

class Bytes {
public:
    Bytes(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    unsigned next() { return at_ < n_ ? d_[at_++] : 0; }
    bool bit() { return next() & 1; }

private:
    const std::uint8_t* d_;
    std::size_t n_, at_ = 0;
};

struct Cond {
    enum Kind { Or, And, Equal, NotEqual, IsNull, IsNotNull } kind;
    std::unique_ptr<Cond> l, r;
    std::size_t property = 0;
    std::u16string literal;
};

const std::vector<std::u16string> literals{u"e1000e", u"E1000E", u"iwlwifi", u"it's", u"a\\b", u"",
                                           u"eth0", u"52:54:00:ab:cd:ef", u"Microsoft", u"'", u"\\"};

std::unique_ptr<Cond> generate(Bytes& b, int depth)
{
    auto c = std::make_unique<Cond>();
    unsigned k = b.next();
    c->kind = static_cast<Cond::Kind>(depth < 8 ? k % 6 : 2 + k % 4);
    if (c->kind == Cond::Or || c->kind == Cond::And) {
        c->l = generate(b, depth + 1);
        c->r = generate(b, depth + 1);
        return c;
    }
    c->property = b.next() % propertyNames.size();
    unsigned lit = b.next();
    c->literal = literals[lit % literals.size()];
    if (lit >= 128)
        c->literal += static_cast<char16_t>(u'a' + lit % 26);
    return c;
}

bool sameText(std::u16string_view a, std::u16string_view b)
{
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

bool holds(const Cond& c, const WmiObject& o)
{
    if (c.kind == Cond::Or)
        return holds(*c.l, o) || holds(*c.r, o);
    if (c.kind == Cond::And)
        return holds(*c.l, o) && holds(*c.r, o);
    WmiProperty p = o.get(propertyNames[c.property]);
    switch (c.kind) {
    case Cond::IsNull: return !p.hasValue();
    case Cond::IsNotNull: return p.hasValue();
    case Cond::Equal: return p.hasValue() && sameText(p.value, c.literal);
    default: return p.hasValue() && !sameText(p.value, c.literal);
    }
}

std::u16string blanks(Bytes& b, bool needed)
{
    static const std::u16string kinds[] = {u" ", u"  ", u"\t", u"\r\n"};
    unsigned k = b.next();
    if (!needed && k % 3 == 0)
        return {};
    return kinds[k % 4];
}

std::u16string recase(std::u16string_view s, Bytes& b)
{
    unsigned mask = b.next();
    std::u16string out(s);
    for (std::size_t i = 0; i < out.size(); ++i) {
        bool up = (mask >> (i % 8)) & 1;
        char16_t& ch = out[i];
        if (up && ch >= u'a' && ch <= u'z')
            ch = char16_t(ch - 32);
        else if (!up && ch >= u'A' && ch <= u'Z')
            ch = char16_t(ch + 32);
    }
    return out;
}

std::u16string stringLiteral(std::u16string_view s)
{
    std::u16string out = u"'";
    for (char16_t c : s) {
        if (c == u'\'' || c == u'\\')
            out += u'\\';
        out += c;
    }
    return out + u"'";
}

std::u16string render(const Cond& c, Bytes& b, bool mustBracket)
{
    std::u16string out;
    if (c.kind == Cond::Or || c.kind == Cond::And) {
        bool inner = c.kind == Cond::And; // an OR below an AND needs its brackets
        auto side = [&](const Cond& s) { return render(s, b, inner && s.kind == Cond::Or); };
        out = side(*c.l) + blanks(b, true) + recase(c.kind == Cond::Or ? u"or" : u"and", b) + blanks(b, true) +
              side(*c.r);
    } else {
        std::u16string name = recase(propertyNames[c.property], b);
        if (c.kind == Cond::IsNull || c.kind == Cond::IsNotNull) {
            out = name + blanks(b, true) + recase(u"is", b) + blanks(b, true) +
                  (c.kind == Cond::IsNotNull ? recase(u"not", b) + blanks(b, true) : u"") + recase(u"null", b);
        } else {
            std::u16string op = c.kind == Cond::Equal ? u"=" : u"<>";
            std::u16string lit = stringLiteral(c.literal);
            out = b.bit() ? lit + blanks(b, false) + op + blanks(b, false) + name
                          : name + blanks(b, false) + op + blanks(b, false) + lit;
        }
    }
    if (mustBracket || b.next() % 5 == 0)
        out = u"(" + blanks(b, false) + out + blanks(b, false) + u")";
    return out;
}

bool same(const WmiProperty& a, const WmiProperty& b)
{
    return a.state == b.state && a.value == b.value;
}

bool same(const std::optional<WmiAnswer>& a, const std::optional<WmiAnswer>& b)
{
    if (!a || !b)
        return !a && !b;
    if (a->items.size() != b->items.size())
        return false;
    for (std::size_t i = 0; i < a->items.size(); ++i) {
        const auto& x = a->items[i].properties;
        const auto& y = b->items[i].properties;
        if (x.size() != y.size())
            return false;
        for (std::size_t k = 0; k < x.size(); ++k)
            if (x[k].first != y[k].first || !same(x[k].second, y[k].second))
                return false;
    }
    return true;
}

// Case swapped outside the quoted strings (a backslash escapes the next character).
std::u16string swapCase(std::u16string_view s)
{
    std::u16string out(s);
    bool inString = false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        char16_t& c = out[i];
        if (inString) {
            if (c == u'\\')
                ++i;
            else if (c == u'\'')
                inString = false;
        } else if (c == u'\'') {
            inString = true;
        } else if (c >= u'a' && c <= u'z') {
            c = char16_t(c - 32);
        } else if (c >= u'A' && c <= u'Z') {
            c = char16_t(c + 32);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Machine machine;

    // Any text.
    std::u16string raw = fuzz::decodeUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    auto answer = platform::wql::execute(raw, machine);
    auto swapped = platform::wql::execute(swapCase(raw), machine);
    fuzz::check(same(answer, swapped), "the case of keywords and names changes no answer", fuzz::show(raw));

    // A condition made from the bytes.
    Bytes b(data, size);
    auto cond = generate(b, 0);
    bool star = b.bit();
    std::vector<std::size_t> picked;
    std::u16string select = u"*";
    if (!star) {
        select.clear();
        for (unsigned n = 1 + b.next() % 4, i = 0; i < n; ++i) {
            picked.push_back(b.next() % propertyNames.size());
            select += (i ? u"," + blanks(b, false) : u"") + recase(propertyNames[picked.back()], b);
        }
    }
    std::u16string query = recase(u"select", b) + blanks(b, true) + select + blanks(b, true) + recase(u"from", b) +
                           blanks(b, true) + recase(u"Win32_NetworkAdapter", b) + blanks(b, true) +
                           recase(u"where", b) + blanks(b, true) + render(*cond, b, false) + blanks(b, false);
    auto got = platform::wql::execute(query, machine);
    fuzz::check(got.has_value(), "a well-formed query is answered", fuzz::show(query));

    std::optional<WmiAnswer> expected = WmiAnswer{};
    for (const auto& o : Machine::objects()) {
        if (!holds(*cond, o))
            continue;
        if (star) {
            expected->items.push_back(o);
            continue;
        }
        WmiObject p;
        for (std::size_t i : picked) {
            bool twice = false;
            for (const auto& [n, v] : p.properties)
                twice = twice || n == propertyNames[i];
            if (!twice)
                p.properties.emplace_back(propertyNames[i], o.get(propertyNames[i]));
        }
        expected->items.push_back(p);
    }
    fuzz::check(same(got, expected), "a query selects what its condition holds for", fuzz::show(query));
    return 0;
}

#include "platform/wql.h"

#include <memory>
#include <utility>

namespace platform::wql {

namespace {

char16_t fold(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool sameText(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

// ---- tokens -------------------------------------------------------------------------

enum class Tok { Word, String, Star, Comma, Open, Close, Equal, NotEqual, End };

struct Token {
    Tok kind;
    std::u16string text;
};

bool isWordStart(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

bool isWordChar(char16_t c)
{
    return isWordStart(c) || (c >= u'0' && c <= u'9');
}

std::optional<std::vector<Token>> tokenize(std::u16string_view s)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < s.size()) {
        char16_t c = s[i];
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
            ++i;
        } else if (isWordStart(c)) {
            std::size_t b = i;
            while (i < s.size() && isWordChar(s[i]))
                ++i;
            tokens.push_back({Tok::Word, std::u16string(s.substr(b, i - b))});
        } else if (c == u'\'') {
            // WQL strings take a backslash as the escape of the next character.
            std::u16string text;
            ++i;
            for (;;) {
                if (i == s.size())
                    return std::nullopt;
                if (s[i] == u'\'')
                    break;
                if (s[i] == u'\\') {
                    if (++i == s.size())
                        return std::nullopt;
                }
                text += s[i++];
            }
            ++i;
            tokens.push_back({Tok::String, std::move(text)});
        } else if (c == u'<' && i + 1 < s.size() && s[i + 1] == u'>') {
            tokens.push_back({Tok::NotEqual, {}});
            i += 2;
        } else {
            Tok kind;
            switch (c) {
            case u'*': kind = Tok::Star; break;
            case u',': kind = Tok::Comma; break;
            case u'(': kind = Tok::Open; break;
            case u')': kind = Tok::Close; break;
            case u'=': kind = Tok::Equal; break;
            default: return std::nullopt;
            }
            tokens.push_back({kind, {}});
            ++i;
        }
    }
    tokens.push_back({Tok::End, {}});
    return tokens;
}

// ---- the WHERE condition ------------------------------------------------------------

struct Condition {
    enum class Kind { Or, And, Equal, NotEqual, IsNull, IsNotNull } kind;
    std::unique_ptr<Condition> left, right;
    const std::u16string* property = nullptr; // the schema's spelling
    std::u16string literal;
};

const WmiProperty* find(const WmiObject& object, const std::u16string& name)
{
    for (const auto& [n, value] : object.properties)
        if (n == name)
            return &value;
    return nullptr;
}

bool holds(const Condition& c, const WmiObject& object)
{
    switch (c.kind) {
    case Condition::Kind::Or: return holds(*c.left, object) || holds(*c.right, object);
    case Condition::Kind::And: return holds(*c.left, object) && holds(*c.right, object);
    default: break;
    }
    const WmiProperty* p = find(object, *c.property);
    bool hasValue = p != nullptr && p->hasValue();
    switch (c.kind) {
    case Condition::Kind::IsNull: return !hasValue;
    case Condition::Kind::IsNotNull: return hasValue;
    case Condition::Kind::Equal: return hasValue && sameText(p->value, c.literal);
    case Condition::Kind::NotEqual: return hasValue && !sameText(p->value, c.literal);
    default: return false;
    }
}

// ---- the parser -----------------------------------------------------------------------

class Parser {
public:
    Parser(std::vector<Token> tokens, const std::vector<ClassSchema>& classes)
        : tokens_(std::move(tokens)), classes_(classes)
    {
    }

    bool parse()
    {
        if (!keyword(u"select"))
            return false;
        if (take(Tok::Star)) {
            all_ = true;
        } else {
            do {
                if (peek().kind != Tok::Word)
                    return false;
                selected_.push_back(next().text);
            } while (take(Tok::Comma));
        }
        if (!keyword(u"from") || peek().kind != Tok::Word)
            return false;
        std::u16string name = next().text;
        for (const auto& c : classes_)
            if (sameText(c.name, name))
                class_ = &c;
        if (class_ == nullptr)
            return false;
        for (auto& s : selected_) {
            const std::u16string* p = property(s);
            if (p == nullptr)
                return false;
            s = *p;
        }
        if (keyword(u"where")) {
            where_ = disjunction(0);
            if (!where_)
                return false;
        }
        return peek().kind == Tok::End;
    }

    WmiAnswer run(Source& source) const
    {
        WmiAnswer answer;
        for (auto& object : source.instances(*class_)) {
            if (where_ && !holds(*where_, object))
                continue;
            if (all_) {
                answer.items.push_back(std::move(object));
                continue;
            }
            WmiObject picked;
            for (const auto& name : selected_) {
                bool twice = false;
                for (const auto& [n, v] : picked.properties)
                    twice = twice || n == name;
                if (twice)
                    continue;
                const WmiProperty* p = find(object, name);
                picked.properties.emplace_back(name, p != nullptr ? *p : WmiProperty::null());
            }
            answer.items.push_back(std::move(picked));
        }
        return answer;
    }

private:
    // Brackets nest no deeper than any sane query does.
    static constexpr int maxDepth = 64;

    const Token& peek() const { return tokens_[at_]; }
    const Token& next() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }

    bool take(Tok kind)
    {
        if (peek().kind != kind)
            return false;
        next();
        return true;
    }

    bool keyword(std::u16string_view word)
    {
        if (peek().kind != Tok::Word || !sameText(peek().text, word))
            return false;
        next();
        return true;
    }

    const std::u16string* property(std::u16string_view name) const
    {
        for (const auto& p : class_->properties)
            if (sameText(p, name))
                return &p;
        return nullptr;
    }

    std::unique_ptr<Condition> join(Condition::Kind kind, std::unique_ptr<Condition> l, std::unique_ptr<Condition> r)
    {
        auto c = std::make_unique<Condition>();
        c->kind = kind;
        c->left = std::move(l);
        c->right = std::move(r);
        return c;
    }

    // OR joins AND terms, AND joins primaries, each left to right.
    std::unique_ptr<Condition> disjunction(int depth)
    {
        return chain(depth, u"or", Condition::Kind::Or, &Parser::conjunction);
    }

    std::unique_ptr<Condition> conjunction(int depth)
    {
        return chain(depth, u"and", Condition::Kind::And, &Parser::primary);
    }

    std::unique_ptr<Condition> chain(int depth, std::u16string_view word, Condition::Kind kind,
                                     std::unique_ptr<Condition> (Parser::*term)(int))
    {
        auto c = (this->*term)(depth);
        while (c && keyword(word)) {
            auto r = (this->*term)(depth);
            if (!r)
                return nullptr;
            c = join(kind, std::move(c), std::move(r));
        }
        return c;
    }

    std::unique_ptr<Condition> primary(int depth)
    {
        if (take(Tok::Open)) {
            if (depth >= maxDepth)
                return nullptr;
            auto c = disjunction(depth + 1);
            if (!c || !take(Tok::Close))
                return nullptr;
            return c;
        }
        auto c = std::make_unique<Condition>();
        if (peek().kind == Tok::String) {
            // A constant on the left: 'x' = Name.
            c->literal = next().text;
            if (!comparison(*c) || peek().kind != Tok::Word)
                return nullptr;
            c->property = property(next().text);
            return c->property != nullptr ? std::move(c) : nullptr;
        }
        if (peek().kind != Tok::Word)
            return nullptr;
        c->property = property(next().text);
        if (c->property == nullptr)
            return nullptr;
        if (keyword(u"is")) {
            c->kind = keyword(u"not") ? Condition::Kind::IsNotNull : Condition::Kind::IsNull;
            return keyword(u"null") ? std::move(c) : nullptr;
        }
        if (!comparison(*c) || peek().kind != Tok::String)
            return nullptr;
        c->literal = next().text;
        return c;
    }

    bool comparison(Condition& c)
    {
        if (take(Tok::Equal))
            c.kind = Condition::Kind::Equal;
        else if (take(Tok::NotEqual))
            c.kind = Condition::Kind::NotEqual;
        else
            return false;
        return true;
    }

    std::vector<Token> tokens_;
    std::size_t at_ = 0;
    const std::vector<ClassSchema>& classes_;
    const ClassSchema* class_ = nullptr;
    bool all_ = false;
    std::vector<std::u16string> selected_;
    std::unique_ptr<Condition> where_;
};

} // namespace

std::optional<WmiAnswer> execute(std::u16string_view query, Source& source)
{
    auto tokens = tokenize(query);
    if (!tokens)
        return std::nullopt;
    Parser parser(std::move(*tokens), source.classes());
    if (!parser.parse())
        return std::nullopt;
    return parser.run(source);
}

} // namespace platform::wql

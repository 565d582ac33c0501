#include "platform/xml_document.h"

#include <algorithm>
#include <pugixml.hpp>
#include <sstream>
#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/text_file.h"

namespace platform {

namespace {

// Everything the file holds, kept for the save; whitespace and line ends are not
// normalised, so that the parts the save does not change come back as they were.
constexpr unsigned parseFlags = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_pi | pugi::parse_comments |
                                pugi::parse_declaration | pugi::parse_doctype | pugi::parse_ws_pcdata;

// CodePage: a code page of Windows, by its number (Impl::codePage).
enum class FileEncoding { Utf8, Utf16Le, Utf16Be, Latin1, Ascii, CodePage };

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "第 L 行第 C 列：" for a byte offset into the text.
std::u16string positionOf(std::string_view text, std::size_t offset)
{
    if (offset > text.size())
        offset = text.size();
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return u"第 " + text::number(static_cast<long long>(line)) + u" 行第 " +
           text::number(static_cast<long long>(offset - lineStart + 1)) + u" 列：";
}

// The XML declaration as XML defines it: only at the very start of the document,
// "<?xml", then version, encoding and standalone in this order (version required), each
// as a name, "=" and a quoted value, blanks between them, and "?>".
struct Declaration {
    bool present = false;
    std::string encoding; // lower case; empty when none is named
    // A malformed declaration: where (a byte offset) and what.
    std::optional<std::size_t> errorAt;
    std::u16string error;
};

Declaration readDeclaration(std::string_view head)
{
    Declaration d;
    if (!startsWith(head, "<?xml") || head.size() < 6 || !(isXmlSpace(head[5]) || head[5] == '?'))
        return d;
    d.present = true;
    std::size_t at = 5;
    auto fail = [&](std::u16string what) {
        d.errorAt = at;
        d.error = std::move(what);
        return d;
    };
    auto skipSpace = [&] {
        std::size_t from = at;
        while (at < head.size() && isXmlSpace(head[at]))
            ++at;
        return at > from;
    };
    const char* const names[] = {"version", "encoding", "standalone"};
    std::size_t next = 0;
    for (;;) {
        bool spaced = skipSpace();
        if (startsWith(head.substr(at), "?>"))
            break;
        if (!spaced)
            return fail(u"XML 声明格式不正确");
        std::size_t nameEnd = at;
        while (nameEnd < head.size() && isAsciiLetter(head[nameEnd]))
            ++nameEnd;
        std::string_view name = head.substr(at, nameEnd - at);
        if (name.empty())
            return fail(u"XML 声明格式不正确");
        std::size_t which = 0;
        while (which < std::size(names) && name != names[which])
            ++which;
        if (which == std::size(names))
            return fail(u"XML 声明中不能有“" + text::fromUtf8(name) + u"”");
        if (next == 0 && which != 0)
            return fail(u"XML 声明缺少 version");
        if (which < next)
            return fail(u"XML 声明中“" + text::fromUtf8(name) + u"”的位置不正确");
        next = which + 1;
        at = nameEnd;
        skipSpace();
        if (at >= head.size() || head[at] != '=')
            return fail(u"XML 声明格式不正确");
        ++at;
        skipSpace();
        if (at >= head.size() || (head[at] != '"' && head[at] != '\''))
            return fail(u"XML 声明格式不正确");
        const char quote = head[at];
        const std::size_t close = head.find(quote, at + 1);
        if (close == std::string_view::npos)
            return fail(u"XML 声明格式不正确");
        std::string_view value = head.substr(at + 1, close - at - 1);
        bool valid = !value.empty();
        if (which == 0)
            valid = value.size() > 2 && startsWith(value, "1.") &&
                    std::all_of(value.begin() + 2, value.end(), isAsciiDigit);
        else if (which == 1)
            valid = valid && isAsciiLetter(value[0]) && std::all_of(value.begin(), value.end(), [](char c) {
                        return isAsciiLetter(c) || isAsciiDigit(c) || c == '.' || c == '_' || c == '-';
                    });
        else
            valid = value == "yes" || value == "no";
        if (!valid)
            return fail(u"XML 声明中“" + text::fromUtf8(name) + u"”的值不正确");
        if (which == 1)
            d.encoding = text::toUtf8(text::toLowerAscii(text::fromUtf8(value)));
        at = close + 1;
    }
    if (next == 0) {
        at = 5;
        return fail(u"XML 声明缺少 version");
    }
    return d;
}

bool oneOf(const std::string& name, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (name == n)
            return true;
    return false;
}

bool isUtf8Name(const std::string& name)
{
    return oneOf(name, {"utf-8", "utf8"});
}

bool isUtf16Name(const std::string& name)
{
    return oneOf(name, {"utf-16", "utf-16le", "utf-16be"});
}

bool isAsciiName(const std::string& name)
{
    return oneOf(name, {"us-ascii", "ascii"});
}

bool isLatin1Name(const std::string& name)
{
    return oneOf(name, {"iso-8859-1", "latin1", "latin-1"});
}

// The offset of the first byte that is no part of a well-formed UTF-8 sequence.
std::optional<std::size_t> invalidUtf8At(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        char32_t c = 0, least = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, c = b & 0x1F, least = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, c = b & 0x0F, least = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, c = b & 0x07, least = 0x10000;
        } else {
            return i;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return i;
            c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return i;
        i += extra + 1;
    }
    return std::nullopt;
}

// The first bytes of a UTF-16 text, as ASCII, for reading its declaration.
std::string asciiOfUtf16(std::string_view bytes, bool littleEndian)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size() && out.size() < 512; i += 2) {
        unsigned lo = static_cast<unsigned char>(bytes[i]), hi = static_cast<unsigned char>(bytes[i + 1]);
        unsigned unit = littleEndian ? (hi << 8 | lo) : (lo << 8 | hi);
        out += unit < 0x80 ? static_cast<char>(unit) : '\x7F';
    }
    return out;
}

std::optional<std::string> encode(std::string_view utf8, FileEncoding encoding, unsigned codePage)
{
    switch (encoding) {
    case FileEncoding::Utf8:
        return std::string(utf8);
    case FileEncoding::CodePage:
        return toCodePage(codePage, text::fromUtf8(utf8));
    case FileEncoding::Latin1:
    case FileEncoding::Ascii: {
        const char16_t last = encoding == FileEncoding::Ascii ? 0x7F : 0xFF;
        std::string out;
        for (char16_t c : text::fromUtf8(utf8)) {
            if (c > last)
                return std::nullopt;
            out += static_cast<char>(c);
        }
        return out;
    }
    case FileEncoding::Utf16Le:
    case FileEncoding::Utf16Be: {
        std::string out;
        for (char16_t c : text::fromUtf8(utf8)) {
            char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
            if (encoding == FileEncoding::Utf16Le)
                out += {lo, hi};
            else
                out += {hi, lo};
        }
        return out;
    }
    }
    return std::nullopt;
}

std::string bomOf(FileEncoding encoding)
{
    switch (encoding) {
    case FileEncoding::Utf8:
        return "\xEF\xBB\xBF";
    case FileEncoding::Utf16Le:
        return "\xFF\xFE";
    case FileEncoding::Utf16Be:
        return "\xFE\xFF";
    default:
        return {};
    }
}

// The text content of a node, as the DOM's text gives it: all the text below it. The
// walk keeps no stack of its own, so that any depth of nesting costs no more than its size.
void appendText(pugi::xml_node node, std::string& out)
{
    auto isText = [](pugi::xml_node n) { return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata; };
    if (isText(node)) {
        out += node.value();
        return;
    }
    pugi::xml_node at = node.first_child();
    while (at) {
        if (isText(at))
            out += at.value();
        if (at.first_child()) {
            at = at.first_child();
            continue;
        }
        while (at != node && !at.next_sibling())
            at = at.parent();
        if (at == node)
            break;
        at = at.next_sibling();
    }
}

// Empties an element from its deepest nodes up: removing a subtree at once takes as much
// stack as the subtree is deep.
void removeChildren(pugi::xml_node element)
{
    pugi::xml_node at = element.first_child();
    while (at) {
        if (at.first_child()) {
            at = at.first_child();
            continue;
        }
        pugi::xml_node parent = at.parent();
        parent.remove_child(at);
        at = parent == element ? element.first_child() : parent;
    }
}

// "/a/b/c" as its names; nothing when the path is more than element names.
std::optional<std::vector<std::string>> plainPath(std::string_view xpath)
{
    if (xpath.size() < 2 || xpath.front() != '/')
        return std::nullopt;
    std::vector<std::string> names;
    std::size_t at = 1;
    while (at <= xpath.size()) {
        auto next = xpath.find('/', at);
        if (next == std::string_view::npos)
            next = xpath.size();
        std::string name(xpath.substr(at, next - at));
        if (name.empty() || name.find_first_of("[]@*()=:| \t'\"") != std::string::npos || name == "." || name == "..")
            return std::nullopt;
        names.push_back(std::move(name));
        at = next + 1;
    }
    return names;
}

} // namespace

std::optional<char32_t> characterXmlLacks(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE ||
            c == 0xFFFF)
            return c;
    }
    return std::nullopt;
}

struct XmlDocument::Impl {
    pugi::xml_document doc;
    LoadState state = LoadState::Empty;
    std::u16string reason;
    FileEncoding encoding = FileEncoding::Utf8;
    unsigned codePage = 0;
    bool bom = false;
    std::string lineEnd = "\r\n";
    bool endsWithLineEnd = true;
    // Made here rather than loaded: saved laid out, with a declaration of its own.
    bool fresh = true;
    mutable bool unencodable = false;

    pugi::xpath_node select(std::u16string_view xpath) const
    {
        try {
            return doc.select_node(text::toUtf8(xpath).c_str());
        } catch (const pugi::xpath_exception&) {
            return {};
        }
    }
};

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::load(std::u16string_view path)
{
    impl_ = std::make_unique<Impl>();
    Impl& d = *impl_;
    auto bytes = readFileBytes(path);
    if (!bytes) {
        if (fileIsMissing(path)) {
            d.reason = u"系统找不到指定的文件。";
        } else {
            d.state = LoadState::Malformed;
            d.reason = u"无法读取文件。";
        }
        return false;
    }
    d.fresh = false;
    d.lineEnd = bytes->find("\r\n") != std::string::npos ? "\r\n" : "\n";
    d.endsWithLineEnd = !bytes->empty() && bytes->back() == '\n';
    auto refuse = [&](std::u16string reason) {
        d.state = LoadState::Malformed;
        d.reason = std::move(reason);
        return false;
    };

    // The byte-order mark, then the declaration at the very start of what follows it.
    std::string_view body = *bytes;
    bool utf16 = false, littleEndian = false;
    if (startsWith(body, "\xEF\xBB\xBF")) {
        d.bom = true;
        body.remove_prefix(3);
    } else if (startsWith(body, "\xFF\xFE") || startsWith(body, "\xFE\xFF")) {
        d.bom = true;
        utf16 = true;
        littleEndian = body[0] == '\xFF';
        body.remove_prefix(2);
    } else if (startsWith(body, std::string_view("<\0?\0", 4)) || startsWith(body, std::string_view("\0<\0?", 4))) {
        utf16 = true;
        littleEndian = body[0] == '<';
    }
    const std::string utf16Head = utf16 ? asciiOfUtf16(body, littleEndian) : std::string();
    const std::string_view head = utf16 ? std::string_view(utf16Head) : body;
    const Declaration declaration = readDeclaration(head);
    if (declaration.errorAt)
        return refuse(positionOf(head, *declaration.errorAt) + declaration.error);
    if (!declaration.present) {
        // Anything before a declaration, a blank line included, makes it a processing
        // instruction with a reserved name: the document is not well-formed.
        std::size_t at = 0;
        while (at < head.size() && isXmlSpace(head[at]))
            ++at;
        if (readDeclaration(head.substr(at)).present)
            return refuse(positionOf(head, at) + u"XML 声明之前不能有任何内容");
    }

    // The encoding: a byte-order mark and a declaration that contradict it are no
    // document; an encoding that cannot be read is not guessed at.
    const std::string& name = declaration.encoding;
    const std::u16string named = u"声明的编码“" + text::fromUtf8(name) + u"”";
    std::string buffer;
    pugi::xml_encoding parseAs = pugi::encoding_utf8;
    if (utf16) {
        if (!name.empty() && !isUtf16Name(name))
            return refuse(positionOf(head, 0) + named + u"与文件的 UTF-16 字节不符");
        d.encoding = littleEndian ? FileEncoding::Utf16Le : FileEncoding::Utf16Be;
        buffer = body;
        parseAs = littleEndian ? pugi::encoding_utf16_le : pugi::encoding_utf16_be;
    } else if (name.empty() || isUtf8Name(name)) {
        d.encoding = FileEncoding::Utf8;
        if (auto bad = invalidUtf8At(body))
            return refuse(positionOf(body, *bad) + u"不是有效的 UTF-8 字节" +
                          (name.empty() ? u"（文档没有声明其他编码）" : u""));
        buffer = body;
    } else if (d.bom) {
        return refuse(positionOf(head, 0) + named + u"与 UTF-8 字节顺序标记不符");
    } else if (isUtf16Name(name)) {
        return refuse(positionOf(head, 0) + named + u"与文件的字节不符");
    } else if (isAsciiName(name)) {
        // A subset of UTF-8, and saved as no more than that.
        d.encoding = FileEncoding::Ascii;
        auto high = std::find_if(body.begin(), body.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
        if (high != body.end())
            return refuse(positionOf(body, static_cast<std::size_t>(high - body.begin())) + u"不是" + named +
                          u"的有效字节");
        buffer = body;
    } else if (auto codePage = codePageNamed(name)) {
        auto decoded = fromCodePage(*codePage, body);
        if (!decoded)
            return refuse(positionOf(head, 0) + u"不支持" + named);
        d.encoding = FileEncoding::CodePage;
        d.codePage = *codePage;
        if (decoded->invalidAt)
            return refuse(positionOf(body, *decoded->invalidAt) + u"不是" + named + u"的有效字节");
        buffer = text::toUtf8(decoded->text);
    } else if (isLatin1Name(name)) {
        d.encoding = FileEncoding::Latin1;
        buffer = body;
        parseAs = pugi::encoding_latin1;
    } else {
        return refuse(positionOf(head, 0) + u"不支持" + named);
    }

    auto result = d.doc.load_buffer(buffer.data(), buffer.size(), parseFlags, parseAs);
    if (!result) {
        // Where the parser stopped, as a line and a column of the text.
        std::size_t offset = result.offset > 0 ? static_cast<std::size_t>(result.offset) : 0;
        return refuse(positionOf(buffer, offset) + text::fromUtf8(result.description()));
    }
    // The parser takes a declaration anywhere among the top-level nodes.
    bool first = true;
    for (auto node : d.doc.children()) {
        if (node.type() == pugi::node_declaration && !(first && declaration.present))
            return refuse(positionOf(buffer, buffer.find("<?xml", 1)) + u"XML 声明之前不能有任何内容");
        first = false;
    }
    d.state = LoadState::Loaded;
    return true;
}

XmlDocument::LoadState XmlDocument::state() const
{
    return impl_->state;
}

std::u16string XmlDocument::parseErrorReason() const
{
    return impl_->reason;
}

std::optional<std::u16string> XmlDocument::nodeText(std::u16string_view xpath) const
{
    if (impl_->state == LoadState::Malformed)
        return std::nullopt;
    auto found = impl_->select(xpath);
    if (!found)
        return std::nullopt;
    if (found.attribute())
        return text::fromUtf8(found.attribute().value());
    std::string out;
    appendText(found.node(), out);
    return text::fromUtf8(out);
}

bool XmlDocument::setNodeText(std::u16string_view xpath, std::u16string_view value)
{
    Impl& d = *impl_;
    if (d.state == LoadState::Malformed || characterXmlLacks(value))
        return false;
    const std::string v = text::toUtf8(value);
    auto found = d.select(xpath);
    if (found.attribute())
        return found.attribute().set_value(v.c_str());

    pugi::xml_node target = found.node();
    if (!target) {
        auto names = plainPath(text::toUtf8(xpath));
        if (!names)
            return false;
        pugi::xml_node at = d.doc;
        for (const auto& name : *names) {
            pugi::xml_node child = at.child(name.c_str());
            if (!child) {
                // A document has one root element only.
                if (at == d.doc && d.doc.document_element())
                    return false;
                if (at == d.doc && d.fresh && !d.doc.first_child()) {
                    auto decl = d.doc.append_child(pugi::node_declaration);
                    decl.append_attribute("version") = "1.0";
                    decl.append_attribute("encoding") = "utf-8";
                }
                child = at.append_child(name.c_str());
            }
            at = child;
        }
        target = at;
    }
    if (target.type() != pugi::node_element)
        return false;
    removeChildren(target);
    if (!v.empty())
        target.append_child(pugi::node_pcdata).set_value(v.c_str());
    d.state = LoadState::Loaded;
    return true;
}

bool XmlDocument::save(std::u16string_view path) const
{
    const Impl& d = *impl_;
    d.unencodable = false;
    if (d.state == LoadState::Malformed)
        return false;
    // Node by node, so that the line ends between the declaration, comments and the root
    // survive: the parser keeps no text outside the root.
    std::string utf8;
    bool first = true;
    for (auto node : d.doc.children()) {
        if (!first)
            utf8 += d.lineEnd;
        first = false;
        std::ostringstream out;
        if (d.fresh)
            node.print(out, "  ", pugi::format_indent, pugi::encoding_utf8);
        else
            node.print(out, "", pugi::format_raw, pugi::encoding_utf8);
        std::string s = out.str();
        if (d.fresh) {
            while (!s.empty() && s.back() == '\n')
                s.pop_back();
            std::string crlf;
            for (char c : s)
                crlf += c == '\n' ? d.lineEnd : std::string(1, c);
            s = crlf;
        }
        utf8 += s;
    }
    if (!first && d.endsWithLineEnd)
        utf8 += d.lineEnd;
    auto bytes = encode(utf8, d.encoding, d.codePage);
    if (!bytes) {
        d.unencodable = true;
        return false;
    }
    if (d.bom)
        *bytes = bomOf(d.encoding) + *bytes;
    return replaceFileBytes(path, *bytes);
}

bool XmlDocument::lastSaveUnencodable() const
{
    return impl_->unencodable;
}

} // namespace platform

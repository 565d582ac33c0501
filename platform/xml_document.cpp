#include "platform/xml_document.h"

#include <filesystem>
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

enum class FileEncoding { Utf8, Utf16Le, Utf16Be, Latin1, Ansi };

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// The encoding named in the declaration, lower case; empty when there is none.
std::string declaredEncoding(std::string_view bytes)
{
    if (!startsWith(bytes, "<?xml"))
        return {};
    auto end = bytes.find("?>");
    if (end == std::string_view::npos)
        return {};
    std::string_view decl = bytes.substr(0, end);
    auto at = decl.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at = decl.find_first_of("\"'", at);
    if (at == std::string_view::npos)
        return {};
    auto close = decl.find(decl[at], at + 1);
    if (close == std::string_view::npos)
        return {};
    return text::toUtf8(text::toLowerAscii(text::fromUtf8(decl.substr(at + 1, close - at - 1))));
}

bool isAnsiName(const std::string& name)
{
    for (const char* n : {"gb2312", "gbk", "gb18030", "cp936", "windows-936", "x-gbk", "euc-cn"})
        if (name == n)
            return true;
    return false;
}

std::optional<std::string> encode(std::string_view utf8, FileEncoding encoding)
{
    switch (encoding) {
    case FileEncoding::Utf8:
        return std::string(utf8);
    case FileEncoding::Ansi:
        return toAnsi(text::fromUtf8(utf8));
    case FileEncoding::Latin1: {
        std::string out;
        for (char16_t c : text::fromUtf8(utf8)) {
            if (c > 0xFF)
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

// The text content of a node, as the DOM's text gives it: all the text below it.
void appendText(pugi::xml_node node, std::string& out)
{
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
        out += node.value();
        return;
    }
    for (auto child : node.children())
        appendText(child, out);
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

struct XmlDocument::Impl {
    pugi::xml_document doc;
    LoadState state = LoadState::Empty;
    std::u16string reason;
    FileEncoding encoding = FileEncoding::Utf8;
    bool bom = false;
    std::string lineEnd = "\r\n";
    bool endsWithLineEnd = true;
    // Made here rather than loaded: saved laid out, with a declaration of its own.
    bool fresh = true;

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
        std::error_code ec;
        if (std::filesystem::exists(localPath(path), ec)) {
            d.state = LoadState::Malformed;
            d.reason = u"无法读取文件。";
        } else {
            d.reason = u"系统找不到指定的文件。";
        }
        return false;
    }
    d.fresh = false;
    d.lineEnd = bytes->find("\r\n") != std::string::npos ? "\r\n" : "\n";
    d.endsWithLineEnd = !bytes->empty() && bytes->back() == '\n';

    std::string buffer = *bytes;
    pugi::xml_encoding parseAs = pugi::encoding_auto;
    if (startsWith(buffer, "\xEF\xBB\xBF") || startsWith(buffer, "\xFF\xFE") || startsWith(buffer, "\xFE\xFF")) {
        d.bom = true;
    } else if (std::string name = declaredEncoding(buffer); isAnsiName(name)) {
        d.encoding = FileEncoding::Ansi;
        buffer = text::toUtf8(fromAnsi(buffer));
        parseAs = pugi::encoding_utf8;
    } else if (name == "iso-8859-1" || name == "latin1" || name == "latin-1") {
        d.encoding = FileEncoding::Latin1;
        parseAs = pugi::encoding_latin1;
    }

    auto result = d.doc.load_buffer(buffer.data(), buffer.size(), parseFlags, parseAs);
    if (!result) {
        d.state = LoadState::Malformed;
        // Where the parser stopped, as a line and a column of the text.
        std::size_t offset = result.offset > 0 ? static_cast<std::size_t>(result.offset) : 0;
        if (offset > buffer.size())
            offset = buffer.size();
        std::size_t line = 1, lineStart = 0;
        for (std::size_t i = 0; i < offset; ++i)
            if (buffer[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        d.reason = u"第 " + text::number(static_cast<long long>(line)) + u" 行第 " +
                   text::number(static_cast<long long>(offset - lineStart + 1)) + u" 列：" +
                   text::fromUtf8(result.description());
        return false;
    }
    if (d.encoding != FileEncoding::Ansi) {
        switch (result.encoding) {
        case pugi::encoding_utf16_le:
            d.encoding = FileEncoding::Utf16Le;
            break;
        case pugi::encoding_utf16_be:
            d.encoding = FileEncoding::Utf16Be;
            break;
        case pugi::encoding_latin1:
            d.encoding = FileEncoding::Latin1;
            break;
        default:
            d.encoding = FileEncoding::Utf8;
            break;
        }
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
    if (d.state == LoadState::Malformed)
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
    while (target.first_child())
        target.remove_child(target.first_child());
    if (!v.empty())
        target.append_child(pugi::node_pcdata).set_value(v.c_str());
    d.state = LoadState::Loaded;
    return true;
}

bool XmlDocument::save(std::u16string_view path) const
{
    const Impl& d = *impl_;
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
    auto bytes = encode(utf8, d.encoding);
    if (!bytes)
        return false;
    if (d.bom)
        *bytes = bomOf(d.encoding) + *bytes;
    return replaceFileBytes(path, *bytes);
}

} // namespace platform

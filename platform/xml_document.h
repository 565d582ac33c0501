#pragma once
// An XML document loaded whole from a file and saved whole: the stand-in of the XML DOM.
// A save keeps what the load read (declaration, comments, attributes, whitespace) and
// writes the file in the encoding it had.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The first character of the text that no XML 1.0 document can hold: a control
// character other than tab, LF and CR (NUL among them), U+FFFE, U+FFFF, or half of a
// surrogate pair (as the code unit). Nothing when every character can stand in a document.
std::optional<char32_t> characterXmlLacks(std::u16string_view text);

class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    enum class LoadState {
        Empty,     // nothing loaded yet, or the file was missing: a save creates it
        Loaded,    // a well-formed document
        Malformed, // the file is there but is no well-formed XML (or cannot be read)
    };

    // Reads and parses the whole file at the path (as the system writes it). False when
    // it is missing, unreadable or not well-formed; parseErrorReason() then says why.
    bool load(std::u16string_view path);
    LoadState state() const;
    std::u16string parseErrorReason() const;

    // The text content of the first node, in document order, that the path selects.
    std::optional<std::u16string> nodeText(std::u16string_view xpath) const;
    // Replaces the content of the first element that the path selects with the text.
    // For a plain path of element names ("/newdataset/url") a missing element is added,
    // with its missing ancestors. False when nothing can take the text: the document is
    // malformed, the path is no plain one, or the document's root has another name; and
    // when the text holds a character that XML lacks (see characterXmlLacks).
    bool setNodeText(std::u16string_view xpath, std::u16string_view value);
    // Writes the whole document atomically. False when the document is malformed, a
    // character cannot be written in its encoding, or the file cannot be written.
    bool save(std::u16string_view path) const;
    // Why the last save failed: a character its encoding cannot hold, or the file.
    bool lastSaveUnencodable() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform

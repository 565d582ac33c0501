// The XML document on any file: a document saved and loaded again has the same texts; a
// text set reads back after the save; a second save writes the same bytes; a document
// that is not well-formed is never written; a text with a character that XML lacks is
// never taken.

#include "fuzz/fuzz_support.h"
#include "platform/xml_document.h"

using platform::XmlDocument;

namespace {

const std::u16string paths[] = {u"/newdataset/url", u"/*", u"/*/*[1]", u"/*/*[2]", u"//@*", u"/*/@*[1]",
                                u"//text()[1]", u"//*[3]"};

std::string texts(const XmlDocument& d)
{
    std::string out;
    for (const auto& p : paths) {
        auto t = d.nodeText(p);
        out += fuzz::show(p) + ": " + (t ? fuzz::show(*t) : std::string("none")) + "\n";
    }
    return out;
}

std::string file(const char* name)
{
    return fuzz::readBytes(fuzz::scratch() / name).value_or("<missing>");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::clearScratch();
    fuzz::Fields f(data, size);
    const std::string bytes(f.bytes(0));
    // A text as a field gives it, pasted control characters and halves of surrogate
    // pairs included.
    const std::u16string value = f.text(1);

    const auto original = fuzz::scratchFile("config.xml");
    const auto copy = fuzz::scratchFile("copy.xml");
    const auto again = fuzz::scratchFile("again.xml");
    fuzz::writeBytes(fuzz::scratch() / "config.xml", bytes);
    std::string detail = "file " + fuzz::show(bytes);

    XmlDocument doc;
    if (!doc.load(original)) {
        fuzz::check(doc.state() == XmlDocument::LoadState::Malformed && !doc.parseErrorReason().empty(),
                    "a document that does not load is malformed, with a reason", detail);
        fuzz::check(!doc.setNodeText(u"/newdataset/url", value), "a malformed document takes no text", detail);
        fuzz::check(!doc.save(original) && !doc.save(copy), "a malformed document is never saved", detail);
        fuzz::check(file("config.xml") == bytes && file("copy.xml") == "<missing>",
                    "a malformed document writes nothing", detail);
        return 0;
    }

    // Saved as it was loaded, then loaded again: the same texts.
    if (doc.save(copy)) {
        XmlDocument back;
        fuzz::check(back.load(copy), "a saved document loads", detail + "\nsaved " + fuzz::show(file("copy.xml")));
        fuzz::check(texts(back) == texts(doc), "a document saved and loaded has the same texts",
                    detail + "\nsaved " + fuzz::show(file("copy.xml")) + "\nloaded:\n" + texts(doc) +
                        "after the save:\n" + texts(back));
        fuzz::check(back.save(again) && file("again.xml") == file("copy.xml"), "a second save writes the same bytes",
                    detail + "\nfirst " + fuzz::show(file("copy.xml")) + "\nsecond " + fuzz::show(file("again.xml")));
    } else {
        fuzz::check(file("copy.xml") == "<missing>", "a save that fails writes nothing", detail);
    }

    // The address set, saved and loaded again.
    detail += "\nvalue " + fuzz::show(value);
    if (platform::characterXmlLacks(value)) {
        const auto before = doc.nodeText(u"/newdataset/url");
        fuzz::check(!doc.setNodeText(u"/newdataset/url", value) && doc.nodeText(u"/newdataset/url") == before,
                    "a text with a character that XML lacks is not taken", detail);
        return 0;
    }
    if (!doc.setNodeText(u"/newdataset/url", value))
        return 0;
    fuzz::check(doc.nodeText(u"/newdataset/url") == value, "a text set reads back", detail);
    if (!doc.save(original)) {
        fuzz::check(file("config.xml") == bytes, "a save that fails leaves the file as it was", detail);
        return 0;
    }
    XmlDocument saved;
    fuzz::check(saved.load(original), "a document with a text set loads after its save",
                detail + "\nsaved " + fuzz::show(file("config.xml")));
    auto back = saved.nodeText(u"/newdataset/url");
    fuzz::check(back == value, "a text set reads back after the save",
                detail + "\nsaved " + fuzz::show(file("config.xml")) + "\nread " + (back ? fuzz::show(*back) : "none"));
    return 0;
}

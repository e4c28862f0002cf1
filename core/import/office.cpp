// SPDX-License-Identifier: GPL-3.0-or-later
// Word documents (.docx: word/document.xml) and OpenDocument texts (.odt:
// content.xml): each paragraph and heading a line, in the body's order. The
// XML is read as a stream, so memory follows the text, not the markup.
#include <libxml/xmlreader.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tavrilo/import/document.h"
#include "zip_xml.h"

namespace tavrilo {
namespace {

using Reader = std::unique_ptr<xmlTextReader, void (*)(xmlTextReaderPtr)>;

// Where the reading is: the lines, the text elements open, and the lines
// ended before each open paragraph began.
struct State {
    TextLines lines;
    int inText = 0;
    std::vector<std::size_t> paragraphs;
    bool runProperties = false, hidden = false;  // Word: in a run's properties; the run is hidden

    // A paragraph inside another (a text box) is a line of its own.
    void ParagraphStarts(bool empty) {
        lines.EndLine(false);
        paragraphs.push_back(lines.Count());
        if (empty) ParagraphEnds();
    }
    // An empty paragraph is an empty line; one that held a text box only is none.
    void ParagraphEnds() {
        if (paragraphs.empty()) return;
        lines.EndLine(lines.Count() == paragraphs.back());
        paragraphs.pop_back();
    }
};

// What a reader does at an element that starts, one that ends, and text.
struct Format {
    const char* part;
    const char* broken;
    // false: the element and all it holds are left out.
    bool (*start)(xmlTextReaderPtr r, const char* name, State& s);
    void (*end)(const char* name, State& s);
    bool textEverywhere;  // else only inside the elements start counts in inText
};

// w:t holds the text; w:tab, w:ptab, w:br and w:cr place blanks and line ends.
// Left out: properties (whose tab stops are w:tab too) but a run's hiding,
// hidden runs, deleted and moved-away text, and the fallback copy of a text box.
bool DocxStart(xmlTextReaderPtr r, const char* name, State& s) {
    const bool empty = xmlTextReaderIsEmptyElement(r) == 1;
    if (Is(name, {"r"})) s.hidden = false;
    if (Is(name, {"rPr"}) && !s.runProperties) return s.runProperties = !empty, true;
    if (s.runProperties) {
        if (Is(name, {"vanish"})) {
            xmlChar* val = xmlTextReaderGetAttributeNo(r, 0);
            s.hidden = val == nullptr || !Is(reinterpret_cast<const char*>(val), {"0", "false", "off"});
            xmlFree(val);
        }
        return true;
    }
    if (Is(name, {"pPr", "sectPr", "tblPr", "del", "moveFrom", "Fallback"})) return false;
    if (s.hidden) return !Is(name, {"t"});
    if (Is(name, {"t"}) && !empty) ++s.inText;
    if (Is(name, {"tab", "ptab"})) s.lines.Blank();
    if (Is(name, {"br", "cr"})) s.lines.EndLine(true);
    if (Is(name, {"noBreakHyphen"})) s.lines.Text("-");
    if (Is(name, {"p"})) s.ParagraphStarts(empty);
    return true;
}

void DocxEnd(const char* name, State& s) {
    if (Is(name, {"rPr"})) s.runProperties = false;
    if (Is(name, {"t"}) && s.inText > 0) --s.inText;
    if (Is(name, {"p"})) s.ParagraphEnds();
}

// text:s is c blanks (a few at most: no calculator row is wider); text:tab a
// blank, text:line-break a line end. Left out: notes and comments, which stand
// in the middle of a sentence, text that tracked changes removed, the
// templates of indexes, pictures' titles and descriptions, and embedded data.
bool OdtStart(xmlTextReaderPtr r, const char* name, State& s) {
    const auto* ns = reinterpret_cast<const char*>(xmlTextReaderConstNamespaceUri(r));
    const bool svg = ns != nullptr && std::strstr(ns, "svg") != nullptr;
    const std::size_t length = std::strlen(name);
    if (Is(name, {"note", "annotation", "tracked-changes", "binary-data"}) || (svg && Is(name, {"title", "desc"})) ||
        (length > 7 && strcasecmp(name + length - 7, "-source") == 0))
        return false;
    const bool empty = xmlTextReaderIsEmptyElement(r) == 1;
    if (Is(name, {"s"})) {
        long n = 1;
        for (int at = xmlTextReaderMoveToFirstAttribute(r); at == 1; at = xmlTextReaderMoveToNextAttribute(r))
            if (Is(reinterpret_cast<const char*>(xmlTextReaderConstLocalName(r)), {"c"}))
                n = std::strtol(reinterpret_cast<const char*>(xmlTextReaderConstValue(r)), nullptr, 10);
        xmlTextReaderMoveToElement(r);
        for (long i = 0; i < std::clamp(n, 1L, 40L); ++i) s.lines.Blank();
    }
    if (Is(name, {"tab"})) s.lines.Blank();
    if (Is(name, {"line-break"})) s.lines.EndLine(true);
    if (Is(name, {"p", "h"})) s.ParagraphStarts(empty);
    return true;
}

void OdtEnd(const char* name, State& s) {
    if (Is(name, {"p", "h"})) s.ParagraphEnds();
}

constexpr Format kDocx{"word/document.xml", "it is not a Word document that can be read", DocxStart, DocxEnd, false};
constexpr Format kOdt{"content.xml", "it is not an OpenDocument text that can be read", OdtStart, OdtEnd, true};

// The body's text; false for XML that cannot be read to its end.
bool ReadBody(const std::string& xml, const Format& f, std::string& out) {
    Reader r(xmlReaderForMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE),
             xmlFreeTextReader);
    if (!r) return false;
    State s{TextLines(out), 0, {}};
    bool body = false, skip = false;
    int ret = 0;
    while ((ret = skip ? xmlTextReaderNext(r.get()) : xmlTextReaderRead(r.get())) == 1) {
        skip = false;
        const int type = xmlTextReaderNodeType(r.get());
        const auto* name = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(r.get()));
        if (xmlTextReaderDepth(r.get()) == 1 && type == XML_READER_TYPE_ELEMENT) {
            body = Is(name, {"body"});  // the root's other children hold no text of the document
            skip = !body;
        } else if (!body) {
            continue;
        } else if (type == XML_READER_TYPE_ELEMENT) {
            skip = !f.start(r.get(), name, s);
        } else if (type == XML_READER_TYPE_END_ELEMENT) {
            f.end(name, s);
        } else if ((f.textEverywhere || s.inText > 0) &&
                   (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                    type == XML_READER_TYPE_WHITESPACE || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE)) {
            // Word shows every blank it keeps; OpenDocument's own blanks are text:s.
            s.lines.Text(reinterpret_cast<const char*>(xmlTextReaderConstValue(r.get())), !f.textEverywhere);
        }
    }
    s.lines.EndLine(false);
    return ret == 0;
}

Status ImportOffice(std::string_view bytes, const Format& f, std::string& utf8) {
    Files files;
    bool tooLarge = false;
    const bool read = Unpack(bytes, files, tooLarge, {f.part, "META-INF/manifest.xml"});
    // A locked OpenDocument file keeps its manifest readable, and says how its parts are encrypted.
    if (read && files["META-INF/manifest.xml"].find("encryption-data") != std::string::npos)
        return Status::Failed("it is locked with a password: save it without one", EINVAL);
    if (!read || files.count(f.part) == 0) {
        // A Word file with a password, or of before 2007, is an OLE compound file.
        if (&f == &kDocx && bytes.substr(0, 4) == "\xD0\xCF\x11\xE0")
            return Status::Failed("it is locked with a password or an older Word file: save it without a password, "
                                  "as .docx or as a text", EINVAL);
        return Status::Failed(tooLarge ? "it unpacks to more than 256 MiB" : f.broken, EINVAL);
    }
    std::string out;
    if (!ReadBody(files[f.part], f, out)) return Status::Failed(f.broken, EINVAL);
    if (out.find_first_not_of('\n') == std::string::npos) return Status::Failed("it has no text", EINVAL);
    utf8 = std::move(out);
    return {};
}

}  // namespace

Status ImportDocx(std::string_view bytes, std::string& utf8) { return ImportOffice(bytes, kDocx, utf8); }

Status ImportOdt(std::string_view bytes, std::string& utf8) { return ImportOffice(bytes, kOdt, utf8); }

}  // namespace tavrilo

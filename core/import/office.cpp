// SPDX-License-Identifier: GPL-3.0-or-later
// Word documents (.docx: word/document.xml) and OpenDocument texts (.odt:
// content.xml): each paragraph and heading a line, in the body's order.
#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "plain_spaces.h"
#include "tavrilo/import/document.h"
#include "zip_xml.h"

namespace tavrilo {
namespace {

// w:t holds the text; w:tab, w:br and w:cr place blanks and line ends. Left
// out: properties (whose tab stops are w:tab too), deleted text, field codes,
// and the fallback copy of a text box.
void WalkDocx(const xmlNode* n, TextLines& lines) {
    for (; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        if (OneOf(n, {"pPr", "rPr", "sectPr", "tblPr", "delText", "instrText", "Fallback"})) continue;
        if (Named(n, "t")) {
            for (const xmlNode* c = n->children; c != nullptr; c = c->next)
                if (c->type == XML_TEXT_NODE) lines.Text(reinterpret_cast<const char*>(c->content));
        } else if (Named(n, "tab")) {
            lines.Blank();
        } else if (OneOf(n, {"br", "cr"})) {
            lines.EndLine(true);
        } else if (Named(n, "noBreakHyphen")) {
            lines.Text("-");
        } else {
            WalkDocx(n->children, lines);
            if (Named(n, "p")) lines.EndLine(true);
        }
    }
}

// text:s is c blanks; text:tab a blank, text:line-break a line end. Left out:
// notes and comments, which stand in the middle of a sentence, and the text
// that tracked changes removed.
void WalkOdt(const xmlNode* n, TextLines& lines) {
    for (; n != nullptr; n = n->next) {
        if (n->type == XML_TEXT_NODE) {
            lines.Text(reinterpret_cast<const char*>(n->content));
        } else if (n->type != XML_ELEMENT_NODE || OneOf(n, {"note", "annotation", "tracked-changes"})) {
            continue;
        } else if (Named(n, "s")) {
            const long c = Attr(n, "c").empty() ? 1 : std::strtol(Attr(n, "c").c_str(), nullptr, 10);
            for (long i = 0; i < std::clamp(c, 1L, 1000L); ++i) lines.Blank();
        } else if (Named(n, "tab")) {
            lines.Blank();
        } else if (Named(n, "line-break")) {
            lines.EndLine(true);
        } else {
            WalkOdt(n->children, lines);
            if (OneOf(n, {"p", "h"})) lines.EndLine(true);
        }
    }
}

const xmlNode* Body(const xmlNode* root) {
    for (const xmlNode* n = root ? root->children : nullptr; n != nullptr; n = n->next)
        if (Named(n, "body")) return n;
    return nullptr;
}

Status ImportOffice(std::string_view bytes, const char* part, const char* broken,
                    void (*walk)(const xmlNode*, TextLines&), std::string& utf8) {
    Files files;
    bool tooLarge = false;
    if (!Unpack(bytes, files, tooLarge, part) || files.count(part) == 0) {
        // A Word file with a password, or of before 2007, is an OLE compound file.
        if (bytes.substr(0, 4) == "\xD0\xCF\x11\xE0")
            return Status::Failed("it is locked with a password or an older Word file: save it without a password, "
                                  "as .docx or as a text", EINVAL);
        return Status::Failed(tooLarge ? "it unpacks to more than 256 MiB" : broken, EINVAL);
    }
    Doc doc = ParseXml(files[part]);
    const xmlNode* body = Body(doc ? xmlDocGetRootElement(doc.get()) : nullptr);
    if (body == nullptr) return Status::Failed(broken, EINVAL);
    std::string out;
    TextLines lines(out);
    walk(body->children, lines);
    lines.EndLine(false);
    if (out.find_first_not_of(" \n") == std::string::npos) return Status::Failed("it has no text", EINVAL);
    PlainSpaces(out);
    utf8 = std::move(out);
    return {};
}

}  // namespace

Status ImportDocx(std::string_view bytes, std::string& utf8) {
    return ImportOffice(bytes, "word/document.xml", "it is not a Word document that can be read", WalkDocx, utf8);
}

Status ImportOdt(std::string_view bytes, std::string& utf8) {
    return ImportOffice(bytes, "content.xml", "it is not an OpenDocument text that can be read", WalkOdt, utf8);
}

}  // namespace tavrilo

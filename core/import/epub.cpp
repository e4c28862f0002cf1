// SPDX-License-Identifier: GPL-3.0-or-later
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "zip_xml.h"
#include "tavrilo/import/document.h"

namespace tavrilo {
namespace {

const char* const kBroken = "it is not an EPUB e-book that can be read";

using Doc = std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)>;

// The XML of data, without the network and silently; null where it cannot be read at all.
Doc ParseXml(const std::string& data) {
    return Doc(xmlReadMemory(data.data(), static_cast<int>(data.size()), nullptr, nullptr,
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_RECOVER),
               xmlFreeDoc);
}

std::string Attr(const xmlNode* n, const char* name) {
    xmlChar* v = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
    if (v == nullptr) return std::string();
    std::string s(reinterpret_cast<const char*>(v));
    xmlFree(v);
    return s;
}

// The elements named name under n, in document order.
void Find(const xmlNode* n, const char* name, std::vector<const xmlNode*>& out) {
    for (; n != nullptr; n = n->next) {
        if (Named(n, name)) out.push_back(n);
        Find(n->children, name, out);
    }
}

// A name in the archive from href, relative to the folder base ends in "/":
// the part after "#" dropped, "%XX" decoded, "." and ".." resolved.
std::string Resolve(const std::string& base, std::string href) {
    href = href.substr(0, href.find('#'));
    std::string decoded;
    for (std::size_t i = 0; i < href.size(); ++i) {
        if (href[i] == '%' && i + 2 < href.size() && std::isxdigit(static_cast<unsigned char>(href[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(href[i + 2]))) {
            decoded += static_cast<char>(std::stoi(href.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += href[i];
        }
    }
    std::vector<std::string> parts;
    std::string path = decoded.empty() || decoded[0] != '/' ? base + decoded : decoded.substr(1);
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
    return out;
}

// The chapters of the book in reading order, by their names in the archive.
std::vector<std::string> Spine(const Files& files) {
    const auto container = files.find("META-INF/container.xml");
    if (container == files.end()) return {};
    Doc doc = ParseXml(container->second);
    if (!doc) return {};
    std::vector<const xmlNode*> roots;
    Find(xmlDocGetRootElement(doc.get()), "rootfile", roots);
    if (roots.empty()) return {};
    const std::string opfName = Attr(roots.front(), "full-path");
    const auto opf = files.find(opfName);
    if (opf == files.end()) return {};
    const std::string base = opfName.substr(0, opfName.rfind('/') + 1);
    Doc package = ParseXml(opf->second);
    if (!package) return {};
    std::map<std::string, std::string> manifest;
    std::vector<const xmlNode*> items, refs;
    Find(xmlDocGetRootElement(package.get()), "item", items);
    Find(xmlDocGetRootElement(package.get()), "itemref", refs);
    // Chapters are XHTML; a picture or other item in the spine has no text to take.
    for (const xmlNode* item : items)
        if (Attr(item, "media-type").find("html") != std::string::npos)
            manifest[Attr(item, "id")] = Resolve(base, Attr(item, "href"));
    // Each chapter once: a spine that names one again and again would copy its
    // text as often, far past what the archive unpacks to.
    std::vector<std::string> chapters;
    std::set<std::string> taken;
    for (const xmlNode* ref : refs) {
        const auto item = manifest.find(Attr(ref, "idref"));
        if (item != manifest.end() && taken.insert(item->second).second) chapters.push_back(item->second);
    }
    return chapters;
}

// Appends the text of the nodes from n on: runs of white space become one
// blank, and every block element ends a line.
class ChapterText {
public:
    explicit ChapterText(std::string& out) : lines_(out) {}

    void Walk(const xmlNode* n) {
        for (; n != nullptr; n = n->next) {
            if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
                lines_.Text(reinterpret_cast<const char*>(n->content), pre_ > 0);
            } else if (n->type == XML_ELEMENT_NODE) {
                if (OneOf(n, {"head", "script", "style", "svg", "math"})) continue;
                if (Named(n, "br")) {
                    lines_.EndLine(true);
                    continue;
                }
                const bool block = OneOf(n, {"p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "li", "tr",
                                             "blockquote", "pre", "section", "article", "dt", "dd",
                                             "figcaption", "hr", "table", "ul", "ol", "dl", "body"});
                const bool pre = Named(n, "pre");
                if (block) lines_.EndLine(false);
                pre_ += pre;
                Walk(n->children);
                pre_ -= pre;
                if (block) lines_.EndLine(false);
            }
        }
    }
    void EndLine() { lines_.EndLine(false); }

private:
    TextLines lines_;
    int pre_ = 0;
};

// The value of key= in a tag (lower case), without its quotes; "" without one.
std::string ValueOf(const std::string& tag, const char* key) {
    std::size_t i = tag.find(key);
    if (i == std::string::npos) return {};
    i += std::strlen(key);
    while (i < tag.size() && std::strchr(" \t\r\n=\"'", tag[i]) != nullptr && tag[i] != '\0') ++i;
    std::size_t end = i;
    while (end < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[end])) ||
                                (tag[end] != '\0' && std::strchr("-_.:", tag[end]) != nullptr)))
        ++end;
    return tag.substr(i, end - i);
}

// The encoding a chapter declares: in the XML declaration it starts with, or
// in a meta element of its head. UTF-8 without one, or for a wide encoding,
// which a declaration read as ASCII cannot be in; none for a byte order mark,
// which the parser reads.
std::string DeclaredEncoding(const std::string& data) {
    if (data.size() >= 2 && (data.compare(0, 2, "\xFF\xFE") == 0 || data.compare(0, 2, "\xFE\xFF") == 0)) return {};
    std::string head = data.substr(0, 1024);
    for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string name;
    const std::size_t start = head.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    if (start != std::string::npos && head.compare(start, 5, "<?xml") == 0)
        name = ValueOf(head.substr(start, head.find("?>", start) - start), "encoding");
    const std::size_t headEnd = head.find("</head>");
    for (std::size_t m = head.find("<meta"); name.empty() && m < headEnd; m = head.find("<meta", m + 1))
        name = ValueOf(head.substr(m, head.find('>', m) - m), "charset");
    for (const char* wide : {"utf-16", "utf-32", "ucs"})
        if (name.rfind(wide, 0) == 0) name.clear();
    return name.empty() ? "UTF-8" : name;
}

Doc ParseChapter(const std::string& data, const std::string& encoding) {
    return Doc(htmlReadMemory(data.data(), static_cast<int>(data.size()), nullptr,
                              encoding.empty() ? nullptr : encoding.c_str(),
                              HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET),
               xmlFreeDoc);
}

// The chapter without the internal subset of its document type, which the
// HTML parser would show as text; the entities it declares stay unexpanded.
// Quoted values and comments may hold brackets.
std::string WithoutInternalSubset(const std::string& data) {
    const auto at = [&data](std::size_t i, const char* s) { return data.compare(i, std::strlen(s), s) == 0; };
    const std::size_t head = std::min<std::size_t>(data.size(), 4096);
    std::size_t doctype = std::string::npos;
    for (std::size_t i = 0; i < head && doctype == std::string::npos; ++i) {
        if (at(i, "<!--")) i = std::min(data.find("-->", i), data.size());
        else if (data[i] == '<' && strncasecmp(data.c_str() + i, "<!doctype", 9) == 0) doctype = i;
    }
    if (doctype == std::string::npos) return data;
    bool subset = false;
    for (std::size_t i = doctype + 9; i < data.size(); ++i) {
        if (data[i] == '"' || data[i] == '\'') {
            i = data.find(data[i], i + 1);
            if (i == std::string::npos) break;
        } else if (at(i, "<!--")) {
            i = data.find("-->", i);
            if (i == std::string::npos) break;
        } else if (data[i] == '[') {
            subset = true;
        } else if (data[i] == ']' && subset) {
            subset = false;
        } else if (data[i] == '>' && !subset) {
            return data.find('[', doctype) < i ? data.substr(0, doctype) + data.substr(i + 1) : data;
        }
    }
    return data;
}

void AppendChapter(const std::string& raw, std::string& out) {
    const std::string data = WithoutInternalSubset(raw);
    Doc doc = ParseChapter(data, DeclaredEncoding(data));
    if (!doc) return;
    std::string text;
    ChapterText walker(text);
    walker.Walk(xmlDocGetRootElement(doc.get()));
    walker.EndLine();
    if (text.empty()) return;
    if (!out.empty()) out += '\n';  // a blank line between chapters
    out += text;
}

}  // namespace

Status ImportEpub(std::string_view bytes, std::string& utf8) {
    Files files;
    bool tooLarge = false;
    if (!Unpack(bytes, files, tooLarge))
        return Status::Failed(tooLarge ? "it unpacks to more than 256 MiB" : kBroken, EINVAL);
    const std::vector<std::string> chapters = Spine(files);
    if (chapters.empty()) return Status::Failed(kBroken, EINVAL);
    std::string out;
    for (const std::string& name : chapters) {
        const auto chapter = files.find(name);
        if (chapter != files.end()) AppendChapter(chapter->second, out);
    }
    if (out.empty()) return Status::Failed("it has no text", EINVAL);
    utf8 = std::move(out);
    return {};
}

}  // namespace tavrilo

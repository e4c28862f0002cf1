// SPDX-License-Identifier: GPL-3.0-or-later
// The text of a PDF document, an EPUB e-book, a Word document or an OpenDocument text.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

#include "tavrilo/system/status.h"

namespace tavrilo {

enum class DocumentKind { Text, Pdf, Epub, Docx, Odt };

// The kind a file's name says: ".pdf", ".epub", ".docx" or ".odt" in any case, else a text.
// Inline, for the programs that load the readers only when they need them.
inline DocumentKind KindOfName(std::string_view name) {
    const auto endsWith = [name](std::string_view suffix) {
        if (name.size() < suffix.size()) return false;
        return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(b)) == a; });
    };
    if (endsWith(".pdf")) return DocumentKind::Pdf;
    if (endsWith(".epub")) return DocumentKind::Epub;
    if (endsWith(".docx")) return DocumentKind::Docx;
    if (endsWith(".odt")) return DocumentKind::Odt;
    return DocumentKind::Text;
}

// The text of a document's bytes as UTF-8, its lines ended by LF: the pages
// of a PDF in order, the chapters of an EPUB in reading order with each
// paragraph a line and the markup dropped, the body of a Word document or an
// OpenDocument text with each paragraph a line (an empty one an empty line).
// A document without text, a locked one or a broken file fails with one
// sentence that says which.
Status ImportPdf(std::string_view bytes, std::string& utf8);
Status ImportEpub(std::string_view bytes, std::string& utf8);
Status ImportDocx(std::string_view bytes, std::string& utf8);
Status ImportOdt(std::string_view bytes, std::string& utf8);

// The text of a document of kind Pdf, Epub, Docx or Odt.
inline Status Import(DocumentKind kind, std::string_view bytes, std::string& utf8) {
    switch (kind) {
    case DocumentKind::Pdf: return ImportPdf(bytes, utf8);
    case DocumentKind::Docx: return ImportDocx(bytes, utf8);
    case DocumentKind::Odt: return ImportOdt(bytes, utf8);
    default: return ImportEpub(bytes, utf8);
    }
}

}  // namespace tavrilo

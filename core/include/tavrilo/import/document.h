// SPDX-License-Identifier: GPL-3.0-or-later
// The text of a PDF document or an EPUB e-book.
#pragma once

#include <string>
#include <string_view>

#include "tavrilo/system/status.h"

namespace tavrilo {

enum class DocumentKind { Text, Pdf, Epub };

// The kind a file's name says: ".pdf" or ".epub" in any case, else a text.
DocumentKind KindOfName(std::string_view name);

// The text of a document's bytes as UTF-8, its lines ended by LF: the pages
// of a PDF in order, the chapters of an EPUB in reading order with each
// paragraph a line and the markup dropped. A document without text, a locked
// one or a broken file fails with one sentence that says which.
Status ImportPdf(std::string_view bytes, std::string& utf8);
Status ImportEpub(std::string_view bytes, std::string& utf8);

}  // namespace tavrilo

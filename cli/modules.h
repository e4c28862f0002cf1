// SPDX-License-Identifier: GPL-3.0-or-later
// Code that tavrilo-convert loads only when a command needs it, so that the
// other commands start without its libraries: send's link code, and the
// readers of documents (PDF, EPUB, Word, OpenDocument). Each module links its own copy of
// the core: what it does must not need the program's state (such as the
// temporary files the signal handlers remove).
#pragma once

#include <string>
#include <string_view>

#include "tavrilo/import/document.h"
#include "tavrilo/system/status.h"

namespace tavrilo::cli {

// The module file (such as "tavrilo-send.so") from the library folder it is
// installed in, or from beside the program in the build tree, both found
// from the program's own place; nothing, with why, when it cannot be loaded.
void* LoadModule(const std::string& file, std::string& why);

// The import module's one entry: ImportPdf or ImportEpub by kind. A module
// built for another layout answers kOtherImportLayout.
inline constexpr int kImportLayout = 1;
inline constexpr int kOtherImportLayout = -1;
using ImportDocument = int (*)(int layout, DocumentKind kind, std::string_view bytes, std::string& utf8,
                               Status& result);
inline constexpr char kImportModule[] = "tavrilo-import.so";
inline constexpr char kImportSymbol[] = "tavrilo_import_document";

// The UTF-8 text of a document through the import module.
Status ImportDocumentText(DocumentKind kind, std::string_view bytes, std::string& utf8);

}  // namespace tavrilo::cli

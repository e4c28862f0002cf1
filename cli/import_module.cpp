// SPDX-License-Identifier: GPL-3.0-or-later
// The module behind tavrilo-convert's document input (PDF, EPUB, Word, OpenDocument).
#include "modules.h"

extern "C" __attribute__((visibility("default"))) int tavrilo_import_document(int layout, tavrilo::DocumentKind kind,
                                                                              std::string_view bytes,
                                                                              std::string& utf8,
                                                                              tavrilo::Status& result) {
    using namespace tavrilo;
    if (layout != cli::kImportLayout) return cli::kOtherImportLayout;
    result = Import(kind, bytes, utf8);
    return 0;
}

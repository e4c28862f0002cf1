// SPDX-License-Identifier: GPL-3.0-or-later
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <climits>
#include <memory>

#include "plain_spaces.h"
#include "tavrilo/import/document.h"

namespace tavrilo {
namespace {

bool AllBlank(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

// poppler writes its complaints about a broken file to standard error; the
// failure is reported by the one sentence instead.
void Quiet(const std::string&, void*) {}

}  // namespace

Status ImportPdf(std::string_view bytes, std::string& utf8) {
    poppler::set_debug_error_function(Quiet, nullptr);
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        return Status::Failed("it is too large to read", EINVAL);
    std::unique_ptr<poppler::document> doc(
        poppler::document::load_from_raw_data(bytes.data(), static_cast<int>(bytes.size())));
    if (!doc) return Status::Failed("it is not a PDF document that can be read", EINVAL);
    if (doc->is_locked()) return Status::Failed("it is locked with a password", EINVAL);
    std::string out;
    for (int i = 0; i < doc->pages(); ++i) {
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        if (!page) continue;
        const poppler::byte_array text =
            page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
        // Pages end with a form feed in poppler's text; a page is its lines.
        std::string lines(text.begin(), text.end());
        std::replace(lines.begin(), lines.end(), '\f', '\n');
        PlainSpaces(lines);
        while (!lines.empty() && (lines.back() == '\n' || lines.back() == ' ')) lines.pop_back();
        if (lines.empty()) continue;
        if (!out.empty()) out += '\n';
        out += lines;
        out += '\n';
    }
    if (AllBlank(out))
        return Status::Failed("it has no text: its pages are pictures only, as scanned pages are", EINVAL);
    utf8 = std::move(out);
    return {};
}

}  // namespace tavrilo

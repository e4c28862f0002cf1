// SPDX-License-Identifier: GPL-3.0-or-later
#include "zip_xml.h"

#include <archive.h>
#include <archive_entry.h>
#include <strings.h>

#include <algorithm>

#include "plain_spaces.h"

namespace tavrilo {

bool Unpack(std::string_view bytes, Files& files, bool& tooLarge, std::initializer_list<std::string_view> only) {
    constexpr std::size_t kMaxUnpacked = 256u << 20;
    std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
    archive_read_support_format_zip(a.get());
    if (archive_read_open_memory(a.get(), bytes.data(), bytes.size()) != ARCHIVE_OK) return false;
    std::size_t total = 0;
    archive_entry* entry = nullptr;
    for (;;) {
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF) return !files.empty();
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return false;
        const char* name = archive_entry_pathname(entry);
        if (name == nullptr || archive_entry_filetype(entry) != AE_IFREG) continue;
        if (only.size() != 0 && std::find(only.begin(), only.end(), std::string_view(name)) == only.end()) continue;
        std::string& data = files[name];
        char buf[65536];
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), buf, sizeof buf);
            if (n < 0) return false;
            if (n == 0) break;
            total += static_cast<std::size_t>(n);
            if (total > kMaxUnpacked) {
                tooLarge = true;
                return false;
            }
            data.append(buf, static_cast<std::size_t>(n));
        }
    }
}

bool Is(const char* name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (strcasecmp(name, n) == 0) return true;
    return false;
}

void TextLines::Text(const char* s, bool kept) {
    if (s == nullptr) return;
    for (; *s != '\0'; ++s) {
        const char c = *s;
        if (const std::size_t n = SpaceSeparatorLength(s)) {
            line_ += ' ';
            s += n - 1;
        } else if (kept && c == '\n') {
            EndLine(true);
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (kept || (!line_.empty() && line_.back() != ' ')) line_ += ' ';
        } else {
            line_ += c;
        }
    }
}

void TextLines::EndLine(bool always) {
    while (!line_.empty() && line_.back() == ' ') line_.pop_back();
    if (!line_.empty() || always) {
        out_ += line_;
        out_ += '\n';
        ++count_;
    }
    line_.clear();
}

}  // namespace tavrilo

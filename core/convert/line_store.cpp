// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/convert/line_store.h"

#include "tavrilo/system/huge_pages.h"

namespace tavrilo {

void LineStore::Clear() {
    bytes_.clear();
    ends_.clear();
}

void LineStore::Reserve(std::size_t bytes, std::size_t lines) {
    bytes_.reserve(bytes);
    ends_.reserve(lines);
    AdviseHugePages(bytes_.data(), bytes_.capacity());
    AdviseHugePages(ends_.data(), ends_.capacity() * sizeof(std::size_t));
}

void LineStore::Add(std::string_view line) {
    bytes_ += line;
    ends_.push_back(bytes_.size());
}

void LineStore::AddJoined(std::initializer_list<std::string_view> pieces) {
    for (std::string_view p : pieces) bytes_ += p;
    ends_.push_back(bytes_.size());
}

std::string_view LineStore::Item(std::size_t i) const {
    std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(bytes_).substr(begin, ends_[i] - begin);
}

}  // namespace tavrilo

// SPDX-License-Identifier: GPL-3.0-or-later
// An ordered list of text lines kept in one buffer, cheap to fill and to index.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavrilo {

class LineStore {
public:
    void Clear();
    void Reserve(std::size_t bytes, std::size_t lines);
    void Add(std::string_view line);
    // Appends the concatenation of the pieces as one line.
    void AddJoined(std::initializer_list<std::string_view> pieces);
    std::size_t Count() const { return ends_.size(); }
    std::string_view Item(std::size_t i) const;

private:
    std::string bytes_;
    std::vector<std::size_t> ends_;
};

}  // namespace tavrilo

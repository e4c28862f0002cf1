// SPDX-License-Identifier: GPL-3.0-or-later
// The Unicode space separators (no-break, thin, em, ideographic, ...) in
// UTF-8: the calculators' texts have one space, and drop the others as
// characters they lack, joining the words.
#pragma once

#include <string>

namespace tavrilo {

// The length of the space separator s starts with, 0 for none; s is read no
// further than its terminating NUL.
inline std::size_t SpaceSeparatorLength(const char* s) {
    const auto b = [s](int i) { return static_cast<unsigned char>(s[i]); };
    if (b(0) == 0xC2) return b(1) == 0xA0 ? 2 : 0;                                      // U+00A0
    if (b(0) == 0xE1) return b(1) == 0x9A && b(2) == 0x80 ? 3 : 0;                      // U+1680
    if (b(0) == 0xE2 && b(1) == 0x80) return (b(2) >= 0x80 && b(2) <= 0x8A) || b(2) == 0xAF ? 3 : 0;  // U+2000-200A, 202F
    if (b(0) == 0xE2) return b(1) == 0x81 && b(2) == 0x9F ? 3 : 0;                      // U+205F
    if (b(0) == 0xE3) return b(1) == 0x80 && b(2) == 0x80 ? 3 : 0;                      // U+3000
    return 0;
}

// s with each space separator a plain space.
inline void PlainSpaces(std::string& s) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = SpaceSeparatorLength(s.c_str() + i);
        s[out++] = n != 0 ? ' ' : s[i];
        i += n != 0 ? n : 1;
    }
    s.resize(out);
}

}  // namespace tavrilo

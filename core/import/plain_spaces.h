// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tavrilo {

// The Unicode space separators of a UTF-8 text (no-break, thin, em,
// ideographic, ...) as plain spaces: the calculators' texts have one space,
// and drop the others as characters they lack, joining the words.
inline void PlainSpaces(std::string& s) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto at = [&](std::size_t k) { return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0; };
        const unsigned a = at(0), b = at(1), c = at(2);
        std::size_t len = 0;
        if (a == 0xC2 && b == 0xA0) len = 2;                                              // U+00A0
        if ((a == 0xE1 && b == 0x9A && c == 0x80) ||                                       // U+1680
            (a == 0xE2 && b == 0x80 && ((c >= 0x80 && c <= 0x8A) || c == 0xAF)) ||         // U+2000-200A, 202F
            (a == 0xE2 && b == 0x81 && c == 0x9F) || (a == 0xE3 && b == 0x80 && c == 0x80))  // U+205F, 3000
            len = 3;
        if (len != 0) {
            s[out++] = ' ';
            i += len;
        } else {
            s[out++] = s[i++];
        }
    }
    s.resize(out);
}

}  // namespace tavrilo

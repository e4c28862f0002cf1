// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/convert/text_file.h"

#include <algorithm>

namespace tavrilo {

void LineEndsToCrLf(std::string& text) {
    const std::size_t n = text.size();
    if (n == 0) return;
    // Every CR and LF but the two of each CR LF pair is lone. Counted in
    // blocks of bytes that a byte counter holds, which the compiler vectorizes.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t ends = 0, pairs = 0;
    for (std::size_t i = 0; i + 1 < n;) {
        const std::size_t block = std::min(n - 1, i + 255);
        unsigned char e = 0, crLf = 0;
        for (; i < block; ++i) {
            e += (p[i] == '\r') | (p[i] == '\n');
            crLf += (p[i] == '\r') & (p[i + 1] == '\n');
        }
        ends += e;
        pairs += crLf;
    }
    ends += (p[n - 1] == '\r') | (p[n - 1] == '\n');
    const std::size_t lone = ends - 2 * pairs;
    if (lone == 0) return;
    // From the end, so that writing never overtakes what is still to be read;
    // once it has caught up, the rest is in place.
    text.resize(n + lone);
    char* s = text.data();
    std::size_t w = n + lone;
    for (std::size_t r = n; w > r;) {
        const char c = s[--r];
        if (c == '\n') {
            s[--w] = '\n';
            s[--w] = '\r';
            if (r > 0 && s[r - 1] == '\r') --r;
        } else if (c == '\r') {
            s[--w] = '\n';
            s[--w] = '\r';
        } else {
            s[--w] = c;
        }
    }
}

}  // namespace tavrilo

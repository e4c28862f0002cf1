#include "tavrilo/convert/text_file.h"

#include <cstring>

namespace tavrilo {

void LineEndsToCrLf(std::string& text) {
    const std::size_t n = text.size();
    std::size_t lone = 0;
    for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '\n', text.data() + n - p)));
         ++p)
        lone += p == text.data() || p[-1] != '\r';
    for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '\r', text.data() + n - p)));
         ++p)
        lone += p + 1 == text.data() + n || p[1] != '\n';
    if (lone == 0) return;
    // From the end, so that writing never overtakes what is still to be read.
    text.resize(n + lone);
    char* s = text.data();
    std::size_t w = n + lone;
    for (std::size_t r = n; r > 0;) {
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

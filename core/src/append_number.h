#pragma once

#include <cstddef>
#include <string>

namespace tavrilo {

// Appends v in decimal, without sign, padding or grouping.
inline void AppendNumber(std::string& out, std::size_t v) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) out.push_back(digits[--n]);
}

}  // namespace tavrilo

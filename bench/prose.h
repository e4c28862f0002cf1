// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Book-like test text shared by the benchmarks.
#include <cstring>
#include <random>
#include <string>

namespace tavrilo::bench {

// Prose of mixed-length words and punctuation in CR LF lines of 40 to 90 bytes.
inline const std::string& Prose(std::size_t bytes) {
    static std::string cache;
    if (cache.size() == bytes) return cache;
    static const char* words[] = {"the", "calculator", "shows", "a", "page", "of", "text,",
                                  "and", "waits", "for", "the", "key.", "Then", "it", "goes",
                                  "on", "to", "chapter", "12;", "\"quoted\"", "words!"};
    std::mt19937 rng(7);
    std::string s;
    s.reserve(bytes + 128);
    std::size_t line = 0, want = 60;
    while (s.size() < bytes) {
        const char* w = words[rng() % (sizeof words / sizeof *words)];
        s += w;
        line += std::strlen(w);
        if (line >= want) {
            s += "\r\n";
            line = 0;
            want = 40 + rng() % 51;
        } else {
            s += ' ';
            ++line;
        }
    }
    s.resize(bytes);
    cache = s;
    return cache;
}

}  // namespace tavrilo::bench

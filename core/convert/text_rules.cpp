// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/convert/text_rules.h"

#include <array>

namespace tavrilo {
namespace {

struct ByteMap {
    std::array<unsigned char, 256> to{};
    std::array<unsigned char, 256> keep{};
};

ByteMap MakeMap() {
    ByteMap m;
    for (int c = 0; c < 256; ++c) {
        int upper = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
        bool kept = c == '\r' || c == '\n' ||
                    BasicChrs.find(static_cast<char>(upper)) != std::string_view::npos;
        m.to[c] = static_cast<unsigned char>(upper);
        m.keep[c] = kept ? 1 : 0;
    }
    return m;
}

const ByteMap kMap = MakeMap();

// Writing never runs ahead of reading, so out may be in.
std::size_t Filter(const char* in, std::size_t n, char* out) {
    std::size_t j = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        out[j] = static_cast<char>(kMap.to[c]);
        j += kMap.keep[c];
    }
    return j;
}

}  // namespace

std::string ChkBadChrs(std::string_view text) {
    std::string out(text.size(), '\0');
    out.resize(Filter(text.data(), text.size(), out.data()));
    return out;
}

void ChkBadChrsInPlace(std::string& text) { text.resize(Filter(text.data(), text.size(), text.data())); }

}  // namespace tavrilo

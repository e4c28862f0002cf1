// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/convert/ce.h"

#include <array>

namespace tavrilo {
namespace {

// What each byte becomes: up to three characters; none for a byte left out.
struct Becomes {
    char s[3];
    unsigned char n;
    bool leftOut;
};

std::array<Becomes, 256> MakeMap() {
    std::array<Becomes, 256> m{};
    auto to = [&](unsigned char c, const char* s) {
        Becomes& b = m[c];
        b = {};
        while (*s) b.s[b.n++] = *s++;
    };
    for (int c = 0; c < 256; ++c) {
        if (CeWidth(static_cast<unsigned char>(c)) > 0)
            m[c] = {{static_cast<char>(c)}, 1, false};
        else
            m[c].leftOut = true;
    }
    to('\r', "\r");
    to('\n', "\n");
    for (unsigned char c : {'\t', '\xA0'}) to(c, " ");
    for (unsigned char c : {'"', '\x91', '\x92', '\x82', '\x93', '\x94', '\x84'}) to(c, "'");
    for (unsigned char c : {'\x96', '\x97'}) to(c, "-");
    to(0x85, "...");
    return m;
}

const std::array<Becomes, 256> kMap = MakeMap();

}  // namespace

int CeTextWidth(std::string_view s) {
    int w = 0;
    for (unsigned char c : s) w += CeWidth(c);
    return w;
}

std::string CeChars(std::string_view text, std::size_t& leftOut) {
    std::string out;
    out.reserve(text.size());
    leftOut = 0;
    for (unsigned char c : text) {
        const Becomes& b = kMap[c];
        if (b.n == 1)
            out.push_back(b.s[0]);
        else
            out.append(b.s, b.n);
        leftOut += b.leftOut;
    }
    return out;
}

std::string CeLeftOutMessage(std::size_t leftOut) {
    return std::to_string(leftOut) + (leftOut == 1 ? " character" : " characters") +
           " the TI-84 Plus CE cannot show " + (leftOut == 1 ? "was" : "were") + " left out";
}

}  // namespace tavrilo

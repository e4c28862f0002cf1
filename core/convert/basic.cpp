// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/convert/basic.h"

#include "tavrilo/convert/basic_stream.h"
#include "tavrilo/convert/layout.h"

namespace tavrilo {

namespace {

class VirtualPieces {
public:
    explicit VirtualPieces(BasicSink& out) : out_(out) {}
    void Put(std::string_view piece) { out_.Put(piece); }

private:
    BasicSink& out_;
};

class StringPieces {
public:
    explicit StringPieces(std::string& s) : s_(s) {}
    void Put(std::string_view piece) { s_ += piece; }

private:
    std::string& s_;
};

}  // namespace

void T2Basic(std::string_view text, BasicSink& out) {
    VirtualPieces pieces(out);
    T2BasicTo(text, pieces);
}

std::string T2Basic(std::string_view text) {
    std::string out;
    // Each row adds at most 14 bytes around its text, each page 14 more.
    const std::size_t rows = MaxRows(text);
    out.reserve(text.size() + rows * 14 + (rows / 8 + 1) * 14 + 96);
    StringPieces pieces(out);
    T2BasicTo(text, pieces);
    return out;
}

}  // namespace tavrilo

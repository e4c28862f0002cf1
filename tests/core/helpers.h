// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tavrilo/convert/asm.h"
#include "tavrilo/convert/layout.h"

namespace tavrilo::test {

class VectorSink : public LineSink {
public:
    void Line(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

// The source exactly as the file holds it, lines ended by CR LF.
inline std::string AsmSource(std::string_view text, AsmOpts opts) {
    struct Sink : LineSink {
        std::string s;
        void Line(std::string_view l) override { (s += l) += "\r\n"; }
    } sink;
    LineStore store;
    MakeAsm(text, opts, sink, store);
    return sink.s;
}

inline std::vector<std::string> AsmLines(std::string_view text, AsmOpts opts,
                                         LineStore* store = nullptr) {
    VectorSink sink;
    LineStore own;
    MakeAsm(text, opts, sink, store ? *store : own);
    return sink.lines;
}

struct Row {
    std::string text;
    int pos;
    bool operator==(const Row& o) const { return text == o.text && pos == o.pos; }
};

// Rows as laid out, with "|" standing for each page end.
inline std::vector<Row> Layout(std::string_view text, LayoutEnd* end = nullptr) {
    std::vector<Row> rows;
    LayoutEnd e = LayRows(
        text, [&](std::string_view row, int pos) { rows.push_back({std::string(row), pos}); },
        [&] { rows.push_back({"|", -1}); });
    if (end) *end = e;
    return rows;
}

inline std::string Repeat(std::string_view piece, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += piece;
    return s;
}

}  // namespace tavrilo::test

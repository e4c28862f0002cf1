// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/convert/asm.h"

#include <string>

#include "tavrilo/convert/asm_stream.h"
#include "tavrilo/convert/layout.h"

namespace tavrilo {

bool ChkQuote(std::string_view text) { return text.find('"') != std::string_view::npos; }

namespace {

// Through a LineSink, as code and as data.
class VirtualLines {
public:
    explicit VirtualLines(LineSink& out) : out_(out) {}
    void Line(std::string_view line) { out_.Line(line); }
    void Joined(std::string_view a, std::string_view b, std::string_view c) {
        line_.assign(a);
        line_ += b;
        line_ += c;
        out_.Line(line_);
    }

private:
    LineSink& out_;
    std::string line_;
};

class KeptData {
public:
    explicit KeptData(LineStore& store) : store_(store) {}
    void Line(std::string_view line) { store_.Add(line); }
    void Joined(std::string_view a, std::string_view b, std::string_view c) {
        store_.AddJoined({a, b, c});
    }

private:
    LineStore& store_;
};

}  // namespace

void MakeAsm(std::string_view text, const AsmOpts& opts, LineSink& out, LineStore& data) {
    data.Clear();
    // Per row a label of at most 24 bytes and 11 around its text; per page a footer.
    const std::size_t rows = MaxRows(text);
    const std::size_t pages = rows / 8 + 1;
    data.Reserve(text.size() + rows * 35 + pages * 48 + 64, 2 * rows + 2 * pages + 4);
    VirtualLines code(out);
    KeptData kept(data);
    asm_detail::Generate(text, opts, code, kept);
    for (std::size_t i = 0; i < data.Count(); ++i) out.Line(data.Item(i));
    out.Line(".end");
}

void StreamAsm(std::string_view text, const AsmOpts& opts, LineSink& out) {
    VirtualLines lines(out);
    StreamAsmTo(text, opts, lines);
}

}  // namespace tavrilo

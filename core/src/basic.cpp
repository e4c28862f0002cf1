#include "tavrilo/basic.h"

#include "tavrilo/layout.h"

namespace tavrilo {

namespace {

// "Text(" + row position + ",0,\"" for each of the eight rows of a page.
constexpr std::string_view kTextOpen[] = {"Text(0,0,\"",  "Text(7,0,\"",  "Text(14,0,\"",
                                          "Text(21,0,\"", "Text(28,0,\"", "Text(35,0,\"",
                                          "Text(42,0,\"", "Text(49,0,\""};

void PutText(BasicSink& out, std::string_view row, int rowPos) {
    out.Put(kTextOpen[rowPos / kRowPitch]);
    out.Put(row);
    out.Put("\"):");
}

class StringSink : public BasicSink {
public:
    explicit StringSink(std::string& s) : s_(s) {}
    void Put(std::string_view piece) override { s_ += piece; }

private:
    std::string& s_;
};

}  // namespace

void T2Basic(std::string_view text, BasicSink& out) {
    out.Put(":ClrDraw:");
    LayoutEnd end = LayRows(
        text, [&](std::string_view row, int rowPos) { PutText(out, row, rowPos); },
        [&] { out.Put("Pause:ClrDraw:"); });
    if (!BasicEndsWithTitle(end)) return;
    PutText(out, end.pending, end.rowPos);
    out.Put("Pause:ClrDraw:ClrHome:Disp \"");
    out.Put(kBasicTitle);
    out.Put("\":");
}

std::string T2Basic(std::string_view text) {
    std::string out;
    // Each row adds at most 14 bytes around its text, each page 14 more.
    const std::size_t rows = MaxRows(text);
    out.reserve(text.size() + rows * 14 + (rows / 8 + 1) * 14 + 96);
    StringSink sink(out);
    T2Basic(text, sink);
    return out;
}

}  // namespace tavrilo

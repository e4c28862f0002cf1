#include "tavrilo/basic.h"

#include "tavrilo/file_io.h"
#include "tavrilo/layout.h"

namespace tavrilo {

namespace {

// "Text(" + row position + ",0,\"" for each of the eight rows of a page.
constexpr std::string_view kTextOpen[] = {"Text(0,0,\"",  "Text(7,0,\"",  "Text(14,0,\"",
                                          "Text(21,0,\"", "Text(28,0,\"", "Text(35,0,\"",
                                          "Text(42,0,\"", "Text(49,0,\""};

// Where the pieces go; each has Put(std::string_view).
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

class WriterPieces {
public:
    explicit WriterPieces(BufferedWriter& out) : out_(out) {}
    void Put(std::string_view piece) { out_.Write(piece); }

private:
    BufferedWriter& out_;
};

template <class Out>
void PutText(Out& out, std::string_view row, int rowPos) {
    out.Put(kTextOpen[rowPos / kRowPitch]);
    out.Put(row);
    out.Put("\"):");
}

template <class Out>
void Generate(std::string_view text, Out& out) {
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

}  // namespace

void T2Basic(std::string_view text, BasicSink& out) {
    VirtualPieces pieces(out);
    Generate(text, pieces);
}

void T2Basic(std::string_view text, BufferedWriter& out) {
    WriterPieces pieces(out);
    Generate(text, pieces);
}

std::string T2Basic(std::string_view text) {
    std::string out;
    // Each row adds at most 14 bytes around its text, each page 14 more.
    const std::size_t rows = MaxRows(text);
    out.reserve(text.size() + rows * 14 + (rows / 8 + 1) * 14 + 96);
    StringPieces pieces(out);
    Generate(text, pieces);
    return out;
}

}  // namespace tavrilo

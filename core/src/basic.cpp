#include "tavrilo/basic.h"

#include "tavrilo/layout.h"

namespace tavrilo {

namespace {

// "Text(" + row position + ",0,\"" for each of the eight rows of a page.
constexpr std::string_view kTextOpen[] = {"Text(0,0,\"",  "Text(7,0,\"",  "Text(14,0,\"",
                                          "Text(21,0,\"", "Text(28,0,\"", "Text(35,0,\"",
                                          "Text(42,0,\"", "Text(49,0,\""};

void AppendText(std::string& out, std::string_view row, int rowPos) {
    out += kTextOpen[rowPos / kRowPitch];
    out += row;
    out += "\"):";
}

}  // namespace

std::string T2Basic(std::string_view text) {
    std::string out;
    // Each row adds at most 14 bytes around its text, each page 14 more.
    const std::size_t rows = MaxRows(text);
    out.reserve(text.size() + rows * 14 + (rows / 8 + 1) * 14 + 96);
    out += ":ClrDraw:";
    LayoutEnd end = LayRows(
        text, [&](std::string_view row, int rowPos) { AppendText(out, row, rowPos); },
        [&] { out += "Pause:ClrDraw:"; });
    if (!BasicEndsWithTitle(end)) return out;
    AppendText(out, end.pending, end.rowPos);
    out += "Pause:ClrDraw:ClrHome:Disp \"";
    out += kBasicTitle;
    out += "\":";
    return out;
}

}  // namespace tavrilo

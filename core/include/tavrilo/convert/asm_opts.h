// SPDX-License-Identifier: GPL-3.0-or-later
// The assembly output's layout flags and page furniture, and the line sink
// every assembly source is written through.
#pragma once

#include <string_view>

#include "tavrilo/convert/layout.h"

namespace tavrilo {

// Layout flags of the assembly output; the defaults are the "Nice locking prog." preset.
struct AsmOpts {
    bool LineAbovePage = true;  // a line across the screen above the page label
    bool ShowPage = true;       // "Page p" on every page, "LP" on the last
    bool ScrollUp = true;       // the Up key goes back one page
};

// What every page shows besides its rows: the separator drawn by _iline from
// (x1,y1) to (x2,y2), y counted upwards from the bottom row, then the footer
// "Page p" at pen row kFooterRow and "LP" at kLpColumn on the last page.
struct IlineArgs {
    int x1, y1, x2, y2;
};
inline constexpr IlineArgs kSeparator{0, 6, 96, 6};
inline constexpr int kFooterRow = 58;
inline constexpr int kLpColumn = 85;
inline constexpr std::string_view kPageLabel = "Page ";
inline constexpr std::string_view kLastPageMark = "LP";

// Whether the text's end leaves a page of its own after the last full one. A
// last row that closed without filling its page still gets its own key wait,
// so the credit never draws over an unread page.
inline bool AsmHasLastPage(const LayoutEnd& end) { return !end.lastCharClosed || end.rowPos != 0; }

// Receives the lines of the source one by one, without line ends.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void Line(std::string_view line) = 0;
};

}  // namespace tavrilo

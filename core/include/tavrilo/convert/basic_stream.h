// SPDX-License-Identifier: GPL-3.0-or-later
// The BASIC program generated straight into any output with Put(piece),
// without a virtual call per piece. No command word is split between pieces.
#pragma once

#include <string_view>

#include "tavrilo/convert/basic.h"
#include "tavrilo/convert/layout.h"

namespace tavrilo {
namespace basic_detail {

// "Text(" + row position + ",0,\"" for each of the eight rows of a page.
inline constexpr std::string_view kTextOpen[] = {"Text(0,0,\"",  "Text(7,0,\"",  "Text(14,0,\"",
                                                 "Text(21,0,\"", "Text(28,0,\"", "Text(35,0,\"",
                                                 "Text(42,0,\"", "Text(49,0,\""};

template <class Out>
void PutText(Out& out, std::string_view row, int rowPos) {
    out.Put(kTextOpen[rowPos / kRowPitch]);
    out.Put(row);
    out.Put("\"):");
}

}  // namespace basic_detail

// text should already have been through ChkBadChrs; any byte is accepted.
template <class Out>
void T2BasicTo(std::string_view text, Out& out) {
    out.Put(":ClrDraw:");
    LayoutEnd end = LayRows(
        text, [&](std::string_view row, int rowPos) { basic_detail::PutText(out, row, rowPos); },
        [&] { out.Put("Pause:ClrDraw:"); });
    if (!BasicEndsWithTitle(end)) return;
    basic_detail::PutText(out, end.pending, end.rowPos);
    out.Put("Pause:ClrDraw:ClrHome:Disp \"");
    out.Put(kBasicTitle);
    out.Put("\":");
}

}  // namespace tavrilo

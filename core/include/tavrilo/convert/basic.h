// SPDX-License-Identifier: GPL-3.0-or-later
// The one-line calculator BASIC program that shows a text page by page.
#pragma once

#include <string>
#include <string_view>

#include "tavrilo/convert/layout.h"

namespace tavrilo {

inline constexpr std::string_view kBasicTitle = " TAVRILO BY K.V ";

// Whether the program ends with a last page, its Pause and the title on the
// home screen; else it stops after the last row it draws.
inline bool BasicEndsWithTitle(const LayoutEnd& end) {
    return !end.pending.empty() || end.rowsClosed == 0;
}

// Receives the program piece by piece; no command word is split between two pieces.
class BasicSink {
public:
    virtual ~BasicSink() = default;
    virtual void Put(std::string_view piece) = 0;
};

// text should already have been through ChkBadChrs; any byte is accepted.
void T2Basic(std::string_view text, BasicSink& out);
std::string T2Basic(std::string_view text);

}  // namespace tavrilo

// The one-line calculator BASIC program that shows a text page by page.
#pragma once

#include <string>
#include <string_view>

namespace tavrilo {

inline constexpr std::string_view kBasicTitle = " TAVRILO BY K.V ";

// text should already have been through ChkBadChrs; any byte is accepted.
std::string T2Basic(std::string_view text);

}  // namespace tavrilo

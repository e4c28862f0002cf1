// SPDX-License-Identifier: GPL-3.0-or-later
// Which characters a calculator BASIC program may carry.
#pragma once

#include <string>
#include <string_view>

namespace tavrilo {

// The 51 characters a BASIC string may hold, the space last.
inline constexpr std::string_view BasicChrs =
    "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ.!()*-/+=:{}[] ";

// Keeps CR and LF, turns a-z into capitals, keeps the rest of BasicChrs and
// drops every other byte.
std::string ChkBadChrs(std::string_view text);
// The same, in the text's own buffer.
void ChkBadChrsInPlace(std::string& text);

}  // namespace tavrilo

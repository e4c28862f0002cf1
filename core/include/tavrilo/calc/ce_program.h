// SPDX-License-Identifier: GPL-3.0-or-later
// The TI-84 Plus CE program that shows a text page by page on the CE's graph
// screen, in its own characters, and its tokens.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tavrilo/system/status.h"

namespace tavrilo {

// The tokens of the program for text as CeChars leaves it: the graph settings
// turned off and black text chosen, a Text( for each row that holds
// characters, Pause:ClrDraw: after each page, the title on the home screen
// at the end. Built in one pass after one counting pass; a program the CE
// cannot keep is refused with CheckSize's sentence and builds nothing.
[[nodiscard]] Status CeProgramTokens(std::string_view ceText, std::string& tokens);

// The lowest version byte of a variable that holds every token of tokens.
unsigned char CeVersionByte(std::string_view tokens);

// The program as the CE shows it, Windows-1252; nothing for a token the CE
// program never holds.
std::optional<std::string> CeProgramText(std::string_view tokens);

}  // namespace tavrilo

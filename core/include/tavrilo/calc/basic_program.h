// SPDX-License-Identifier: GPL-3.0-or-later
// The token bytes of the BASIC program for a program file.
#pragma once

#include <string>
#include <string_view>

#include "tavrilo/calc/program_file.h"

namespace tavrilo {

// The tokens of the program T2Basic makes of text (already through
// ChkBadChrs). A program too large for kind's file is refused before it is
// built, as CheckSize refuses it; a byte without a token fails with the
// token error's message.
[[nodiscard]] Status BasicProgramTokens(std::string_view text, CalcKind kind, std::string& tokens);

// Whether text begins as the BASIC compile's program does, with ":ClrDraw:".
bool LooksLikeBasicProgram(std::string_view text);

// Whether text is a BASIC program as it stands, as the BASIC compile leaves
// one in the editor: it begins with ":ClrDraw:" and every byte has its token,
// which tokens then holds.
bool HoldsBasicProgram(std::string_view text, std::string& tokens);

}  // namespace tavrilo

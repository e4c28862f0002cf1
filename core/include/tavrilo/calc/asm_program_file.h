// SPDX-License-Identifier: GPL-3.0-or-later
// Program files that hold an assembly program. The TI-83 runs it with
// Send(9prgmNAME from a protected program of hexadecimal digit tokens; the
// TI-83 Plus and 84 Plus run it with Asm(prgmNAME from a protected program of
// the marking bytes BBh 6Dh and the machine code as it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/system/status.h"
#include "tavrilo/system/tool_run.h"

namespace tavrilo {

// New line, End, new line, 0000, new line, End: what follows the digits.
inline constexpr std::string_view kHexTrailer("\x3F\xD4\x3F\x30\x30\x30\x30\x3F\xD4", 9);

inline constexpr std::size_t HexTokenCount(std::size_t codeBytes) {
    return 2 * codeBytes + kHexTrailer.size();
}

// Two upper-case hex digit tokens per byte of code, then kHexTrailer.
std::string HexTokens(std::string_view code);

// Fails, saying why, when the program of text is surely too large for kind:
// on the TI-83 every byte shown takes at least two hex digits, on the TI-83
// Plus every row at least 18 bytes of code. Cheap; checked before building.
[[nodiscard]] Status CheckAsmTextSize(std::string_view text, CalcKind kind);

// The program bytes of kind's file for the program MakeAsm makes of text,
// built with GNU as: the TI-83's hex digit tokens, or the TI-83 Plus's marking
// bytes and machine code. Fails when it is too large or the build fails (or
// limits stop a tool).
[[nodiscard]] Status AsmProgramTokens(std::string_view text, const AsmOpts& opts, CalcKind kind,
                                      std::string& tokens, const ToolLimits& limits = {});

}  // namespace tavrilo

// TI-83 program files that hold an assembly program as the TI-83 runs it with
// Send(9prgmNAME: a protected program of hexadecimal digit tokens.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tavrilo/convert/asm.h"

namespace tavrilo {

// New line, End, new line, 0000, new line, End: what follows the digits.
inline constexpr std::string_view kHexTrailer("\x3F\xD4\x3F\x30\x30\x30\x30\x3F\xD4", 9);

inline constexpr std::size_t HexTokenCount(std::size_t codeBytes) {
    return 2 * codeBytes + kHexTrailer.size();
}

// Two upper-case hex digit tokens per byte of code, then kHexTrailer.
std::string HexTokens(std::string_view code);

// Empty, or why the program of text is surely too large for a .83p: every
// byte shown takes at least two hex digits. Cheap; checked before building.
std::string AsmTextSizeProblem(std::string_view text);

// The tokens of the program MakeAsm makes of text, built with GNU as. Throws
// std::length_error when it is too large, AsmBuildError when the build fails.
std::string AsmProgramTokens(std::string_view text, const AsmOpts& opts);

// The whole .83p file (TI-83 only). Throws as ProgramFile does.
std::string AsmProgramFile(std::string_view name, std::string_view tokens, std::string_view comment);

}  // namespace tavrilo

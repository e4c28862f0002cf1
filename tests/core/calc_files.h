// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator files the core makes, as strings for comparison: a failure
// gives "failed: " and its message, which no file equals.
#pragma once

#include <string>
#include <string_view>

#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/calc/program_file.h"

namespace tavrilo::test {

inline std::string Made(const Status& r, const std::string& made) { return r.ok() ? made : "failed: " + r.message; }

inline std::string FileOf(CalcKind kind, std::string_view name, std::string_view tokens, std::string_view comment,
                          std::uint8_t type = kProgramType) {
    std::string file;
    return Made(EncodeProgramFile(ProgramVar{kind, std::string(name), type, 0, std::string(tokens)}, comment, file),
                file);
}

inline std::string AsmTokensOf(std::string_view text, const AsmOpts& opts, CalcKind kind = CalcKind::Ti83) {
    std::string tokens;
    return Made(AsmProgramTokens(text, opts, kind, tokens), tokens);
}

inline std::string AsmFileOf(std::string_view name, std::string_view tokens, std::string_view comment,
                             CalcKind kind = CalcKind::Ti83) {
    return FileOf(kind, name, tokens, comment, kProtectedProgramType);
}

}  // namespace tavrilo::test

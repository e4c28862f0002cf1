// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/asm_program_file.h"

#include "tavrilo/calc/asm_build.h"
#include "tavrilo/convert/layout.h"
#include "tavrilo/calc/program_file.h"

namespace tavrilo {

std::string HexTokens(std::string_view code) {
    std::string out;
    out.reserve(HexTokenCount(code.size()));
    for (unsigned char b : code) {
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 15];
    }
    out.append(kHexTrailer);
    return out;
}

namespace {

// Every row is drawn by 18 bytes of code (pen column, pen row, string, call)
// and ends its string with a zero byte.
constexpr std::size_t kRowCode = 18;
constexpr std::size_t kCodePerRow = kRowCode + 1;

std::size_t ClosedRows(std::string_view text) {
    return LayRows(text, [](std::string_view, int) {}, [] {}).rowsClosed;
}

}  // namespace

std::string AsmTextSizeProblem(std::string_view text, CalcKind kind) {
    if (kind == CalcKind::Ti83Plus) {
        const std::size_t code = ClosedRows(text) * kRowCode;
        return code > kTi83PlusMaxCode ? Ti83PlusCodeProblem(code, /*atLeast=*/true) : std::string();
    }
    std::size_t shown = text.size();
    for (char c : text) shown -= c == '\r' || c == '\n';
    if (DataSectionSize(CalcKind::Ti83, HexTokenCount(shown)) > kMaxDataSection)
        return "the text shows " + std::to_string(shown) +
               " bytes, each of them two hex digits in the program: at least " +
               SizeAgainstLimit(CalcKind::Ti83, HexTokenCount(shown));
    // A text far too large is refused without laying it out.
    if (shown > kTi83MaxCode) return Ti83CodeProblem(shown);
    const std::size_t code = shown + ClosedRows(text) * kCodePerRow;
    return code > kTi83MaxCode ? Ti83CodeProblem(code) : std::string();
}

Status AsmProgramTokens(std::string_view text, const AsmOpts& opts, CalcKind kind, std::string& tokens,
                        const ToolLimits& limits) {
    std::string problem = AsmTextSizeProblem(text, kind);
    if (!problem.empty()) return Status::Failed(std::move(problem));
    std::string code;
    const Status built = AssembleText(text, opts, kind, code, limits);
    if (!built.ok()) return built;
    const bool hex = kind == CalcKind::Ti83;
    problem = SizeProblem(kind, hex ? HexTokenCount(code.size()) : code.size());
    if (!problem.empty()) return Status::Failed(std::move(problem));
    tokens = hex ? HexTokens(code) : std::move(code);
    return {};
}

Status AsmProgramFile(CalcKind kind, std::string_view name, std::string_view tokens, std::string_view comment,
                      std::string& file) {
    return ProgramFile(kind, name, tokens, comment, file, kProtectedProgramType);
}

}  // namespace tavrilo

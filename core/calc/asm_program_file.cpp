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

Status CheckAsmTextSize(std::string_view text, CalcKind kind) {
    const AsmTarget& target = *Calc(kind).asmTarget;
    if (!target.hexDigits) {
        const std::size_t code = ClosedRows(text) * kRowCode;
        return code > target.MaxCode() ? Status::Failed(Ti83PlusCodeProblem(code, /*atLeast=*/true)) : Status{};
    }
    std::size_t shown = text.size();
    for (char c : text) shown -= c == '\r' || c == '\n';
    if (!CheckSize(kind, HexTokenCount(shown)).ok())
        return Status::Failed("the text shows " + Grouped(shown) +
                              " bytes, each of them two hex digits in the program: at least " +
                              SizeAgainstLimit(kind, HexTokenCount(shown)));
    // A text far too large is refused without laying it out.
    if (shown > target.MaxCode()) return Status::Failed(Ti83CodeProblem(shown));
    const std::size_t code = shown + ClosedRows(text) * kCodePerRow;
    return code > target.MaxCode() ? Status::Failed(Ti83CodeProblem(code)) : Status{};
}

Status AsmProgramTokens(std::string_view text, const AsmOpts& opts, CalcKind kind, std::string& tokens,
                        const ToolLimits& limits) {
    if (Status size = CheckAsmTextSize(text, kind); !size.ok()) return size;
    std::string code;
    const Status built = AssembleText(text, opts, kind, code, limits);
    if (!built.ok()) return built;
    const bool hex = Calc(kind).asmTarget->hexDigits;
    if (Status size = CheckSize(kind, hex ? HexTokenCount(code.size()) : code.size()); !size.ok()) return size;
    tokens = hex ? HexTokens(code) : std::move(code);
    return {};
}

}  // namespace tavrilo

#include "tavrilo/calc/asm_program_file.h"

#include <stdexcept>

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
constexpr std::size_t kCodePerRow = 19;

}  // namespace

std::string AsmTextSizeProblem(std::string_view text) {
    std::size_t shown = text.size();
    for (char c : text) shown -= c == '\r' || c == '\n';
    if (HexTokenCount(shown) > kMaxDataSection) {
        const std::string problem = SizeProblem(CalcKind::Ti83, HexTokenCount(shown));
        if (!problem.empty())
            return "the text shows " + std::to_string(shown) +
                   " bytes, each of them two hex digits in the program: at least " +
                   problem.substr(problem.find("is ") + 3);
    }
    const std::string room = " bytes of machine code; " + Ti83CodeRoom();
    // A text far too large is refused without laying it out.
    if (shown > kTi83MaxCode)
        return "the text shows " + std::to_string(shown) + " bytes: at least " + std::to_string(shown) + room;
    const std::size_t rows = LayRows(text, [](std::string_view, int) {}, [] {}).rowsClosed;
    const std::size_t code = shown + rows * kCodePerRow;
    if (code <= kTi83MaxCode) return {};
    return "the text shows " + std::to_string(shown) + " bytes in " + std::to_string(rows) + " rows: at least " +
           std::to_string(code) + room;
}

std::string AsmProgramTokens(std::string_view text, const AsmOpts& opts) {
    std::string problem = AsmTextSizeProblem(text);
    if (!problem.empty()) throw std::length_error(problem);
    const std::string code = AssembleText(text, opts);  // throws std::length_error past FFFFh
    problem = SizeProblem(CalcKind::Ti83, HexTokenCount(code.size()));
    if (!problem.empty()) throw std::length_error(problem);
    return HexTokens(code);
}

std::string AsmProgramFile(std::string_view name, std::string_view tokens, std::string_view comment) {
    return ProgramFile(CalcKind::Ti83, name, tokens, comment, kProtectedProgramType);
}

}  // namespace tavrilo

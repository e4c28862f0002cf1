#include "tavrilo/asm_program_file.h"

#include <stdexcept>

#include "tavrilo/asm_build.h"
#include "tavrilo/program_file.h"

namespace tavrilo {

std::string HexTokens(std::string_view code) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(HexTokenCount(code.size()));
    for (unsigned char b : code) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    out.append(kHexTrailer);
    return out;
}

std::string AsmTextSizeProblem(std::string_view text) {
    std::size_t shown = text.size();
    for (char c : text) shown -= c == '\r' || c == '\n';
    const std::size_t atLeast = HexTokenCount(shown);
    const std::string problem = SizeProblem(CalcKind::Ti83, atLeast);
    if (problem.empty()) return {};
    return "the text shows " + std::to_string(shown) + " bytes, each of them two hex digits in the program: " +
           "at least " + problem.substr(problem.find("is ") + 3);
}

std::string AsmProgramTokens(std::string_view text, const AsmOpts& opts) {
    std::string problem = AsmTextSizeProblem(text);
    if (!problem.empty()) throw std::length_error(problem);
    const std::string code = AssembleText(text, opts);
    problem = SizeProblem(CalcKind::Ti83, HexTokenCount(code.size()));
    if (!problem.empty()) throw std::length_error(problem);
    return HexTokens(code);
}

std::string AsmProgramFile(std::string_view name, std::string_view tokens, std::string_view comment) {
    return ProgramFile(CalcKind::Ti83, name, tokens, comment, kProtectedProgramType);
}

}  // namespace tavrilo

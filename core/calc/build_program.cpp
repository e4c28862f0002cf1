// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/build_program.h"

#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/calc/basic_program.h"
#include "tavrilo/calc/ce_program.h"
#include "tavrilo/calc/tokens.h"
#include "tavrilo/convert/text_rules.h"

namespace tavrilo {
namespace {

Status BasicTokens(std::string& text, const ProgramRequest& request, std::string& tokens) {
    if (request.keepBasicProgram && LooksLikeBasicProgram(text)) {
        if (Status r = Tokenize(text, tokens); !r.ok())
            return Status::Failed("the BASIC program in the editor cannot be tokenized: " + r.message);
        return CheckSize(request.calc, tokens.size());
    }
    ChkBadChrsInPlace(text);
    return BasicProgramTokens(text, request.calc, tokens);
}

}  // namespace

Status BuildProgram(std::string text, const ProgramRequest& request, ProgramVar& var,
                    const ToolLimits& limits, std::size_t* leftOut) {
    if (!ValidProgramName(request.name)) return Status::Failed(std::string(kNameRule));
    const Calculator& calc = Calc(request.calc);
    ProgramVar made;
    made.calc = request.calc;
    made.name = request.name;
    Status r;
    std::size_t left = 0;
    // A BASIC program already in the editor runs on the CE as it stands too.
    const bool asItStands = request.keepBasicProgram && LooksLikeBasicProgram(text);
    if (request.language == Language::Basic && calc.basicText == BasicText::CeCharacters && !asItStands) {
        r = CeProgramTokens(CeChars(text, left), made.tokens);
        made.version = CeVersionByte(made.tokens);
    } else if (request.language == Language::Basic) {
        r = BasicTokens(text, request, made.tokens);
    } else if (!calc.asmTarget) {
        r = Status::Failed("the " + std::string(calc.name) + " runs no assembly program made here; use BASIC");
    } else {
        made.type = kProtectedProgramType;
        r = AsmProgramTokens(text, request.opts, request.calc, made.tokens, limits);
    }
    if (r.ok()) var = std::move(made);
    if (leftOut) *leftOut = left;
    return r;
}

}  // namespace tavrilo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/build_program.h"

#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/calc/basic_program.h"
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
                    const ToolLimits& limits) {
    if (!ValidProgramName(request.name)) return Status::Failed(std::string(kNameRule));
    const Calculator& calc = Calc(request.calc);
    ProgramVar made;
    made.calc = request.calc;
    made.name = request.name;
    Status r;
    if (request.language == Language::Basic) {
        r = BasicTokens(text, request, made.tokens);
    } else if (!calc.asmTarget) {
        r = Status::Failed("the " + std::string(calc.name) + " runs no assembly program made here; use BASIC");
    } else {
        made.type = kProtectedProgramType;
        r = AsmProgramTokens(text, request.opts, request.calc, made.tokens, limits);
    }
    if (r.ok()) var = std::move(made);
    return r;
}

}  // namespace tavrilo

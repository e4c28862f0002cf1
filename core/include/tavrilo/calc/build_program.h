// SPDX-License-Identifier: GPL-3.0-or-later
// A text made into a calculator's program variable: what Make calculator
// file writes, Send sends and tavrilo-convert --83p / --8xp writes.
#pragma once

#include <string>
#include <string_view>

#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/asm_opts.h"
#include "tavrilo/system/status.h"
#include "tavrilo/system/tool_run.h"

namespace tavrilo {

struct ProgramRequest {
    CalcKind calc = CalcKind::Ti83;
    Language language = Language::Basic;
    AsmOpts opts;      // for assembly
    std::string name;  // as the calculator lists it (kNameRule)
    // A BASIC text that is already a program, as a BASIC compile leaves one
    // (":ClrDraw:" first), is taken as it stands: one edited so that it no
    // longer tokenizes is refused, not shown as text.
    bool keepBasicProgram = false;
};

// The program of text, for request.calc: BASIC through ChkBadChrs and
// T2Basic, or on the CE through CeChars and its layout by words (leftOut, when
// given, hears how many characters were left out), assembly through MakeAsm
// and GNU as (limits bound the assembler).
// Fails for a bad name, a program too large, a calculator without assembly,
// or a failed build.
[[nodiscard]] Status BuildProgram(std::string_view text, const ProgramRequest& request, ProgramVar& var,
                                  const ToolLimits& limits = {}, std::size_t* leftOut = nullptr);

}  // namespace tavrilo

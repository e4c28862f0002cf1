// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert basic and asm.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "commands.h"
#include "io.h"
#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/calc/basic_program.h"
#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/text_rules.h"
#include "tavrilo/convert/version.h"

namespace tavrilo::cli {

void LayoutFlags::AddTo(CLI::App* command) {
    CLI::Option* smallFlag = command->add_flag("--small", small, "no line, page label or scrolling");
    any[0] = command->add_flag("--line-above-page", chosen.LineAbovePage, "a line above the page label and LP");
    any[1] = command->add_flag("--show-page", chosen.ShowPage, "\"Page p\" on every page and LP on the last");
    any[2] = command->add_flag("--scroll-up", chosen.ScrollUp,
                               "the Up key goes back one page (no layout flag: all three, as \"Nice locking "
                               "prog.\"; naming flags turns on just those)");
    for (CLI::Option* o : any) smallFlag->excludes(o);
}

AsmOpts LayoutFlags::Opts() const {
    if (small) return AsmOpts{false, false, false};
    for (CLI::Option* o : any)
        if (o->count() > 0) return chosen;
    return AsmOpts{};
}

namespace {

struct ConvertArgs {
    Mode mode = Mode::Basic;
    TextInput input;
    std::string output;  // empty: standard output
    CLI::Option* outputOption = nullptr;
    std::string p83, p8x;
    CLI::Option* o83 = nullptr;
    CLI::Option* o8x = nullptr;
    LayoutFlags layout;
    // Set by the checks of Run.
    bool programFile = false;
    CalcKind kind = CalcKind::Ti83;
    std::string name;  // the program's name on the calculator
    AsmOpts opts;
};

std::string Comment() { return "Tavrilo " + std::string(kVersion) + ", tavrilo-convert"; }

int Failure(std::string_view verb, const std::string& name, const Status& r) {
    Err("cannot " + std::string(verb) + " '" + name + "': " + r.message);
    return 1;
}

int Finish(Output& out) {
    Status r = out.Finish();
    if (!r.ok()) return Failure("write", out.Shown(), r);
    return 0;
}

int CannotMake(const ConvertArgs& a, const Status& r) {
    Err("cannot make '" + a.output + "': " + r.message);
    return 1;
}

int WriteAsmProgramFile(const ConvertArgs& a, const std::string& text, Output& out) {
    std::string tokens, file;
    Status r = AsmProgramTokens(text, a.opts, a.kind, tokens);
    if (r.ok()) r = AsmProgramFile(a.kind, a.name, tokens, Comment(), file);
    if (!r.ok()) return CannotMake(a, r);
    out.Writer().Write(file);
    return Finish(out);
}

// A BASIC text is filtered in place.
int WriteProgramFile(const ConvertArgs& a, std::string& text, Output& out) {
    if (a.mode == Mode::Asm) return WriteAsmProgramFile(a, text, out);
    ChkBadChrsInPlace(text);
    std::string tokens, file;
    Status r = BasicProgramTokens(text, a.kind, tokens);
    if (r.ok()) r = ProgramFile(a.kind, a.name, tokens, Comment(), file);
    if (!r.ok()) return CannotMake(a, r);
    out.Writer().Write(file);
    return Finish(out);
}

// text is taken apart: basic filters it in place.
int Convert(const ConvertArgs& a, std::string& text, Output& out) {
    if (a.programFile) return WriteProgramFile(a, text, out);
    if (a.mode == Mode::Basic) {
        ChkBadChrsInPlace(text);
        WriteBasic(text, out.Writer());
        out.Writer().Write("\n");
    } else {
        WriteAsm(text, a.opts, out.Writer());
    }
    return Finish(out);
}

int NotToATerminal() {
    Err("a program file is not written to a terminal: redirect standard output, or name a file with -o");
    return 1;
}

int Run(ConvertArgs& a) {
    if (a.mode == Mode::Asm) a.opts = a.layout.Opts();
    const bool plus = a.o8x->count() > 0;
    if (plus || a.o83->count() > 0) {
        a.programFile = true;
        a.kind = plus ? CalcKind::Ti83Plus : CalcKind::Ti83;
        a.name = plus ? a.p8x : a.p83;
        if (!ValidProgramName(a.name))
            return UsageError("bad program name '" + a.name + "': " + std::string(kNameRule));
    }
    if (a.outputOption->count() > 0 && a.output.empty()) return UsageError("-o needs a file name");
    if (a.programFile && a.output.empty()) return UsageError("a program file needs -o OUT");
    // Checked before the text is read too, which might be typed at that terminal.
    if (a.programFile && a.output == "-" && isatty(STDOUT_FILENO) == 1) return NotToATerminal();

    if (const int bad = a.input.Check()) return bad;
    std::string text;
    Status r = a.input.Read(text);
    if (!r.ok()) return Failure("read", a.input.file, r);
    // GNU as takes every byte of the text; the warning is TASM's.
    if (a.mode == Mode::Asm && !a.programFile && ChkQuote(text)) {
        std::fwrite(kQuoteWarning.data(), 1, kQuoteWarning.size(), stderr);
        std::fputc('\n', stderr);
    }
    Output out;
    r = out.Open(a.output);
    if (r.ok() && out.ToFile() && IsTheInput(a.output)) r = Status::Failed("it is the text's own file", EINVAL);
    if (!r.ok()) return Failure("write", out.Shown(), r);
    if (a.programFile && out.Terminal()) return NotToATerminal();
    return Convert(a, text, out);
}

CLI::Option* AddOutput(CLI::App* command, ConvertArgs& a) {
    return a.outputOption = command->add_option("-o", a.output,
                                                "write OUT instead of standard output ('-'); /dev/stdout, "
                                                "/dev/stderr and /dev/fd/N are written where they stand")
                                ->type_name("OUT");
}

}  // namespace

void AddConvertCommands(CommandLine& line) {
    auto b = std::make_shared<ConvertArgs>();
    CLI::App* basic = line.Declare("basic", "the one-line BASIC program, ended by LF");
    AddOutput(basic, *b);
    b->o83 = basic->add_option("--83p", b->p83, "write a TI-83 program file named NAME to OUT")
                 ->type_name("NAME");
    b->o8x = basic->add_option("--8xp", b->p8x, "the same for the TI-83 Plus and 84 Plus")->type_name("NAME");
    b->o83->excludes(b->o8x);
    b->input.AddTo(basic);
    line.OnRun(basic, [b] { return Run(*b); });

    auto a = std::make_shared<ConvertArgs>();
    a->mode = Mode::Asm;
    CLI::App* asmCommand = line.Declare("asm", "Z80 assembly source for TASM, lines ended by CR LF");
    a->layout.AddTo(asmCommand);
    AddOutput(asmCommand, *a);
    a->o83 = asmCommand
                 ->add_option("--83p", a->p83,
                              "a TI-83 program file named NAME, built with GNU as (Debian package "
                              "binutils-z80); for the TI-83 only, run it there with Send(9prgmNAME")
                 ->type_name("NAME");
    a->o8x = asmCommand
                 ->add_option("--8xp", a->p8x,
                              "the same for the TI-83 Plus and 84 Plus, run there with Asm(prgmNAME; its "
                              "code must end below C000h (about 375 rows, 470 with --small)")
                 ->type_name("NAME");
    a->o83->excludes(a->o8x);
    a->input.AddTo(asmCommand);
    line.OnRun(asmCommand, [a] { return Run(*a); });
}

}  // namespace tavrilo::cli

// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert basic and asm.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "commands.h"
#include "io.h"
#include "tavrilo/calc/asm_build.h"
#include "tavrilo/calc/build_program.h"
#include "tavrilo/convert/ce.h"
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
    // --83p NAME, --8xp NAME: one option for each calculator.
    std::string names[std::size(kCalculators)];
    CLI::Option* fileOptions[std::size(kCalculators)] = {};
    LayoutFlags layout;
    // Set by the checks of Run.
    bool programFile = false;
    ProgramRequest program;
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

int WriteProgramFile(const ConvertArgs& a, std::string& text, Output& out) {
    ProgramVar var;
    std::string file;
    std::size_t leftOut = 0;
    Status r = BuildProgram(std::move(text), a.program, var, {}, &leftOut);
    if (r.ok()) r = EncodeProgramFile(var, Comment(), file);
    if (!r.ok()) return CannotMake(a, r);
    if (leftOut > 0) Err(CeLeftOutMessage(leftOut));
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
    for (std::size_t i = 0; i < std::size(kCalculators); ++i) {
        if (!a.fileOptions[i] || a.fileOptions[i]->count() == 0) continue;
        a.programFile = true;
        a.program.calc = kCalculators[i].kind;
        a.program.language = a.mode == Mode::Asm ? Language::Asm : Language::Basic;
        a.program.opts = a.opts;
        a.program.name = a.names[i];
        if (!ValidProgramName(a.program.name))
            return UsageError("bad program name '" + a.program.name + "': " + std::string(kNameRule));
    }
    if (a.outputOption->count() > 0 && a.output.empty()) return UsageError("-o needs a file name");
    if (a.programFile && a.output.empty()) return UsageError("a program file needs -o OUT");
    // Checked before the text is read too, which might be typed at that terminal.
    if (a.programFile && a.output == "-" && isatty(STDOUT_FILENO) == 1) return NotToATerminal();

    if (const int bad = a.input.Check()) return bad;
    std::string text;
    Status r = a.input.Read(text, a.programFile ? LackingByte(a.program.calc, a.program.language) : kReplaced);
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

// "TI-83 Plus / 84 Plus" as a sentence says it.
std::string Models(const Calculator& c) {
    std::string models(c.models);
    const std::size_t slash = models.find(" / ");
    if (slash != std::string::npos) models.replace(slash, 3, " and ");
    return models;
}

// The option of each calculator's program file, none of them together.
void AddFileOptions(CLI::App* command, ConvertArgs& a) {
    for (std::size_t i = 0; i < std::size(kCalculators); ++i) {
        const Calculator& c = kCalculators[i];
        std::string help;
        if (a.mode == Mode::Basic) {
            help = i == 0 ? "write a " + std::string(c.name) + " program file named NAME to OUT"
                          : "the same for the " + Models(c);
            if (c.basicText == BasicText::CeCharacters)
                help += ": the text in its own characters, laid out by words for its " +
                        std::to_string(c.screen.width) + " x " + std::to_string(c.screen.height) + " screen";
        } else if (!c.asmTarget) {
            continue;
        } else if (i == 0) {
            help = "a " + std::string(c.name) + " program file named NAME, built with GNU as (Debian package " +
                   std::string(kBinutilsPackage) + "); for the " + std::string(c.name) + " only, run it there with " +
                   std::string(c.asmTarget->runWith) + "NAME";
        } else {
            help = "the same for the " + Models(c) + ", run there with " + std::string(c.asmTarget->runWith) + "NAME";
            if (!c.asmTarget->limitNote.empty()) help += "; " + std::string(c.asmTarget->limitNote);
        }
        a.fileOptions[i] = command->add_option("--" + std::string(c.option), a.names[i], help)->type_name("NAME");
        for (std::size_t j = 0; j < i; ++j)
            if (a.fileOptions[j]) a.fileOptions[i]->excludes(a.fileOptions[j]);
    }
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
    AddFileOptions(basic, *b);
    b->input.AddTo(basic);
    line.OnRun(basic, [b] { return Run(*b); });

    auto a = std::make_shared<ConvertArgs>();
    a->mode = Mode::Asm;
    CLI::App* asmCommand = line.Declare("asm", "Z80 assembly source for TASM, lines ended by CR LF");
    a->layout.AddTo(asmCommand);
    AddOutput(asmCommand, *a);
    AddFileOptions(asmCommand, *a);
    a->input.AddTo(asmCommand);
    line.OnRun(asmCommand, [a] { return Run(*a); });
}

}  // namespace tavrilo::cli

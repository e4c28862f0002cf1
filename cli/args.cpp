#include "args.h"

#include <CLI/CLI.hpp>
#include <cstdio>

#include "tavrilo/convert/version.h"

namespace tavrilo::cli {

const std::string_view kUsage =
    "usage: tavrilo-convert basic [-o OUT] [FILE]\n"
    "       tavrilo-convert basic (--83p | --8xp) NAME -o OUT [FILE]\n"
    "       tavrilo-convert asm [--small | --line-above-page --show-page --scroll-up]\n"
    "                           [-o OUT] [FILE]\n"
    "       tavrilo-convert asm [--small | --line-above-page --show-page --scroll-up]\n"
    "                           --83p NAME -o OUT [FILE]\n"
    "       tavrilo-convert preview (basic | asm [--small | --line-above-page --show-page\n"
    "                           --scroll-up]) [--scale N] -o DIR [FILE]\n"
    "       tavrilo-convert --help | --version\n";

const std::string_view kHelp =
    "Turns a text into a TI-83 program that shows it page by page.\n"
    "\n"
    "  basic   one-line BASIC program on standard output, ended by LF\n"
    "  asm     Z80 assembly source for TASM, lines ended by CR LF\n"
    "  preview the calculator's screens as DIR/screen-001.png, screen-002.png, ...\n"
    "          in the order a user sees them, black on white\n"
    "\n"
    "  --small             asm without line, page label or scrolling\n"
    "  --line-above-page   asm: a line above the page label and LP\n"
    "  --show-page         asm: \"Page p\" on every page and LP on the last\n"
    "  --scroll-up         asm: the Up key goes back one page\n"
    "                      (no flag: all three, as \"Nice locking prog.\")\n"
    "  --83p NAME          basic: write a TI-83 program file named NAME to OUT\n"
    "                      asm: the same, the program built with GNU as (Debian\n"
    "                      package binutils-z80); for the TI-83 only, run it\n"
    "                      there with Send(9prgmNAME\n"
    "  --8xp NAME          basic: the same for the TI-83 Plus and 84 Plus\n"
    "  -o OUT              write OUT instead of standard output ('-');\n"
    "                      /dev/stdout, /dev/stderr and /dev/fd/N are written\n"
    "                      where they stand\n"
    "  --scale N           preview: N x (96 x 64) pixels, N from 1 to 8 (default 3)\n"
    "\n"
    "FILE, or standard input when it is missing or '-', is read as bytes.\n";

void Err(std::string_view text) {
    std::string line = "tavrilo-convert: ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

namespace {

int Usage(std::string_view problem) {
    Err(problem);
    std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
    return 2;
}

void Print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// Whether the arguments name option, alone or as option=VALUE.
bool Names(int argc, char** argv, std::string_view option) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == option || (arg.size() > option.size() && arg.compare(0, option.size(), option) == 0 &&
                              arg[option.size()] == '='))
            return true;
    }
    return false;
}

}  // namespace

void LayoutFlags::AddTo(CLI::App* sub) {
    smallFlag = sub->add_flag("--small", small);
    any[0] = sub->add_flag("--line-above-page", chosen.LineAbovePage);
    any[1] = sub->add_flag("--show-page", chosen.ShowPage);
    any[2] = sub->add_flag("--scroll-up", chosen.ScrollUp);
    for (CLI::Option* o : any) smallFlag->excludes(o);
}

AsmOpts LayoutFlags::Opts() const {
    if (small) return AsmOpts{false, false, false};
    for (CLI::Option* o : any)
        if (o->count() > 0) return chosen;
    return AsmOpts{};
}

int ParseArgs(int argc, char** argv, Args& a) {
    CLI::App app("tavrilo-convert", "tavrilo-convert");
    app.set_help_flag();  // the help text is our own, below
    bool help = false, version = false;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.require_subcommand(0, 1);

    CLI::App* basic = app.add_subcommand("basic");
    CLI::App* asmMode = app.add_subcommand("asm");
    for (CLI::App* sub : {basic, asmMode}) {
        sub->add_flag("-h,--help", help);
        sub->add_option("-o", a.output)->type_name("OUT");
        sub->add_option("FILE", a.input);
    }
    std::string p83, p8x;
    CLI::Option* o83 = basic->add_option("--83p", p83)->type_name("NAME");
    CLI::Option* asm83 = asmMode->add_option("--83p", p83)->type_name("NAME");
    CLI::Option* o8x = basic->add_option("--8xp", p8x)->type_name("NAME");
    o83->excludes(o8x);
    LayoutFlags layout;
    layout.AddTo(asmMode);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (help) {
            // --help wins over whatever else is wrong
        } else if (app.get_subcommands().empty() && argc > 1 && argv[1][0] != '-') {
            return Usage("unknown mode '" + std::string(argv[1]) + "'");
        } else if (argc > 1 && std::string_view(argv[1]) == "asm" && Names(argc, argv, "--8xp")) {
            return Usage("--8xp is for basic; asm makes a TI-83 file with --83p");
        } else {
            return Usage(e.what());
        }
    }
    if (help) {
        Print(kUsage);
        Print("\n");
        Print(kHelp);
        return 0;
    }
    if (version) {
        Print("tavrilo-convert " + std::string(kVersion) + "\n" + std::string(kLicenceNotice));
        return 0;
    }
    if (basic->parsed()) {
        a.mode = "basic";
    } else if (asmMode->parsed()) {
        a.mode = "asm";
        a.opts = layout.Opts();
    } else {
        return Usage("no mode given");
    }
    if (o83->count() > 0 || o8x->count() > 0 || asm83->count() > 0) {
        a.programFile = true;
        a.kind = o8x->count() > 0 ? CalcKind::Ti83Plus : CalcKind::Ti83;
        a.name = o8x->count() > 0 ? p8x : p83;
        if (!ValidProgramName(a.name))
            return Usage("bad program name '" + a.name + "': " + std::string(kNameRule));
    }
    const bool outputGiven = basic->get_option("-o")->count() + asmMode->get_option("-o")->count() > 0;
    if (outputGiven && a.output.empty()) return Usage("-o needs a file name");
    if (a.programFile && a.output.empty()) return Usage("a program file needs -o OUT");
    return -1;
}

}  // namespace tavrilo::cli

// tavrilo-convert: turns a text into a calculator program from the command line.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tavrilo/asm.h"
#include "tavrilo/basic.h"
#include "tavrilo/file_io.h"
#include "tavrilo/program_file.h"
#include "tavrilo/text_rules.h"
#include "tavrilo/tokens.h"
#include "tavrilo/version.h"

namespace {

using namespace tavrilo;

constexpr std::string_view kUsage =
    "usage: tavrilo-convert basic [-o OUT] [FILE]\n"
    "       tavrilo-convert basic (--83p | --8xp) NAME -o OUT [FILE]\n"
    "       tavrilo-convert asm [--small | --line-above-page --show-page --scroll-up]\n"
    "                           [-o OUT] [FILE]\n"
    "       tavrilo-convert --help | --version\n";

constexpr std::string_view kHelp =
    "Turns a text into a TI-83 program that shows it page by page.\n"
    "\n"
    "  basic   one-line BASIC program on standard output, ended by LF\n"
    "  asm     Z80 assembly source for TASM, lines ended by CR LF\n"
    "\n"
    "  --small             asm without line, page label or scrolling\n"
    "  --line-above-page   asm: a line above the page label and LP\n"
    "  --show-page         asm: \"Page p\" on every page and LP on the last\n"
    "  --scroll-up         asm: the Up key goes back one page\n"
    "                      (no flag: all three, as \"Nice locking prog.\")\n"
    "  --83p NAME          basic: write a TI-83 program file named NAME to OUT\n"
    "  --8xp NAME          basic: the same for the TI-83 Plus and 84 Plus\n"
    "  -o OUT              write OUT instead of standard output\n"
    "\n"
    "FILE, or standard input when it is missing or '-', is read as bytes.\n";

struct Args {
    std::string mode;
    AsmOpts opts;
    std::string input = "-";
    std::string output;  // empty: standard output
    bool programFile = false;
    CalcKind kind = CalcKind::Ti83;
    std::string name;
};

std::string Comment() { return "Tavrilo " + std::string(kVersion) + ", tavrilo-convert"; }

void Err(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }

int Usage(std::string_view problem) {
    std::string msg = "tavrilo-convert: ";
    msg += problem;
    msg += '\n';
    Err(msg);
    Err(kUsage);
    return 2;
}

int Failure(std::string_view verb, const std::string& name, const IoResult& r) {
    std::string msg = "tavrilo-convert: cannot ";
    msg += verb;
    msg += " '";
    msg += name;
    msg += "': ";
    msg += r.message;
    msg += '\n';
    Err(msg);
    return 1;
}

// Returns -1 when parsing succeeded, else the exit status.
int Parse(int argc, char** argv, Args& a) {
    std::vector<std::string_view> rest(argv + 1, argv + argc);
    if (rest.empty()) return Usage("no mode given");
    if (rest[0] == "--help" || rest[0] == "-h") {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        std::fwrite("\n", 1, 1, stdout);
        std::fwrite(kHelp.data(), 1, kHelp.size(), stdout);
        return 0;
    }
    if (rest[0] == "--version") {
        std::printf("tavrilo-convert %.*s\n", static_cast<int>(kVersion.size()), kVersion.data());
        return 0;
    }
    a.mode = std::string(rest[0]);
    if (a.mode != "basic" && a.mode != "asm") return Usage("unknown mode '" + a.mode + "'");

    bool small = false, custom = false, haveInput = false;
    AsmOpts chosen{false, false, false};
    for (std::size_t i = 1; i < rest.size(); ++i) {
        std::string_view arg = rest[i];
        bool asmFlag = arg == "--small" || arg == "--line-above-page" || arg == "--show-page" ||
                       arg == "--scroll-up";
        if (asmFlag && a.mode != "asm") return Usage(std::string(arg) + " is for asm only");
        if (arg == "--small") {
            small = true;
        } else if (arg == "--line-above-page") {
            custom = chosen.LineAbovePage = true;
        } else if (arg == "--show-page") {
            custom = chosen.ShowPage = true;
        } else if (arg == "--scroll-up") {
            custom = chosen.ScrollUp = true;
        } else if (arg == "--83p" || arg == "--8xp") {
            if (a.mode != "basic") return Usage(std::string(arg) + " is for basic only");
            if (a.programFile) return Usage("only one of --83p and --8xp");
            if (i + 1 >= rest.size()) return Usage(std::string(arg) + " needs a program name");
            a.programFile = true;
            a.kind = arg == "--83p" ? CalcKind::Ti83 : CalcKind::Ti83Plus;
            a.name = std::string(rest[++i]);
            if (!ValidProgramName(a.name))
                return Usage("bad program name '" + a.name + "': " + std::string(kNameRule));
        } else if (arg == "-o") {
            if (i + 1 >= rest.size()) return Usage("-o needs a file name");
            a.output = std::string(rest[++i]);
            if (a.output.empty()) return Usage("-o needs a file name");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option '" + std::string(arg) + "'");
        } else {
            if (haveInput) return Usage("more than one input file");
            a.input = std::string(arg);
            haveInput = true;
        }
    }
    if (small && custom) return Usage("--small cannot be combined with other layout flags");
    if (a.programFile && a.output.empty()) return Usage("a program file needs -o OUT");
    if (small) a.opts = AsmOpts{false, false, false};
    if (custom) a.opts = chosen;
    return -1;
}

IoResult ReadInput(const std::string& name, std::string& bytes) {
    if (name != "-") return ReadWholeFile(name, bytes);
    return ReadWholeFile("/dev/stdin", bytes);
}

// Produces the output into the writer; shared by file and standard output.
void Convert(const Args& a, const std::string& text, BufferedWriter& out) {
    if (a.mode == "basic") {
        out.Write(T2Basic(ChkBadChrs(text)));
        out.Write("\n");
        return;
    }
    LineStore data;
    CrLfLineSink sink(out);
    MakeAsm(text, a.opts, sink, data);
}

int WriteProgramFile(const Args& a, const std::string& text) {
    std::string tokens;
    auto bad = Tokenize(T2Basic(ChkBadChrs(text)), tokens);
    std::string problem = bad ? bad->Message() : SizeProblem(a.kind, tokens.size());
    if (!problem.empty()) {
        Err("tavrilo-convert: cannot make '" + a.output + "': " + problem + "\n");
        return 1;
    }
    IoResult r = WriteWholeFile(a.output, ProgramFile(a.kind, a.name, tokens, Comment()));
    if (!r.ok()) return Failure("write", a.output, r);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Args a;
    int status = Parse(argc, argv, a);
    if (status >= 0) return status;

    std::string text;
    IoResult r = ReadInput(a.input, text);
    if (!r.ok()) return Failure("read", a.input, r);
    if (a.mode == "asm" && ChkQuote(text)) {
        Err(kQuoteWarning);
        Err("\n");
    }

    if (a.programFile) return WriteProgramFile(a, text);
    if (a.output.empty()) {
        BufferedWriter out(STDOUT_FILENO);
        Convert(a, text, out);
        r = out.Flush();
        if (!r.ok()) return Failure("write", "-", r);
        return 0;
    }
    AtomicFile file;
    r = file.Open(a.output);
    if (r.ok()) {
        Convert(a, text, file.Writer());
        r = file.Commit();
    }
    if (!r.ok()) return Failure("write", a.output, r);
    return 0;
}

// tavrilo-convert: turns a text into a calculator program from the command line.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "args.h"
#include "tavrilo/asm_program_file.h"
#include "preview_command.h"
#include "tavrilo/basic.h"
#include "tavrilo/file_io.h"
#include "tavrilo/text_rules.h"
#include "tavrilo/tokens.h"
#include "tavrilo/version.h"

namespace {

using namespace tavrilo;
using cli::Args;
using cli::Err;

std::string Comment() { return "Tavrilo " + std::string(kVersion) + ", tavrilo-convert"; }

int Failure(std::string_view verb, const std::string& name, const IoResult& r) {
    Err("cannot " + std::string(verb) + " '" + name + "': " + r.message);
    return 1;
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

int WriteAsmProgramFile(const Args& a, const std::string& text) {
    std::string file;
    try {
        file = AsmProgramFile(a.name, AsmProgramTokens(text, a.opts), Comment());
    } catch (const std::exception& e) {
        Err("cannot make '" + a.output + "': " + e.what());
        return 1;
    }
    IoResult r = WriteWholeFile(a.output, file);
    if (!r.ok()) return Failure("write", a.output, r);
    return 0;
}

int WriteProgramFile(const Args& a, const std::string& text) {
    if (a.mode == "asm") return WriteAsmProgramFile(a, text);
    std::string tokens;
    auto bad = Tokenize(T2Basic(ChkBadChrs(text)), tokens);
    std::string problem = bad ? bad->Message() : SizeProblem(a.kind, tokens.size());
    if (!problem.empty()) {
        Err("cannot make '" + a.output + "': " + problem);
        return 1;
    }
    IoResult r = WriteWholeFile(a.output, ProgramFile(a.kind, a.name, tokens, Comment()));
    if (!r.ok()) return Failure("write", a.output, r);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "preview") return cli::RunPreview(argc - 1, argv + 1);
    Args a;
    int status = cli::ParseArgs(argc, argv, a);
    if (status >= 0) return status;

    std::string text;
    IoResult r = ReadInput(a.input, text);
    if (!r.ok()) return Failure("read", a.input, r);
    // GNU as takes every byte of the text; the warning is TASM's.
    if (a.mode == "asm" && !a.programFile && ChkQuote(text)) {
        std::fwrite(kQuoteWarning.data(), 1, kQuoteWarning.size(), stderr);
        std::fputc('\n', stderr);
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

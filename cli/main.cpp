// tavrilo-convert: turns a text into a calculator program from the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "args.h"
#include "io.h"
#include "preview_command.h"
#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/convert/asm_stream.h"
#include "tavrilo/convert/basic_stream.h"
#include "tavrilo/calc/basic_program.h"
#include "tavrilo/convert/text_rules.h"
#include "tavrilo/convert/version.h"

namespace {

using namespace tavrilo;
using cli::Args;
using cli::Err;
using cli::Output;

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

int WriteAsmProgramFile(const Args& a, const std::string& text, Output& out) {
    std::string file;
    try {
        file = AsmProgramFile(a.name, AsmProgramTokens(text, a.opts), Comment());
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        Err("cannot make '" + a.output + "': " + e.what());
        return 1;
    }
    out.Writer().Write(file);
    return Finish(out);
}

// A BASIC text is filtered in place.
int WriteProgramFile(const Args& a, std::string& text, Output& out) {
    if (a.mode == "asm") return WriteAsmProgramFile(a, text, out);
    ChkBadChrsInPlace(text);
    std::string tokens;
    try {
        tokens = BasicProgramTokens(text, a.kind);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        Err("cannot make '" + a.output + "': " + e.what());
        return 1;
    }
    out.Writer().Write(ProgramFile(a.kind, a.name, tokens, Comment()));
    return Finish(out);
}

// text is taken apart: basic filters it in place.
int Convert(const Args& a, std::string& text, Output& out) {
    if (a.programFile) return WriteProgramFile(a, text, out);
    if (a.mode == "basic") {
        ChkBadChrsInPlace(text);
        cli::Pieces pieces(out.Writer());
        T2BasicTo(text, pieces);
        out.Writer().Write("\n");
    } else {
        cli::CrLfLines lines(out.Writer());
        StreamAsmTo(text, a.opts, lines);
    }
    return Finish(out);
}

int Run(const Args& a) {
    std::string text;
    Status r = cli::ReadInput(a.input, text);
    if (!r.ok()) return Failure("read", a.input, r);
    // GNU as takes every byte of the text; the warning is TASM's.
    if (a.mode == "asm" && !a.programFile && ChkQuote(text)) {
        std::fwrite(kQuoteWarning.data(), 1, kQuoteWarning.size(), stderr);
        std::fputc('\n', stderr);
    }
    Output out;
    r = out.Open(a.output);
    if (!r.ok()) return Failure("write", out.Shown(), r);
    return Convert(a, text, out);
}

int Main(int argc, char** argv) {
    // Unwinding removes a temporary file already made.
    try {
        if (argc > 1 && std::string_view(argv[1]) == "preview")
            return cli::RunPreview(argc - 1, argv + 1);
        Args a;
        int status = cli::ParseArgs(argc, argv, a);
        if (status >= 0) return status;
        return Run(a);
    } catch (const std::bad_alloc&) {
        Err("cannot convert '" + cli::InputName() + "': out of memory");
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    int status = Main(argc, argv);
    // What went through stdio (help, version, the preview's report) must have arrived too.
    const int err = std::fflush(stdout) != 0 ? errno : std::ferror(stdout) ? EIO : 0;
    if (err != 0) {
        Err(std::string("cannot write '-': ") + std::strerror(err));
        if (status == 0) status = 1;
    }
    return status;
}

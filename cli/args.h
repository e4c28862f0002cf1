// The command line of tavrilo-convert.
#pragma once

#include <string>
#include <string_view>

#include "tavrilo/convert/asm.h"
#include "tavrilo/calc/program_file.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace tavrilo::cli {

struct Args {
    std::string mode;          // "basic" or "asm"
    AsmOpts opts;
    std::string input = "-";   // "-": standard input
    std::string output;        // empty: standard output
    bool programFile = false;  // write a calculator program file to output
    CalcKind kind = CalcKind::Ti83;
    std::string name;          // the program's name on the calculator
};

// The layout flags of the assembly output; none given keeps all three on.
struct LayoutFlags {
    bool small = false;
    AsmOpts chosen{false, false, false};
    CLI::Option* smallFlag = nullptr;
    CLI::Option* any[3] = {};

    void AddTo(CLI::App* sub);
    AsmOpts Opts() const;
};

extern const std::string_view kUsage;
extern const std::string_view kHelp;

// Fills a from the arguments. Returns -1 when the program should go on,
// else the exit status: 0 after --help or --version, 2 after a usage error
// (reported with the usage on standard error).
int ParseArgs(int argc, char** argv, Args& a);

// Writes "tavrilo-convert: " and the text with a line end to standard error.
void Err(std::string_view text);

}  // namespace tavrilo::cli

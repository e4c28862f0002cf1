// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of tavrilo-convert and the options they share.
#pragma once

#include <string>

#include "command_line.h"
#include "tavrilo/convert/asm_opts.h"
#include "tavrilo/convert/text_file.h"
#include "tavrilo/system/status.h"

namespace tavrilo::cli {

enum class Mode { Basic, Asm };

// basic and asm: the program on standard output or in a file.
void AddConvertCommands(CommandLine& line);
// preview basic and preview asm: the screens as pictures.
void AddPreviewCommand(CommandLine& line);
// send: program files to the calculator over its link cable.
void AddSendCommand(CommandLine& line);

// FILE and how it is read.
struct TextInput {
    std::string file = "-";
    bool raw = false;
    std::string encoding = "auto";  // --encoding
    std::string from;               // --from; empty: by FILE's name

    void AddTo(CLI::App* command);
    // A usage error for a value --encoding or --from does not take: 2, else 0.
    int Check() const;
    // The text the conversion takes, in Windows-1252 with CR LF line ends; with
    // --raw, the bytes as they are. Characters the code page lacks are counted
    // on standard error.
    // lacking: what a character without a Windows-1252 form becomes; "?" is counted here.
    Status Read(std::string& text, char lacking = kReplaced) const;
};

// The layout flags of the assembly program; none given keeps all three on.
struct LayoutFlags {
    bool small = false;
    AsmOpts chosen{false, false, false};
    CLI::Option* any[3] = {};

    void AddTo(CLI::App* command);
    AsmOpts Opts() const;
};

}  // namespace tavrilo::cli

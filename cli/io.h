// SPDX-License-Identifier: GPL-3.0-or-later
// Where tavrilo-convert reads its text and writes its result.
#pragma once

#include <unistd.h>

#include <string>
#include <string_view>

#include "tavrilo/convert/asm_opts.h"
#include "tavrilo/system/file_io.h"

namespace tavrilo::cli {

// Reads FILE; "-" is standard input, read from descriptor 0 where it stands.
Status ReadInput(const std::string& name, std::string& bytes);
// The name ReadInput was last given; "-" before that.
const std::string& InputName();
// Whether path names the regular file ReadInput last read, by any name.
bool IsTheInput(const std::string& path);

// The file named by -o, written as AtomicFile writes, or a descriptor already
// open: standard output for no name or "-", and the one /dev/stdout,
// /dev/stderr, /dev/fd/N or /proc/self/fd/N names.
class Output {
public:
    // Fails before anything is written.
    Status Open(const std::string& name);
    BufferedWriter& Writer() { return toFile_ ? file_.Writer() : direct_; }
    // Writes what is left; a file then takes its name. Without Finish a file is discarded.
    Status Finish();
    // Whether what is written reaches a terminal.
    bool Terminal() { return isatty(Writer().Fd()) == 1; }
    // Whether a named file is written, not a descriptor already open.
    bool ToFile() const { return toFile_; }
    // The name for messages: "-" for standard output.
    const std::string& Shown() const { return shown_; }

private:
    std::string shown_ = "-";
    bool toFile_ = false;
    AtomicFile file_;
    BufferedWriter direct_;
};

// The BASIC program and the assembly source of text, written into out. They
// have a translation unit of their own, where the compiler inlines the
// writer into the generators.
void WriteBasic(std::string_view text, BufferedWriter& out);
void WriteAsm(std::string_view text, const AsmOpts& opts, BufferedWriter& out);

}  // namespace tavrilo::cli

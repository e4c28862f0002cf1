// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert: turns a text into a calculator program from the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <unistd.h>

#include "commands.h"
#include "io.h"

namespace {

using namespace tavrilo;

constexpr const char* kReadings =
    "FILE, or standard input when it is missing or '-', is read as lines, as\n"
    "File > Open reads a text in the desktop program: each CR LF, lone CR and lone\n"
    "LF ends one. After\n"
    "  printf 'A\\nB\\nC' > notes.txt\n"
    "the text of notes.txt has three rows, A, B and C. With --raw the text is the\n"
    "file's bytes as they are, in which only CR ends a row and LF is skipped:\n"
    "notes.txt is then one row, ABC.\n"
    "\n"
    "A text file is read as UTF-8 when it starts with its byte-order mark or is\n"
    "valid UTF-8 beyond ASCII, as UTF-16 after its byte-order mark, else as\n"
    "Windows-1252. A *.pdf, *.epub, *.docx or *.odt FILE gives its text. The\n"
    "conversion takes the text in Windows-1252, the calculator's code page; any\n"
    "other character becomes ? and is counted on standard error (the TI-84 Plus\n"
    "CE's program leaves it out and counts it with what else the CE cannot show).\n";

int Main(int argc, char** argv) {
    // Unwinding removes a temporary file already made.
    try {
        cli::CommandLine line;
        line.Footer(kReadings);
        cli::AddConvertCommands(line);
        cli::AddPreviewCommand(line);
        cli::AddSendCommand(line);
        return line.Run(argc, argv);
    } catch (const std::bad_alloc&) {
        cli::Err("cannot convert '" + cli::InputName() + "': out of memory");
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Help and the reports fit one buffer, so that a write that fails is seen,
    // with its error, when it is flushed at the end.
    static char buffer[1 << 16];
    if (isatty(STDOUT_FILENO) != 1) std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    int status = Main(argc, argv);
    // What went through stdio (help, version, the preview's report) must have arrived too.
    const int err = std::fflush(stdout) != 0 ? errno : std::ferror(stdout) ? EIO : 0;
    if (err != 0) {
        cli::Err(std::string("cannot write '-': ") + std::strerror(err));
        if (status == 0) status = 1;
    }
    return status;
}

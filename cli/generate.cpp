// SPDX-License-Identifier: GPL-3.0-or-later
#include "io.h"
#include "tavrilo/convert/asm_stream.h"
#include "tavrilo/convert/basic_stream.h"

namespace tavrilo::cli {

void WriteBasic(std::string_view text, BufferedWriter& out) {
    Pieces pieces(out);
    T2BasicTo(text, pieces);
}

void WriteAsm(std::string_view text, const AsmOpts& opts, BufferedWriter& out) {
    CrLfLines lines(out);
    StreamAsmTo(text, opts, lines);
}

}  // namespace tavrilo::cli

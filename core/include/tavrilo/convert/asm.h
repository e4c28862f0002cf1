// SPDX-License-Identifier: GPL-3.0-or-later
// Z80 assembly source (TASM syntax) that shows a text page by page on a TI-83.
#pragma once

#include <string_view>

#include "tavrilo/convert/asm_opts.h"
#include "tavrilo/convert/layout.h"
#include "tavrilo/convert/line_store.h"

namespace tavrilo {

inline constexpr std::string_view kAuthorEmail = "kelvarno@example.org";
inline constexpr std::string_view kAsmCredit = "Tavrilo By: Kel V";

// The nine header lines, each ended by CR LF.
inline constexpr std::string_view AsmHeader =
    "; TI-83 Assembler Program by Tavrilo coded by: Kel Varno kelvarno@example.org\r\n"
    "\r\n"
    "#include \"ti83asm.inc\"\r\n"
    "#include \"tokens.inc\"\r\n"
    "#DEFINE kUp         03h\r\n"
    ".org $9327\r\n"
    "jimp0:\r\n"
    "\tcall _ClrLCDFull\r\n"
    "\tcall _runIndicOff\r\n";

// Shown when ChkQuote finds a double quote: the assembler cannot take it inside a string.
inline constexpr std::string_view kQuoteWarning =
    "          \"         found... Errors can appers when you compile with TASM.";

bool ChkQuote(std::string_view text);

// Sends the whole source to out: the header, the code lines as they arise,
// then the data lines (collected in data, which is emptied first and can be
// read afterwards) and ".end". Every byte of text is taken as it is.
void MakeAsm(std::string_view text, const AsmOpts& opts, LineSink& out, LineStore& data);

// The same source, with nothing kept (see StreamAsmTo in asm_stream.h).
void StreamAsm(std::string_view text, const AsmOpts& opts, LineSink& out);

}  // namespace tavrilo

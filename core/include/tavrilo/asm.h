// Z80 assembly source (TASM syntax) that shows a text page by page on a TI-83.
#pragma once

#include <string_view>

#include "tavrilo/layout.h"
#include "tavrilo/line_store.h"

namespace tavrilo {

class BufferedWriter;

// Layout flags of the assembly output; the defaults are the "Nice locking prog." preset.
struct AsmOpts {
    bool LineAbovePage = true;  // a line across the screen above the page label
    bool ShowPage = true;       // "Page p" on every page, "LP" on the last
    bool ScrollUp = true;       // the Up key goes back one page
};

// What every page shows besides its rows: the separator drawn by _iline from
// (x1,y1) to (x2,y2), y counted upwards from the bottom row, then the footer
// "Page p" at pen row kFooterRow and "LP" at kLpColumn on the last page.
struct IlineArgs {
    int x1, y1, x2, y2;
};
inline constexpr IlineArgs kSeparator{0, 6, 96, 6};
inline constexpr int kFooterRow = 58;
inline constexpr int kLpColumn = 85;
inline constexpr std::string_view kPageLabel = "Page ";
inline constexpr std::string_view kLastPageMark = "LP";

// Whether the text's end leaves a page of its own after the last full one. A
// last row that closed without filling its page still gets its own key wait,
// so the credit never draws over an unread page.
inline bool AsmHasLastPage(const LayoutEnd& end) { return !end.lastCharClosed || end.rowPos != 0; }

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

// Receives the lines of the source one by one, without line ends.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void Line(std::string_view line) = 0;
};

// Sends the whole source to out: the header, the code lines as they arise,
// then the data lines (collected in data, which is emptied first and can be
// read afterwards) and ".end". Every byte of text is taken as it is.
void MakeAsm(std::string_view text, const AsmOpts& opts, LineSink& out, LineStore& data);

// The same source, with nothing kept: the text is laid out twice, once for the
// code lines and once for the data lines.
void StreamAsm(std::string_view text, const AsmOpts& opts, LineSink& out);
// The same, each line ended by CR LF, straight into a writer: the fast way to a file.
void StreamAsm(std::string_view text, const AsmOpts& opts, BufferedWriter& out);

}  // namespace tavrilo

// SPDX-License-Identifier: GPL-3.0-or-later
// The calculators Tavrilo makes programs for, one row each: everything the
// program files, the assembly build, the pictures, the window and the link
// need to know about a calculator. A new calculator is a new row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "tavrilo/convert/ce.h"
#include "tavrilo/convert/layout.h"

namespace tavrilo {

enum class CalcKind {
    Ti83,      // .83p
    Ti83Plus,  // .8xp, for the TI-83 Plus and 84 Plus
    Ti84PlusCe,  // .8xp, for the TI-84 Plus CE and TI-83 Premium CE
};

// The two kinds of program a calculator file can hold.
enum class Language { Basic, Asm };

// A system routine (its name begins with '_') or variable of the calculator.
struct Equate {
    std::string_view name;
    std::uint16_t value;
};

// The program file of a calculator: its 8-byte signature, its extension, and
// its variable header: 11 bytes, or 13 with a version byte and an archive flag.
struct FileFormat {
    std::string_view signature;
    std::string_view extension;  // with its dot
    std::string_view label;      // what file dialogs call it
    bool versionAndFlag;
    std::size_t maxData;  // the most bytes of the data section
    // A file of this signature whose version byte is at least this is this calculator's.
    std::uint8_t fromVersion = 0;
};

// The graph screen Text( and _vputs draw on, in pixels, and the text layout on it.
struct GraphScreen {
    int width, height;
    int rowPitch;       // pixel rows between two rows of text
    int pageLimit;      // a page is full when the row position reaches this
    int rowWidthLimit;  // a row closes as soon as it is this wide
    int charWidth, spaceWidth;
};

// How a calculator's BASIC program takes the text: by the TI-83's rules
// (capitals, rows closed by width), or in the CE's own characters, laid out by words.
enum class BasicText { Ti83Rules, CeCharacters };

// How an assembly program is built, stored and started on the calculator.
struct AsmTarget {
    std::uint16_t load;         // where the program's bytes are loaded
    std::string_view mark;      // bytes before the code
    std::uint32_t codeEnd;      // no code runs at or past it
    bool hexDigits;             // stored as hexadecimal digit tokens, else as machine code
    bool systemCallsByRst;      // a system routine is called with rst 28h and its address
    const Equate* equates;      // the routines and variables the generated source uses
    std::size_t equateCount;
    std::string_view equatesFile;  // the name GNU as includes
    std::string_view runsOn;       // the models that run it
    std::string_view runWith;      // what the home screen shows before the name
    std::string_view runHowTo;     // the keys that get there, where worth saying
    std::string_view limitNote;    // how much text fits, where the code end limits it

    std::size_t MaxCode() const { return codeEnd - load - mark.size(); }
};

inline constexpr Equate kTi83Equates[] = {
    {"_ClrLCDFull", 0x4755}, {"_runIndicOff", 0x4795}, {"_vputs", 0x4781}, {"_getkey", 0x4CFE},
    {"_iline", 0x4AE4},      {"pencol", 0x8252},       {"penrow", 0x8253},
};
inline constexpr Equate kTi83PlusEquates[] = {
    {"_ClrLCDFull", 0x4540}, {"_runIndicOff", 0x4570}, {"_vputs", 0x4561}, {"_getkey", 0x4972},
    {"_iline", 0x47E0},      {"pencol", 0x86D7},       {"penrow", 0x86D8},
};

inline constexpr AsmTarget kTi83Asm{0x9327, {}, 0x10000, true, false, kTi83Equates, std::size(kTi83Equates),
                                    "tavrilo_ti83.inc",
                                    "TI-83 only (the TI-83 Plus calls its routines differently)", "Send(9prgm", {}, {}};
inline constexpr AsmTarget kTi83PlusAsm{0x9D93,           std::string_view("\xBB\x6D", 2),
                                        0xC000,           false,
                                        true,             kTi83PlusEquates,
                                        std::size(kTi83PlusEquates), "tavrilo_ti83plus.inc",
                                        "TI-83 Plus and 84 Plus", "Asm(prgm",
                                        "2nd CATALOG, Asm(, then PRGM and the name",
                                        "its code must end below C000h (about 375 rows, 470 with --small)"};

inline constexpr GraphScreen kTi83Screen{96, 64, kRowPitch, kPageLimit, kRowWidthLimit, kCharWidth, kSpaceWidth};
// The CE's characters have widths of their own (CeWidth): charWidth 0.
inline constexpr GraphScreen kCeScreen{kCeScreenWidth, kCeScreenHeight, kCeRowPitch, kCeRowsPerPage * kCeRowPitch,
                                       kCeScreenWidth, 0, 2};

struct Calculator {
    CalcKind kind;
    std::string_view name;    // in sentences: "the TI-83 Plus refused ..."
    std::string_view models;  // every model that runs its programs
    std::string_view option;  // the command line's option: --83p
    FileFormat file;
    GraphScreen screen;
    std::size_t freeMemory;  // what a cleared calculator has free for programs
    const AsmTarget* asmTarget;  // none: no assembly program for it
    // The link library's model names: on a link cable, and on its own USB port (or none).
    std::string_view linkModel;
    std::string_view usbLinkModel;
    BasicText basicText;
    // The most bytes one variable keeps, its size word included; 0: the file's limit alone.
    std::size_t maxVariable;
    // The dialog's note on the BASIC kind, where it needs one.
    std::string_view basicNote;
    bool runsFromArchive = false;  // runs a program from Archive, not only from RAM
};

inline constexpr Calculator kCalculators[] = {
    {CalcKind::Ti83, "TI-83", "TI-83", "83p", {"**TI83**", ".83p", "TI-83 program", false, 65535}, kTi83Screen,
     27000, &kTi83Asm, "TI83", "", BasicText::Ti83Rules, 0, {}, false},
    {CalcKind::Ti83Plus, "TI-83 Plus", "TI-83 Plus / 84 Plus", "8xp",
     {"**TI83F*", ".8xp", "TI-83 Plus program", true, 65535}, kTi83Screen, 24000, &kTi83PlusAsm, "TI83+",
     "TI84+ USB", BasicText::Ti83Rules, 0, {}, false},
    // Its files share the TI-83 Plus's signature; its programs are version 0Ah, for tokens only it has.
    {CalcKind::Ti84PlusCe, "TI-84 Plus CE", "TI-84 Plus CE", "ce",
     {"**TI83F*", ".8xp", "TI-84 Plus CE program", true, 65535, 0x0A}, kCeScreen, 150000, nullptr, "", "TI84+CE USB",
     BasicText::CeCharacters, 65512,
     "TI-84 Plus CE and TI-83 Premium CE; run it with prgmNAME (operating systems 5.3 and later also run it "
     "from Archive). It turns off the graph screen's functions, plots, axes, grid and background. After Compile, "
     "the BASIC program in the editor goes as it stands, laid out for the TI-83's screen. Assembly for the CE "
     "is not offered: it runs native code on its eZ80 only, and operating systems 5.5 and later refuse it.",
     true},
};

const Calculator& Calc(CalcKind kind);

// Only a file format with an archive flag has calculators with an Archive.
inline bool HasArchive(const Calculator& c) { return c.file.versionAndFlag; }

// What a character without a Windows-1252 form becomes in the text of calc's
// program in language: left out where its rules leave out what it cannot show.
char LackingByte(CalcKind calc, Language language);

// The calculator whose program files begin with signature, with a variable of
// version; none for another signature.
const Calculator* CalcBySignature(std::string_view signature, std::uint8_t version = 0);

}  // namespace tavrilo

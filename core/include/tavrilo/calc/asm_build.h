// SPDX-License-Identifier: GPL-3.0-or-later
// The generated assembly source turned into machine code for the TI-83 or for
// the TI-83 Plus family with GNU binutils for the Z80 (z80-unknown-coff-as,
// -ld and -objcopy on PATH).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/system/status.h"
#include "tavrilo/system/tool_run.h"

namespace tavrilo {

// Where the TI-83 runs an assembly program, and the most code that fits from there to FFFFh.
inline constexpr std::uint16_t kTi83ProgramStart = 0x9327;
inline constexpr std::size_t kTi83MaxCode = 0x10000 - kTi83ProgramStart;

// Where the TI-83 Plus loads an assembly program: the token pair that marks it
// compiled, then the code, which runs from 9D95h and must end below C000h.
inline constexpr std::uint16_t kTi83PlusProgramStart = 0x9D93;
inline constexpr std::string_view kTi83PlusAsmMark("\xBB\x6D", 2);
inline constexpr std::uint16_t kTi83PlusCodeEnd = 0xC000;
inline constexpr std::size_t kTi83PlusMaxCode = kTi83PlusCodeEnd - kTi83PlusProgramStart - kTi83PlusAsmMark.size();

// "from 9327h the TI-83 has room for N bytes of code", for size refusals.
std::string Ti83CodeRoom();

// "This text needs at least 28,800 bytes of machine code; a TI-83 program
// loaded at 9327h has room for 27,865. Use BASIC or a shorter text."
std::string Ti83CodeProblem(std::size_t atLeast);

// The refusal of a program whose code part takes code bytes on the TI-83 Plus;
// atLeast for an estimate made before the build.
std::string Ti83PlusCodeProblem(std::size_t code, bool atLeast = false);

// Upper-case hexadecimal digits, for equates and the program file's digit tokens.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// A system routine (its name begins with '_') or variable of the calculator.
struct Equate {
    std::string_view name;
    std::uint16_t value;
};

// The routines and variables the generated source uses, on each calculator.
inline constexpr Equate kTi83Equates[] = {
    {"_ClrLCDFull", 0x4755}, {"_runIndicOff", 0x4795}, {"_vputs", 0x4781}, {"_getkey", 0x4CFE},
    {"_iline", 0x4AE4},      {"pencol", 0x8252},       {"penrow", 0x8253},
};
inline constexpr Equate kTi83PlusEquates[] = {
    {"_ClrLCDFull", 0x4540}, {"_runIndicOff", 0x4570}, {"_vputs", 0x4561}, {"_getkey", 0x4972},
    {"_iline", 0x47E0},      {"pencol", 0x86D7},       {"penrow", 0x86D8},
};

// The address of one of kTi83Equates; throws std::out_of_range for another name.
std::uint16_t Ti83Equate(std::string_view name);

// The equates file given to GNU as: one "name .equ value" per line.
std::string EquatesFile(CalcKind kind);

inline constexpr std::string_view kBinutilsPackage = "binutils-z80";

// Collects the source for GNU as, one generated line at a time: the includes
// become an .include of equatesFile (tokens.inc is dropped), #DEFINE becomes
// .equ, and every byte of a .db string that GNU as cannot hold inside quotes
// becomes a number item. Lines end with LF. For the TI-83 Plus, in addition,
// a call of a system routine becomes rst 28h and .dw the routine, and .org
// $9327 becomes .org 9D93h and .db the two marking bytes.
class GnuAsSource : public LineSink {
public:
    explicit GnuAsSource(std::string equatesFile, CalcKind kind = CalcKind::Ti83)
        : equates_(std::move(equatesFile)), kind_(kind) {}
    void Line(std::string_view line) override;
    std::string& Text() { return text_; }
    const std::string& Text() const { return text_; }
    CalcKind Kind() const { return kind_; }
    // The bytes of the .db lines that begin with a string: the strings that follow the code.
    std::size_t StringBytes() const { return stringBytes_; }

private:
    bool SystemCall(std::string_view line);

    std::string equates_;
    CalcKind kind_;
    std::string text_;
    std::size_t stringBytes_ = 0;
};

// The whole of source (lines ended by CR LF, as the .asm file holds them) through GnuAsSource.
std::string ForGnuAs(std::string_view source, const std::string& equatesFile, CalcKind kind = CalcKind::Ti83);

// Assembles and links a generated source (lines ended by CR LF) for kind; the
// program gets the bytes from the program's start on (kTi83ProgramStart, or
// kTi83PlusProgramStart with the marking bytes). Fails when a tool is missing,
// fails or is stopped by limits, when the code runs past FFFFh, or past C000h
// on the TI-83 Plus.
[[nodiscard]] Status AssembleSource(std::string_view source, CalcKind kind, std::string& program,
                                    const ToolLimits& limits = {});

// The same for the source MakeAsm makes of text.
[[nodiscard]] Status AssembleText(std::string_view text, const AsmOpts& opts, CalcKind kind, std::string& program,
                                  const ToolLimits& limits = {});

}  // namespace tavrilo

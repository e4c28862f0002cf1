// SPDX-License-Identifier: GPL-3.0-or-later
// The generated assembly source turned into machine code for the TI-83 or for
// the TI-83 Plus family with GNU binutils for the Z80 (z80-unknown-coff-as,
// -ld and -objcopy on PATH).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tavrilo/calc/calculators.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/system/status.h"
#include "tavrilo/system/tool_run.h"

namespace tavrilo {

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
// program gets the bytes from the calculator's load address on, its marking
// bytes first. Fails when a tool is missing, fails or is stopped by limits, or
// when the code runs past FFFFh or past the calculator's code end.
[[nodiscard]] Status AssembleSource(std::string_view source, CalcKind kind, std::string& program,
                                    const ToolLimits& limits = {});

// The same for the source MakeAsm makes of text.
[[nodiscard]] Status AssembleText(std::string_view text, const AsmOpts& opts, CalcKind kind, std::string& program,
                                  const ToolLimits& limits = {});

}  // namespace tavrilo

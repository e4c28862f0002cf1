// The generated assembly source turned into TI-83 machine code with GNU
// binutils for the Z80 (z80-unknown-coff-as, -ld and -objcopy on PATH).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tavrilo/convert/asm.h"

namespace tavrilo {

// Where the TI-83 runs an assembly program, and the most code that fits from there to FFFFh.
inline constexpr std::uint16_t kTi83ProgramStart = 0x9327;
inline constexpr std::size_t kTi83MaxCode = 0x10000 - kTi83ProgramStart;

// "from 9327h the TI-83 has room for N bytes of code", for size refusals.
std::string Ti83CodeRoom();

// Upper-case hexadecimal digits, for equates and the program file's digit tokens.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

struct Equate {
    std::string_view name;
    std::uint16_t value;
};

// The TI-83 routines and variables the generated source uses.
inline constexpr Equate kTi83Equates[] = {
    {"_ClrLCDFull", 0x4755}, {"_runIndicOff", 0x4795}, {"_vputs", 0x4781}, {"_getkey", 0x4CFE},
    {"_iline", 0x4AE4},      {"pencol", 0x8252},       {"penrow", 0x8253},
};

// The address of one of kTi83Equates; throws std::out_of_range for another name.
std::uint16_t Ti83Equate(std::string_view name);

// The equates file given to GNU as: one "name .equ value" per line.
std::string Ti83EquatesFile();

inline constexpr std::string_view kBinutilsPackage = "binutils-z80";

// A tool missing or failing; the message names the package or carries the tool's output.
class AsmBuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Collects the source for GNU as, one generated line at a time: the includes
// become an .include of equatesFile (tokens.inc is dropped), #DEFINE becomes
// .equ, and every byte of a .db string that GNU as cannot hold inside quotes
// becomes a number item. Lines end with LF.
class GnuAsSource : public LineSink {
public:
    explicit GnuAsSource(std::string equatesFile) : equates_(std::move(equatesFile)) {}
    void Line(std::string_view line) override;
    std::string& Text() { return text_; }

private:
    std::string equates_;
    std::string text_;
};

// The whole of source (lines ended by CR LF, as the .asm file holds them) through GnuAsSource.
std::string ForGnuAs(std::string_view source, const std::string& equatesFile);

// Assembles and links a generated source (lines ended by CR LF); returns the
// bytes from kTi83ProgramStart on. Throws AsmBuildError, or std::length_error
// when the code runs past FFFFh.
std::string AssembleSource(std::string_view source);

// The same for the source MakeAsm makes of text.
std::string AssembleText(std::string_view text, const AsmOpts& opts);

}  // namespace tavrilo

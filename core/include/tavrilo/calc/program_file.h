// SPDX-License-Identifier: GPL-3.0-or-later
// Program variable files (.83p, .8xp) that link software sends to the
// calculator: written and read here, and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tavrilo/calc/calculators.h"
#include "tavrilo/system/status.h"

namespace tavrilo {

// Variable types: a program, and a protected program (how assembly programs are sent).
inline constexpr std::uint8_t kProgramType = 0x05;
inline constexpr std::uint8_t kProtectedProgramType = 0x06;

inline constexpr std::size_t kCommentSize = 42;

inline constexpr std::string_view kNameRule =
    "a program name has 1 to 8 characters: a capital letter A-Z first, "
    "then capital letters A-Z or digits 0-9";

bool ValidProgramName(std::string_view name);

// n with a comma between thousands, as the messages give sizes: 27,865.
std::string Grouped(std::size_t n);

// One program variable, as a program file holds it and the link sends it.
struct ProgramVar {
    CalcKind calc = CalcKind::Ti83;
    std::string name;  // 1 to 8 bytes, as the calculator spells it
    std::uint8_t type = kProgramType;
    std::uint8_t version = 0;  // files with a version byte only
    std::string tokens;        // the program, without the size word that leads it on the calculator
};

// Bytes of the data section for a program of tokenCount token bytes.
std::size_t DataSectionSize(CalcKind kind, std::size_t tokenCount);

// "N bytes of tokens (M bytes of file data); the .83p format holds at most
// 65535 bytes of file data, R bytes of tokens", for kind's format; for a
// calculator that keeps less in one variable, what it keeps.
std::string SizeAgainstLimit(CalcKind kind, std::size_t tokenCount);

// Fails, with "the program is " and SizeAgainstLimit, when a program of
// tokenCount token bytes does not fit kind's file.
[[nodiscard]] Status CheckSize(CalcKind kind, std::size_t tokenCount);

// The whole file of var; comment is cut to 42 bytes. A bad name (kNameRule)
// or a program too large (CheckSize) fails and leaves file untouched.
[[nodiscard]] Status EncodeProgramFile(const ProgramVar& var, std::string_view comment, std::string& file);

// The program of a well-formed .83p or .8xp file holding one (this project's
// or any other); fails saying what is wrong.
[[nodiscard]] Status DecodeProgramFile(std::string_view bytes, ProgramVar& var);

// The size of the largest program file of any calculator: no file to be
// decoded is larger.
std::size_t LargestProgramFile();

// Bytes the variable takes on the calculator: its data, with the size word,
// and its entry in the calculator's table of variables.
std::size_t BytesNeeded(const ProgramVar& var);

}  // namespace tavrilo

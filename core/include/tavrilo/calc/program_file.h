// SPDX-License-Identifier: GPL-3.0-or-later
// Program variable files that link software sends to the calculator.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tavrilo/system/status.h"

namespace tavrilo {

enum class CalcKind {
    Ti83,      // .83p
    Ti83Plus,  // .8xp, for the TI-83 Plus and 84 Plus
    Ti84PlusCe,  // .8xp with the CE's tokens, version byte and variable limit
};

// Variable types: a program, and a protected program (how assembly programs are sent).
inline constexpr unsigned char kProgramType = 0x05;
inline constexpr unsigned char kProtectedProgramType = 0x06;

inline constexpr std::size_t kMaxDataSection = 65535;
inline constexpr std::size_t kCommentSize = 42;

inline constexpr std::string_view kNameRule =
    "a program name has 1 to 8 characters: a capital letter A-Z first, "
    "then capital letters A-Z or digits 0-9";

bool ValidProgramName(std::string_view name);

// n with a comma between thousands, as the messages give sizes: 27,865.
std::string Grouped(std::size_t n);

// Bytes of the data section for a program of tokenCount token bytes.
std::size_t DataSectionSize(CalcKind kind, std::size_t tokenCount);

// "N bytes of tokens (M bytes of file data); the .83p format holds at most
// 65535 bytes of file data, R bytes of tokens", for kind's format; for the
// CE, what it keeps in one variable.
std::string SizeAgainstLimit(CalcKind kind, std::size_t tokenCount);

// Empty when a program of tokenCount token bytes fits the file format,
// else "the program is " and SizeAgainstLimit.
std::string SizeProblem(CalcKind kind, std::size_t tokenCount);

// The whole file into file; comment is cut to 42 bytes. The CE's file has
// the version byte its tokens need (CeVersionByte). A bad name (kNameRule)
// or a program too large (SizeProblem) fails and leaves file untouched.
[[nodiscard]] Status ProgramFile(CalcKind kind, std::string_view name, std::string_view tokens,
                                 std::string_view comment, std::string& file,
                                 unsigned char type = kProgramType);

}  // namespace tavrilo

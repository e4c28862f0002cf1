// SPDX-License-Identifier: GPL-3.0-or-later
// A TI-83 or TI-83 Plus in miniature for the tests: runs programs on z80ex,
// built by the core with GNU as, and plays the system routines at the
// calculator's addresses (on the TI-83 Plus reached by rst 28h).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tavrilo::z80 {

inline constexpr std::uint8_t kUpKey = 0x03;
inline constexpr std::uint8_t kOtherKey = 0x05;  // any key but Up
inline constexpr std::uint16_t kOrigin = 0x9327;

enum class Model { Ti83, Ti83Plus };
// The TI-83 Plus loads a program at kPlusLoad, runs it from kPlusStart and
// runs no code at or past kPlusCodeEnd.
inline constexpr std::uint16_t kPlusLoad = 0x9D93;
inline constexpr std::uint16_t kPlusStart = 0x9D95;
inline constexpr std::uint16_t kPlusCodeEnd = 0xC000;

struct Text {
    int row, col;
    std::string s;
    bool operator==(const Text& o) const { return row == o.row && col == o.col && s == o.s; }
};

struct Line {
    int x1, y1, x2, y2;
    bool operator==(const Line& o) const {
        return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2;
    }
};

// What is drawn since the last clear, in drawing order. An empty string
// draws nothing and is left out.
struct Screen {
    std::vector<Text> texts;
    std::vector<Line> lines;
    bool operator==(const Screen& o) const { return texts == o.texts && lines == o.lines; }
};

std::string Describe(const Screen& s);
std::string Describe(const std::vector<Screen>& screens);
inline void PrintTo(const Screen& s, std::ostream* os) { *os << Describe(s); }

struct Build {
    bool ok = false;
    std::string log;                 // the tools' messages
    std::vector<std::uint8_t> code;  // the bytes from kOrigin (kPlusLoad) on
};

// Assembles and links a source with the core's build. A label used but
// never defined fails the link.
Build Assemble(std::string_view source, Model model = Model::Ti83);

// The machine code of a TI-83 .83p file that holds an assembly program as hex
// digit tokens, read on its own terms; problem says what is wrong with the file.
std::vector<std::uint8_t> DecodeHexProgram(std::string_view file, std::string& problem);

// The program of a TI-83 Plus .8xp file that holds an assembly program: BBh
// 6Dh and the machine code, read on its own terms.
std::vector<std::uint8_t> DecodePlusProgram(std::string_view file, std::string& problem);

struct Run {
    std::string fault;            // empty when the program returned
    std::vector<Screen> waits;    // the screen at each key wait
    bool runIndicOff = false;
    long steps = 0;
};

// Runs code loaded at kOrigin (kPlusLoad, run from kPlusStart); keys answer
// the key waits in order, and kOtherKey answers once they are used up.
Run Execute(const std::vector<std::uint8_t>& code, const std::vector<std::uint8_t>& keys,
            Model model = Model::Ti83, long stepLimit = 1000000);

// Assemble and Execute; a failed build is a fault that carries the log.
Run AssembleAndRun(std::string_view source, const std::vector<std::uint8_t>& keys, Model model = Model::Ti83);

// DecodeHexProgram, or DecodePlusProgram for a TI-83 Plus file, and Execute;
// a bad file is a fault.
Run RunProgramFile(std::string_view file, const std::vector<std::uint8_t>& keys);

}  // namespace tavrilo::z80

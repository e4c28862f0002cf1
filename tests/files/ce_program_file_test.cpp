// SPDX-License-Identifier: GPL-3.0-or-later
// The TI-84 Plus CE program file read back by libtifiles and detokenized.
#include <gtest/gtest.h>

#include "../core/helpers.h"
#include "../core/temp_dir.h"
#include "ti_reader.h"
#include "tavrilo/calc/build_program.h"
#include "tavrilo/calc/ce_program.h"

namespace tavrilo {
namespace {

// The CE program's variable for text, as Make calculator file and basic --ce build it.
ProgramVar CeVar(std::string_view text, Status* r = nullptr) {
    ProgramRequest request;
    request.calc = CalcKind::Ti84PlusCe;
    request.name = "CAFE";
    ProgramVar var;
    const Status built = BuildProgram(std::string(text), request, var);
    if (r) *r = built;
    return var;
}

TEST(CeProgramFile, ReadsBackAndDetokenizes) {
    test::TempDir dir;
    const ProgramVar var = CeVar("Caf\xE9 ol\xE9\r\n\r\n  it\x92s 12:30!");
    const std::string& tokens = var.tokens;
    EXPECT_NE(tokens.find("\xBB\xBC\xBB\x7A"), std::string::npos);  // l, e acute
    std::string file;
    ASSERT_TRUE(EncodeProgramFile(var, "a CE test", file).ok());
    test::Spit(dir / "CAFE.8xp", file);
    const test::Read r = test::ReadBack(dir / "CAFE.8xp");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.name, "CAFE");
    EXPECT_EQ(r.type, 0x05);
    EXPECT_EQ(r.version, 0x0A);
    EXPECT_EQ(r.computed, r.stored);
    ASSERT_EQ(r.data.substr(2), tokens);
    ProgramVar back;
    ASSERT_TRUE(DecodeProgramFile(file, back).ok());
    EXPECT_EQ(back.calc, CalcKind::Ti84PlusCe);  // by its version byte
    EXPECT_EQ(CeProgramText(tokens),
              "FnOff :PlotsOff :AxesOff:GridOff:BackgroundOff:TextColor(BLACK):ClrDraw:"
              "Text(0,0,\"Caf\xE9 ol\xE9\"):Text(24,0,\"  it's 12:30!\"):"
              "Pause:ClrDraw:ClrHome:Disp \" TAVRILO BY K.V \":");

    // A last page that is full ends with its own Pause, and no empty page follows.
    const std::string page = *CeProgramText(CeVar(test::Repeat("x\n", 13)).tokens);
    EXPECT_EQ(page.substr(page.find("Text(144")), "Text(144,0,\"x\"):Pause:ClrDraw:ClrHome:Disp \" TAVRILO BY K.V \":");
}

TEST(CeProgramFile, RefusedAbove65512BytesOfData) {
    std::string file;
    EXPECT_TRUE(EncodeProgramFile({CalcKind::Ti84PlusCe, "BIG", kProgramType, 0, std::string(65510, '\x29')}, "", file).ok());
    const Status refused =
        EncodeProgramFile({CalcKind::Ti84PlusCe, "BIG", kProgramType, 0, std::string(65511, '\x29')}, "", file);
    EXPECT_EQ(refused.message,
              "the program is 65,511 bytes of tokens (65,513 bytes of variable data); the TI-84 Plus CE keeps at "
              "most 65,512 bytes of data in one variable, 65,510 bytes of tokens");
    Status built;
    CeVar(test::Repeat("abc ", 20000), &built);
    EXPECT_EQ(built.message.substr(0, 14), "the program is");
}

}  // namespace
}  // namespace tavrilo

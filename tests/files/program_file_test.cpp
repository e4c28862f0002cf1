// SPDX-License-Identifier: GPL-3.0-or-later
// Program files read back by libtifiles, an independent reader of the format.
#include <gtest/gtest.h>

#include "../core/calc_files.h"
#include "../core/temp_dir.h"
#include "ti_reader.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/calc/program_file.h"
#include "tavrilo/calc/tokens.h"

namespace tavrilo {
namespace {

using test::FileOf;
using test::ReadBack;
using test::Read;
using test::Slurp;
using test::Spit;
using test::TempDir;

std::string Word(std::size_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

TEST(ProgramFile, BothKindsReadBack) {
    TempDir dir;
    std::string tokens;
    ASSERT_TRUE(Tokenize(T2Basic("HELLO WORLD!\r\nITS 2 OCLOCK"), tokens).ok());
    struct Case {
        CalcKind kind;
        const char* file;
        CalcModel model;
        std::string head;
    } cases[] = {
        {CalcKind::Ti83, "HELLO.83p", CALC_TI83, std::string("**TI83**\x1A\x0A\0", 11)},
        {CalcKind::Ti83Plus, "HELLO.8xp", CALC_TI83P, std::string("**TI83F*\x1A\x0A\0", 11)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = FileOf(c.kind, "HELLO", tokens, "made by a test");
        const std::size_t header = c.kind == CalcKind::Ti83 ? 0x0B : 0x0D;
        EXPECT_EQ(bytes.substr(0, 11), c.head);
        EXPECT_EQ(bytes.substr(53, 2), Word(bytes.size() - 57));
        EXPECT_EQ(bytes.substr(55, 2), Word(header));
        EXPECT_EQ(bytes.size(), 55 + 2 + header + 2 + 2 + tokens.size() + 2);
        Spit(dir / c.file, bytes);

        Read r = ReadBack(dir / c.file);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.model, c.model);
        EXPECT_EQ(r.comment, "made by a test");
        EXPECT_EQ(r.name, "HELLO");
        EXPECT_EQ(r.type, 0x05);
        EXPECT_EQ(r.data, Word(tokens.size()) + tokens);
        EXPECT_EQ(r.computed, r.stored);
    }
}

TEST(ProgramFile, CorruptionIsDetected) {
    TempDir dir;
    std::string tokens;
    ASSERT_TRUE(Tokenize(T2Basic("PAGE ONE"), tokens).ok());
    std::string bytes = FileOf(CalcKind::Ti83Plus, "P1", tokens, "");

    std::string flipped = bytes;
    flipped[flipped.size() - 10] ^= 0x01;
    Spit(dir / "flipped.8xp", flipped);
    Read r = ReadBack(dir / "flipped.8xp");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.computed, r.stored);

    Spit(dir / "short.8xp", bytes.substr(0, bytes.size() - 20));
    EXPECT_NE(ReadBack(dir / "short.8xp").status, 0);
}

TEST(ProgramFile, NamesAtTheRulesLimits) {
    for (const char* good : {"A", "Z", "ABCDEFGH", "A1234567", "Q0"}) EXPECT_TRUE(ValidProgramName(good)) << good;
    for (const char* bad : {"", "ABCDEFGHI", "1A", "a", "Ab", "AB-C", "A B", "\xC9", "A_"})
        EXPECT_FALSE(ValidProgramName(bad)) << bad;

    TempDir dir;
    Spit(dir / "n.83p", FileOf(CalcKind::Ti83, "ABCDEFGH", "\x41", ""));
    Read r = ReadBack(dir / "n.83p");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.name, "ABCDEFGH");
    EXPECT_EQ(r.comment, "");
    // The comment is cut to its field.
    EXPECT_EQ(FileOf(CalcKind::Ti83, "A", "", std::string(50, 'c')).substr(11, 43),
              std::string(42, 'c') + '\x11');
}

TEST(ProgramFile, SizeLimit) {
    EXPECT_TRUE(CheckSize(CalcKind::Ti83, 65518).ok());
    EXPECT_EQ(CheckSize(CalcKind::Ti83, 65519).message,
              "the program is 65,519 bytes of tokens (65,536 bytes of file data); the .83p format "
              "holds at most 65,535 bytes of file data, 65,518 bytes of tokens");
    EXPECT_TRUE(CheckSize(CalcKind::Ti83Plus, 65516).ok());
    EXPECT_FALSE(CheckSize(CalcKind::Ti83Plus, 65517).ok());

    std::string file = "kept";
    Status r = EncodeProgramFile({CalcKind::Ti83Plus, "BIG", kProgramType, 0, std::string(65517, 'A')}, "", file);
    EXPECT_EQ(r.message, CheckSize(CalcKind::Ti83Plus, 65517).message);
    r = EncodeProgramFile({CalcKind::Ti83, "TOOLONGER", kProgramType, 0, "A"}, "", file);
    EXPECT_EQ(r.message, kNameRule);
    EXPECT_EQ(file, "kept");

    // The largest program of each kind still reads back whole.
    TempDir dir;
    struct Max {
        CalcKind kind;
        std::size_t tokens;
        const char* file;  // the reader goes by the extension
    } cases[] = {{CalcKind::Ti83, 65518, "max.83p"}, {CalcKind::Ti83Plus, 65516, "max.8xp"}};
    for (const auto& c : cases) {
        const std::string program(c.tokens, 'A');
        Spit(dir / c.file, FileOf(c.kind, "MAX", program, ""));
        Read back = ReadBack(dir / c.file);
        ASSERT_EQ(back.status, 0);
        EXPECT_EQ(back.data.size(), program.size() + 2);
        EXPECT_EQ(back.computed, back.stored);
    }
}

// What the codec writes it reads back; a damaged file is refused, saying why.
TEST(ProgramFile, DecodesWhatItEncodesAndRefusesDamage) {
    const ProgramVar var{CalcKind::Ti83Plus, "STORY", kProtectedProgramType, 0, std::string(300, '\xDE')};
    std::string file;
    ASSERT_TRUE(EncodeProgramFile(var, "", file).ok());
    ProgramVar back;
    ASSERT_TRUE(DecodeProgramFile(file, back).ok());
    EXPECT_EQ(back.calc, var.calc);
    EXPECT_EQ(back.name, var.name);
    EXPECT_EQ(back.type, var.type);
    EXPECT_EQ(back.tokens, var.tokens);

    const auto refusal = [](const std::string& bytes) {
        ProgramVar v;
        return DecodeProgramFile(bytes, v).message;
    };
    file = FileOf(CalcKind::Ti83, "A", std::string(10, '\xDE'), "");
    EXPECT_EQ(refusal(file.substr(0, file.size() - 1)),
              "This is not a calculator program file: its length does not match the size it gives.");
    file[60] ^= 1;
    EXPECT_EQ(refusal(file), "This is not a calculator program file: its checksum is wrong.");
    // Whole and summed right, but the program's own size word says 0 bytes.
    file[60] ^= 1;
    file[70] = file[71] = 0;
    unsigned sum = 0;
    for (std::size_t i = 55; i + 2 < file.size(); ++i) sum += static_cast<unsigned char>(file[i]);
    file[file.size() - 2] = static_cast<char>(sum & 0xFF);
    file[file.size() - 1] = static_cast<char>(sum >> 8 & 0xFF);
    EXPECT_EQ(refusal(file), "This is not a calculator program file: its program's own size is wrong.");
}

}  // namespace
}  // namespace tavrilo

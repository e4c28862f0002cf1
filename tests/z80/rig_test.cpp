// SPDX-License-Identifier: GPL-3.0-or-later
// The rig itself: it must turn a faulty program into a failing test.
#include <gtest/gtest.h>

#include "../core/calc_files.h"
#include "../core/helpers.h"
#include "rig.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/calc/asm_build.h"

namespace tavrilo {
namespace {

std::string Program(const std::string& body) {
    return "#include \"ti83asm.inc\"\r\n#include \"tokens.inc\"\r\n#DEFINE kUp         03h\r\n"
           ".org $9327\r\n" + body + "\r\n.end\r\n";
}

TEST(Rig, HeaderDirectivesAreRewrittenAndNothingElse) {
    const std::string src = "; #include \"x\"\r\n#include \"tokens.inc\"\r\n#DEFINE kUp         03h\r\n"
                            "#include \"ti83asm.inc\"\r\n\t.db \"#DEFINE a b\",0\r\n";
    const std::string out = ForGnuAs(src, "eq.inc");
    EXPECT_EQ(out, "; #include \"x\"\n\nkUp .equ 03h\n.include \"eq.inc\"\n\t.db \"#DEFINE a b\",0\n");
}

TEST(Rig, ShowsWhatTheProgramDraws) {
    const z80::Run run = z80::AssembleAndRun(
        Program("\tcall _runIndicOff\r\n\tld hl,3\r\n\tld (pencol),hl\r\n\tld hl,9\r\n\tld (penrow),hl\r\n"
                "\tld hl,s\r\n\tcall _vputs\r\n\tld hl,s\r\n\tcall _vputs\r\n"
                "\tld b,1\r\n\tld c,2\r\n\tld d,3\r\n\tld e,4\r\n\tcall _iline\r\n"
                "\tcall _getkey\r\n\tcp kUp\r\n\tjr z,up\r\n\tcall _ClrLCDFull\r\nup:\r\n\tcall _getkey\r\n\tret\r\n"
                "s:\r\n\t.db \"A b\",0"),
        {z80::kUpKey});
    ASSERT_EQ(run.fault, "");
    EXPECT_TRUE(run.runIndicOff);
    z80::Screen drawn{{{9, 3, "A b"}, {9, 12, "A b"}}, {{1, 2, 3, 4}}};
    ASSERT_EQ(run.waits.size(), 2u);
    EXPECT_EQ(run.waits[0], drawn);
    EXPECT_EQ(run.waits[1], drawn);  // Up skipped the clear
}

TEST(Rig, FaultsEndTheRun) {
    struct Case {
        std::string body;
        const char* fault;
    } cases[] = {
        {"loop:\r\n\tjr loop", "step limit"},
        {"\tout (10h),a\r\n\tret", "port write"},
        {"\tin a,(1)\r\n\tret", "port read"},
        {"\tld a,1\r\n\tld (_vputs),a\r\n\tret", "write into the system routines"},
        {"\tjp 1234h", "program counter outside the program"},
        {"\thalt", "halt"},
        {"\tld hl,s\r\n\tcall _vputs\r\n\tret\r\ns:\r\n\t.db \"" + std::string(300, 'A') + "\"",
         "no zero byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        const z80::Run run = z80::AssembleAndRun(Program(c.body), {});
        EXPECT_NE(run.fault.find(c.fault), std::string::npos) << run.fault;
    }
}

TEST(Rig, RoutinesKeepNoRegisters) {
    // A program that expects HL to survive _vputs does not draw its string twice.
    const z80::Run run = z80::AssembleAndRun(
        Program("\tld hl,s\r\n\tcall _vputs\r\n\tcall _vputs\r\n\tcall _getkey\r\n\tret\r\n"
                "s:\r\n\t.db \"A\",0"),
        {});
    ASSERT_EQ(run.fault, "");
    ASSERT_EQ(run.waits.size(), 1u);
    ASSERT_FALSE(run.waits[0].texts.empty());
    EXPECT_EQ(run.waits[0].texts[0].s, "A");
    EXPECT_TRUE(run.waits[0].texts.size() == 1 || run.waits[0].texts[1].s != "A")
        << z80::Describe(run.waits[0]);
}

TEST(Rig, BrokenProgramsFail) {
    // A label that is used but never defined fails the link, not just the assembly.
    z80::Build b = z80::Assemble(Program("\tjp z,jimp7\r\n\tret"));
    EXPECT_FALSE(b.ok);
    EXPECT_NE(b.log.find("jimp7"), std::string::npos) << b.log;

    // A wrong jump target in a generated program changes what the user sees.
    std::string text;
    for (int i = 0; i < 20; ++i) text += "ROW " + std::to_string(i) + "\r\n";
    const std::string good = test::AsmSource(text, AsmOpts{});
    std::string bad = good;
    const std::size_t at = bad.find("jp z,jimp1");
    ASSERT_NE(at, std::string::npos);
    bad.replace(at, 10, "jp z,jimp0");
    const std::vector<std::uint8_t> keys = {z80::kOtherKey, z80::kOtherKey, z80::kUpKey};
    const z80::Run right = z80::AssembleAndRun(good, keys);
    const z80::Run wrong = z80::AssembleAndRun(bad, keys);
    ASSERT_EQ(right.fault, "");
    ASSERT_EQ(wrong.fault, "");
    ASSERT_EQ(right.waits.size(), 6u);  // pages 1, 2, 3, 2 again, 3, then the credit
    EXPECT_EQ(right.waits[3], right.waits[1]);
    EXPECT_EQ(wrong.waits[3], right.waits[0]);
}

TEST(Rig, BrokenProgramFilesFail) {
    const std::string good = test::AsmFileOf("OK", test::AsmTokensOf("HI", AsmOpts{false, false, false}), "");
    ASSERT_EQ(z80::RunProgramFile(good, {}).fault, "");
    const std::size_t tokens = 55 + 17;
    struct Case {
        std::size_t at;
        char byte;
        const char* fault;
    } cases[] = {
        {good.size() - 3, '\x3E', "End trailer"},  // the last End
        {good.size() - 7, '\x31', "End trailer"},  // 0001
        {tokens + 1, 'G', "hex digit"},
        {tokens, 'a', "hex digit"},
        {55 + 4, '\x05', "protected program"},
        {0, '*', ""},
        {2, 'X', "TI-83"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        std::string bad = good;
        bad[c.at] = c.byte;
        const std::string fault = z80::RunProgramFile(bad, {}).fault;
        if (*c.fault)
            EXPECT_NE(fault.find(c.fault), std::string::npos) << fault;
        else
            EXPECT_EQ(fault, "");
    }
}

TEST(Rig, Ti83PlusReachesRoutinesOnlyBySystemCalls) {
    const std::pair<const char*, const char*> cases[] = {
        {"\tcall 4972h\r\n\tret", "outside the program at 4972h"},
        {"\trst 28h\r\n\t.dw 4973h\r\n\tret", "rst 28h to 4973h"},
    };
    for (const auto& [body, fault] : cases)
        EXPECT_NE(z80::AssembleAndRun(Program(body), {}, z80::Model::Ti83Plus).fault.find(fault), std::string::npos)
            << body;
    // Code at C000h is not run.
    std::vector<std::uint8_t> code(z80::kPlusCodeEnd + 1 - z80::kPlusLoad, 0x00);
    const std::uint8_t jump[] = {0xBB, 0x6D, 0xC3, 0x00, 0xC0};
    std::copy(std::begin(jump), std::end(jump), code.begin());
    EXPECT_NE(z80::Execute(code, {}, z80::Model::Ti83Plus).fault.find("at or past C000h"), std::string::npos);
}

}  // namespace
}  // namespace tavrilo

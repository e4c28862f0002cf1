// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "tavrilo/convert/basic.h"
#include "tavrilo/calc/basic_program.h"
#include "tavrilo/convert/text_rules.h"
#include "tavrilo/calc/tokens.h"

namespace tavrilo {
namespace {

std::string Tokens(std::string_view program) {
    std::string out;
    const Status r = Tokenize(program, out);
    EXPECT_TRUE(r.ok()) << r.message;
    return out;
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

TEST(Tokenize, WorkedExamples) {
    // ":ClrDraw:Text(0,0,"HELLO WORLD!"):Text(7,0,"ITS 2 OCLOCK"):"
    const std::string two = T2Basic("HELLO WORLD!\r\nITS 2 OCLOCK\r\n");
    EXPECT_EQ(Tokens(two),
              Bytes({0x3E, 0x85, 0x3E, 0x93, 0x30, 0x2B, 0x30, 0x2B, 0x2A,
                     'H',  'E',  'L',  'L',  'O',  0x29, 'W',  'O',  'R',  'L',  'D',  0x2D,
                     0x2A, 0x11, 0x3E, 0x93, 0x37, 0x2B, 0x30, 0x2B, 0x2A,
                     'I',  'T',  'S',  0x29, 0x32, 0x29, 'O',  'C',  'L',  'O',  'C',  'K',
                     0x2A, 0x11, 0x3E}));

    // The title screen after the last page.
    const std::string end = Tokens(T2Basic("HELLO WORLD!\r\nITS 2 OCLOCK"));
    EXPECT_EQ(end.size(), 71u);
    EXPECT_EQ(end.substr(45), Bytes({0xD8, 0x3E, 0x85, 0x3E, 0xE1, 0x3E, 0xDE, 0x2A,
                                     0x29, 'T', 'A', 'V', 'R', 'I', 'L', 'O', 0x29, 'B', 'Y',
                                     0x29, 'K', 0x3A, 'V', 0x29, 0x2A, 0x3E}));

    // Nine rows: two-digit row positions and the page break.
    const std::string nine = Tokens(T2Basic("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9"));
    EXPECT_EQ(nine.size(), 129u);
    EXPECT_EQ(nine.substr(23, 10), Bytes({0x93, 0x31, 0x34, 0x2B, 0x30, 0x2B, 0x2A, 0x33, 0x2A, 0x11}));
    EXPECT_EQ(nine.substr(89, 4), Bytes({0xD8, 0x3E, 0x85, 0x3E}));
}

TEST(Tokenize, EveryCharacterOfAStringIsItsOwnToken) {
    const std::string chars(BasicChrs.substr(0, BasicChrs.size() - 1));
    const std::string t = Tokens("\"" + chars + " \"");
    ASSERT_EQ(t.size(), BasicChrs.size() + 2);
    EXPECT_EQ(t.substr(1, 10), "1234567890");
    EXPECT_EQ(t.substr(11, 26), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(t.substr(37),
              Bytes({0x3A, 0x2D, 0x10, 0x11, 0x82, 0x71, 0x83, 0x70, 0x6A, 0x3E, 0x08, 0x09,
                     0x06, 0x07, 0x29, 0x2A}));
    // Capital words inside a string stay letters; after it, commands count again.
    EXPECT_EQ(Tokens("\"DISP\":Pause"), Bytes({0x2A, 'D', 'I', 'S', 'P', 0x2A, 0x3E, 0xD8}));

    // Whatever the text, the generated program tokenizes.
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    std::string out;
    EXPECT_TRUE(Tokenize(T2Basic(ChkBadChrs(all + all + all)), out).ok());
}

TEST(Tokenize, UnknownCharactersAreNamed) {
    struct Case {
        std::string program;
        std::string message;
    } cases[] = {
        {":\"Pause\"", "no calculator token for 'a' (61h) at position 4"},
        {":Disp\"A\"", "no calculator token for 'i' (69h) at position 3"},
        {":\"CAF\xC9\"", "no calculator token for byte C9h at position 6"},
        {"\n", "no calculator token for byte 0Ah at position 1"},
        {":\"A\\B\"", "no calculator token for '\\' (5Ch) at position 4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        std::string out;
        EXPECT_EQ(Tokenize(c.program, out).message, c.message);
    }
}

// The pieces T2Basic sends: the string state and the positions carry over.
TEST(Tokenizer, PiecesTokenizeAsTheWhole) {
    const std::string text = ChkBadChrs("Page one\r\nTWO Pause\r\n" + std::string(300, 'x'));
    struct Collect : BasicSink {
        std::vector<std::string> pieces;
        void Put(std::string_view p) override { pieces.emplace_back(p); }
    } sink;
    T2Basic(text, sink);
    ASSERT_GT(sink.pieces.size(), 10u);
    std::string whole, fed;
    ASSERT_TRUE(Tokenize(T2Basic(text), whole).ok());
    Tokenizer tokenizer;
    for (const std::string& p : sink.pieces) ASSERT_TRUE(tokenizer.Feed(p, fed).ok());
    EXPECT_EQ(fed, whole);

    // Inside a string a command word is letters; a lower-case one has no token.
    Tokenizer split;
    std::string out;
    ASSERT_TRUE(split.Feed(":\"AB", out).ok());
    EXPECT_EQ(split.Feed("Pause", out).message, "no calculator token for 'a' (61h) at position 6");
    EXPECT_EQ(out.size(), 5u);
}

TEST(BasicProgramTokens, TheProgramsTokensOrARefusal) {
    const std::string text = ChkBadChrs("Hello, World!\r\nIt's 2 o'clock");
    std::string want;
    ASSERT_TRUE(Tokenize(T2Basic(text), want).ok());
    std::string got;
    ASSERT_TRUE(BasicProgramTokens(text, CalcKind::Ti83, got).ok());
    EXPECT_EQ(got, want);

    // About 7,000 rows make more than 65,535 bytes of tokens.
    std::string book;
    for (int i = 0; i < 7000; ++i) book += "ROW\r\n";
    std::string tokens;
    ASSERT_TRUE(Tokenize(T2Basic(book), tokens).ok());
    EXPECT_EQ(BasicProgramTokens(book, CalcKind::Ti83Plus, got).message,
              CheckSize(CalcKind::Ti83Plus, tokens.size()).message);
    // A byte ChkBadChrs would have dropped has no token.
    const Status noToken = Tokenize(T2Basic("a"), tokens);
    ASSERT_FALSE(noToken.ok());
    EXPECT_EQ(BasicProgramTokens("a", CalcKind::Ti83Plus, got).message, noToken.message);
    // The size is refused from the count, before the tokens are made and their bytes checked.
    EXPECT_EQ(BasicProgramTokens(book + "a", CalcKind::Ti83Plus, got).message.rfind("the program is ", 0), 0u);
}

}  // namespace
}  // namespace tavrilo

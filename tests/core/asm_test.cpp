// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "helpers.h"
#include "temp_dir.h"
#include "tavrilo/convert/asm.h"

namespace tavrilo {
namespace {

using test::AsmLines;
using test::Repeat;
using Lines = std::vector<std::string>;

const AsmOpts kAll{true, true, true};
const AsmOpts kNone{false, false, false};

std::string Joined(const Lines& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

std::string ReadData(const std::string& name) {
    std::ifstream in(std::string(TAVRILO_TEST_DATA) + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::size_t Count(const Lines& lines, const std::string& line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

// Every label is defined once and every label the code loads or jumps to exists.
void ExpectLabelsResolve(const Lines& lines) {
    std::set<std::string> defined;
    for (const auto& l : lines) {
        if (!l.empty() && l[0] != '\t' && l[0] != ';' && l[0] != '#' && l[0] != '.' &&
            l.back() == ':') {
            EXPECT_TRUE(defined.insert(l.substr(0, l.size() - 1)).second) << "twice: " << l;
        }
    }
    for (const auto& l : lines) {
        std::string target;
        if (l.rfind("\tld hl,", 0) == 0) target = l.substr(7);
        if (l.rfind("\tjp z,", 0) == 0) target = l.substr(6);
        if (target.empty() || std::isdigit(static_cast<unsigned char>(target[0]))) continue;
        EXPECT_TRUE(defined.count(target)) << "undefined: " << target;
    }
}

TEST(MakeAsm, NineLinesAllFlags) {
    Lines lines = AsmLines("ONE\r\nTWO\r\nTHREE\r\nFOUR\r\nFIVE\r\nSIX\r\nSEVEN\r\nEIGHT\r\nNINE", kAll);
    EXPECT_EQ(lines.size(), 137u);
    EXPECT_EQ(Joined(lines), ReadData("nine_lines_all_flags.asm"));
}

TEST(MakeAsm, OneLineNoFlags) {
    Lines header;
    std::istringstream h{std::string(AsmHeader)};
    for (std::string l; std::getline(h, l);) header.push_back(l.substr(0, l.size() - 1));
    ASSERT_EQ(header.size(), 9u);
    Lines expect = header;
    Lines rest = {"",
                  "\tld hl,0", "\tld (pencol),hl", "\tld hl,0", "\tld (penrow),hl",
                  "\tld hl,str1", "\tcall _vputs",
                  "\tcall _getkey", "\tcall _ClrLCDFull",
                  "\tld hl,0", "\tld (pencol),hl", "\tld hl,0", "\tld (penrow),hl",
                  "\tld hl,extro", "\tcall _vputs",
                  "\tcall _getkey", "\tcall _ClrLCDFull", "\tret",
                  "str1:", "\t.db \"HI\",0", "extro:", "\t.db \"Tavrilo By: Kel V\",0", ".end"};
    expect.insert(expect.end(), rest.begin(), rest.end());
    EXPECT_EQ(AsmLines("HI", kNone), expect);
    EXPECT_EQ(expect.size(), 32u);
    EXPECT_EQ(header[4], "#DEFINE kUp         03h");
}

// Twenty rows: two full pages and four rows on the third.
TEST(MakeAsm, EveryFlagCombinationOnThreePages) {
    std::string text;
    for (int i = 1; i <= 20; ++i) text += "ROW " + std::to_string(i) + (i < 20 ? "\r\n" : "");
    for (int bits = 0; bits < 8; ++bits) {
        AsmOpts o{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
        SCOPED_TRACE("flags " + std::to_string(bits));
        LineStore store;
        Lines lines = AsmLines(text, o, &store);
        const std::size_t rows = 20, pages = 3;
        std::size_t expect = 10 + 8 * rows + 2 * pages + 11 + 1;
        if (o.LineAbovePage) expect += 6 * pages;
        if (o.ShowPage) expect += 8 * pages + 8;
        if (o.ScrollUp) expect += (pages - 1) + 2 * (pages - 1);
        EXPECT_EQ(lines.size(), expect);
        ExpectLabelsResolve(lines);
        EXPECT_EQ(Count(lines, "\tcall _getkey"), pages + 1);
        EXPECT_EQ(Count(lines, "\tcall _ClrLCDFull"), 1 + pages + 1);
        EXPECT_EQ(Count(lines, "\tcall _iline"), o.LineAbovePage ? pages : 0);
        EXPECT_EQ(Count(lines, "last:"), o.ShowPage ? 1u : 0u);
        EXPECT_EQ(Count(lines, "\t.db \"Page 3\",0"), o.ShowPage ? 1u : 0u);
        EXPECT_EQ(Count(lines, "jimp2:"), o.ScrollUp ? 1u : 0u);
        EXPECT_EQ(Count(lines, "\tjp z,jimp1"), o.ScrollUp ? 1u : 0u);
        // The data lines close the source, in the store's order.
        ASSERT_GE(lines.size(), store.Count() + 1);
        for (std::size_t i = 0; i < store.Count(); ++i)
            EXPECT_EQ(lines[lines.size() - 1 - store.Count() + i], store.Item(i));
        EXPECT_EQ(lines.back(), ".end");
        std::size_t row1 = std::find(lines.begin(), lines.end(), "str20:") - lines.begin();
        ASSERT_LT(row1 + 1, lines.size());
        EXPECT_EQ(lines[row1 + 1], "\t.db \"ROW 20\",0");
    }
}

TEST(MakeAsm, ScrollUpJumpsOnePageBack) {
    std::string text = Repeat("X\r\n", 16) + "Y";
    Lines lines = AsmLines(text, AsmOpts{false, false, true});
    auto at = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) - lines.begin();
    };
    EXPECT_EQ(Count(lines, "\tcp kUp"), 2u);
    EXPECT_EQ(lines[at("jimp1:") - 1], "\tcall _getkey");
    EXPECT_EQ(lines[at("jimp2:") - 1], "\tjp z,jimp0");
    EXPECT_EQ(lines[at("jimp2:") - 2], "\tcp kUp");
    EXPECT_EQ(lines[at("\tjp z,jimp1") + 1], "\tcall _ClrLCDFull");
    EXPECT_EQ(Count(lines, "jimp3:"), 0u);

    Lines one = AsmLines("SHORT", AsmOpts{false, false, true});
    EXPECT_EQ(Count(one, "\tcp kUp"), 0u);
    EXPECT_EQ(Count(one, "jimp1:"), 0u);
}

TEST(MakeAsm, PageNumbersGrowPastNine) {
    Lines lines = AsmLines(Repeat("P\r\n", 80) + "Q", AsmOpts{false, true, true});
    EXPECT_EQ(Count(lines, "S10:"), 1u);
    EXPECT_EQ(Count(lines, "\t.db \"Page 10\",0"), 1u);
    EXPECT_EQ(Count(lines, "\t.db \"Page 11\",0"), 1u);
    EXPECT_EQ(Count(lines, "\tjp z,jimp9"), 1u);
    EXPECT_EQ(Count(lines, "str81:"), 1u);
    ExpectLabelsResolve(lines);
}

TEST(MakeAsm, TextEndings) {
    // A final CR LF: the LF keeps the closing block, whose row is empty.
    Lines lines = AsmLines("AB\r\n", kNone);
    EXPECT_EQ(Count(lines, "str2:"), 1u);
    EXPECT_EQ(lines[lines.size() - 4], "\t.db \"\",0");

    // Eight rows and CR LF: the eighth ends page 1, an empty row 9 forms page 2.
    lines = AsmLines(Repeat("R\r\n", 8), kAll);
    EXPECT_EQ(Count(lines, "str9:"), 1u);
    EXPECT_EQ(Count(lines, "\tld hl,S2"), 1u);
    EXPECT_EQ(Count(lines, "\tcall _getkey"), 3u);

    // A final lone CR that ends a page: no closing block, the credit follows the clearing.
    lines = AsmLines(Repeat("R\r", 8), kNone);
    EXPECT_EQ(Count(lines, "str9:"), 0u);
    EXPECT_EQ(Count(lines, "\tcall _getkey"), 2u);
    auto credit = std::find(lines.begin(), lines.end(), "\tld hl,extro") - lines.begin();
    EXPECT_EQ(lines[credit - 5], "\tcall _ClrLCDFull");
}

// A last row that closes mid-page still waits for a key before the credit.
TEST(MakeAsm, LastRowClosedMidPageStillWaits) {
    for (std::string text : {std::string("HI\r"), Repeat("A", 23)}) {
        SCOPED_TRACE(text);
        Lines lines = AsmLines(text, kAll);
        EXPECT_EQ(Count(lines, "\tcall _getkey"), 2u);
        EXPECT_EQ(Count(lines, "str2:"), 1u);
        EXPECT_EQ(Count(lines, "\tld hl,7"), 1u);  // the empty row sits below the last
        EXPECT_EQ(Count(lines, "last:"), 1u);
        auto credit = std::find(lines.begin(), lines.end(), "\tld hl,extro") - lines.begin();
        EXPECT_EQ(lines[credit - 5], "\tcall _ClrLCDFull");
        EXPECT_EQ(lines[credit - 6], "\tcall _getkey");
    }
}

// A text that ends by filling its last page still marks that page with "LP".
TEST(MakeAsm, FullLastPageShowsLp) {
    for (std::string text : {Repeat("R\r", 8), Repeat("R\r\n", 7) + Repeat("A", 23)}) {
        SCOPED_TRACE(text);
        Lines lines = AsmLines(text, kAll);
        ExpectLabelsResolve(lines);
        EXPECT_EQ(Count(lines, "str9:"), 0u);
        EXPECT_EQ(Count(lines, "\tcall _getkey"), 2u);
        const auto wait = std::find(lines.begin(), lines.end(), "\tcall _getkey") - lines.begin();
        EXPECT_EQ(Lines(lines.begin() + wait - 12, lines.begin() + wait + 1),
                  (Lines{"\tld hl,0", "\tld (pencol),hl", "\tld hl,58", "\tld (penrow),hl",
                         "\tld hl,S1", "\tcall _vputs", "\tld hl,85", "\tld (pencol),hl",
                         "\tld hl,58", "\tld (penrow),hl", "\tld hl,last", "\tcall _vputs",
                         "\tcall _getkey"}));
        EXPECT_EQ(lines[wait + 1], "jimp1:");
        // The data: the footer's lines, then "LP", then the credit.
        const auto s1 = std::find(lines.begin(), lines.end(), "S1:") - lines.begin();
        EXPECT_EQ(lines[s1 + 2], "last:");
        EXPECT_EQ(lines[s1 + 4], "extro:");
    }
    // Two full pages: only the second is the last.
    Lines lines = AsmLines(Repeat("R\r", 16), AsmOpts{false, true, false});
    EXPECT_EQ(Count(lines, "\tld hl,last"), 1u);
    const auto mark = std::find(lines.begin(), lines.end(), "\tld hl,last") - lines.begin();
    EXPECT_EQ(lines[mark - 6], "\tld hl,S2");
}

TEST(MakeAsm, EmptyText) {
    Lines lines = AsmLines("", kNone);
    EXPECT_EQ(lines.size(), 32u);
    EXPECT_EQ(Count(lines, "\t.db \"\",0"), 1u);
    EXPECT_EQ(lines[14], "\tld hl,str1");
}

TEST(MakeAsm, BytesReachDataLinesUnchanged) {
    std::string row = std::string("a\"b\\c\0\xe9\x7f\t", 9);
    EXPECT_TRUE(ChkQuote(row));
    EXPECT_FALSE(ChkQuote("no quote here"));
    Lines lines = AsmLines(row, kNone);
    EXPECT_EQ(Count(lines, "\t.db \"" + row + "\",0"), 1u);
    EXPECT_EQ(kQuoteWarning,
              "          \"         found... Errors can appers when you compile with TASM.");
}

TEST(MakeAsm, StoreIsEmptiedForEveryRun) {
    LineStore store;
    AsmLines(Repeat("X\r\n", 30), kAll, &store);
    std::size_t big = store.Count();
    AsmLines("X", kNone, &store);
    EXPECT_LT(store.Count(), big);
    EXPECT_EQ(store.Count(), 4u);
    EXPECT_EQ(store.Item(0), "str1:");
    EXPECT_EQ(store.Item(3), "\t.db \"Tavrilo By: Kel V\",0");
}

// The streamed source, laid out twice and keeping nothing, is the kept one to the byte.
TEST(StreamAsm, SameSourceAsMakeAsm) {
    std::mt19937 rng(83);
    const std::string alphabet = std::string("ab mw\"\\.\r\n\r\n\xe9\x8a") + '\0';
    std::vector<std::string> texts = {"", "X", Repeat("row\r\n", 8), Repeat("row\r\n", 17) + "end"};
    for (int n = 0; n < 40; ++n) {
        std::string text;
        const std::size_t len = rng() % 600;
        for (std::size_t i = 0; i < len; ++i) text += alphabet[rng() % alphabet.size()];
        texts.push_back(text);
    }
    for (const std::string& text : texts)
        for (int flags = 0; flags < 8; ++flags) {
            const AsmOpts opts{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0};
            test::VectorSink streamed;
            StreamAsm(text, opts, streamed);
            ASSERT_EQ(streamed.lines, AsmLines(text, opts)) << testing::PrintToString(text) << " flags " << flags;
        }
}

}  // namespace
}  // namespace tavrilo

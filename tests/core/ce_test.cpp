// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "helpers.h"
#include "tavrilo/convert/ce.h"
#include "tavrilo/screens/lcd.h"

namespace tavrilo {
namespace {

using test::Repeat;

// Rows as laid out, "|" after each full page.
std::string CeRows(std::string_view text, CeLayoutEnd* end = nullptr) {
    std::string out;
    const CeLayoutEnd e = LayCeRows(
        text, [&](std::string_view row, int index) { (out += std::to_string(index) + "[") += std::string(row) + "]"; },
        [&](std::size_t) { out += "|"; });
    if (end) *end = e;
    return out;
}

TEST(CeLayout, RowsByWords) {
    const std::string a30 = Repeat("A", 30), a33 = Repeat("A", 33), exact = Repeat("A", 32) + "!,";  // 240, 264, 265 px
    std::string lines13, rows13;
    for (int i = 0; i < 13; ++i) lines13 += "x\n", rows13 += std::to_string(i) + "[x]";
    const struct {
        std::string text, rows;
    } cases[] = {
        {"", ""},
        {"Caf\xE9 ol\xE9", "0[Caf\xE9 ol\xE9]"},
        {exact, "0[" + exact + "]"},                                                  // exactly 265 px
        {exact + "i", "0[" + exact + "]1[i]"},                                        // a word wider than a row
        {a30 + " BC", "0[" + a30 + " BC]"},                                           // 258 px
        {a30 + " BCD", "0[" + a30 + "]1[BCD]"},                                       // 266 px: the word moves on
        {a30 + "    BCD  EF", "0[" + a30 + "]1[BCD  EF]"},                           // the break's spaces go
        {"ab " + a33 + "AAAAAAA", "0[ab]1[" + a33 + "]2[AAAAAAA]"},                  // moved, then cut
        {"  indented  \r\nline", "0[  indented]1[line]"},
        {"a\r\n\r\nb\n\nc\r\rd\r\n", "0[a]1[]2[b]3[]4[c]5[]6[d]"},                   // CR LF, LF, CR
        {"   \r\n", "0[]"},
        {lines13, rows13 + "|"},                                                      // a full page
        {lines13 + "y", rows13 + "|0[y]"},                                            // the page break
        {Repeat(" ", 10) + a33, "0[" + a33 + "]"},                                     // indentation gives way
        {Repeat(" ", 140) + exact + "i", "0[" + exact + "]1[i]"},
    };
    for (const auto& c : cases) EXPECT_EQ(CeRows(c.text), c.rows) << c.text;

    CeLayoutEnd end;
    CeRows(lines13 + "y\r\nz", &end);
    EXPECT_EQ(end.rows, 15u);
    EXPECT_EQ(end.rowsOnLastPage, 2);
}

TEST(CeLayout, NextPageStartsWhereTheWholeGoesOn) {
    const std::string text = Repeat("word ", 600) + "\r\n" + Repeat("tail\n", 20);
    std::vector<std::size_t> starts;
    const std::string whole = CeRows(text);
    LayCeRows(text, [](std::string_view, int) {}, [&](std::size_t next) { starts.push_back(next); });
    ASSERT_GE(starts.size(), 2u);
    for (std::size_t next : starts) {
        const std::string rest = CeRows(std::string_view(text).substr(next));
        EXPECT_EQ(whole.substr(whole.size() - rest.size()), rest);
    }
}

TEST(CeChars, MapsPunctuationAndCountsWhatIsLeftOut) {
    std::size_t leftOut = 99;
    EXPECT_EQ(CeChars("\x93" "Caf\xE9\x94 \x84" "a\"\x91it\x92s\x82 \x96\x97\t1\x85\xA0\r\n\x80~\x01\xFF\xF1", leftOut),
              "'Caf\xE9' 'a''it's' -- 1... \r\n~\xF1");
    EXPECT_EQ(leftOut, 3u);
    EXPECT_EQ(CeLeftOutMessage(leftOut), "3 characters the TI-84 Plus CE cannot show were left out");
    EXPECT_EQ(CeLeftOutMessage(1), "1 character the TI-84 Plus CE cannot show was left out");
}

TEST(CePictures, InkInTheBandOfEachRowAndWithinEachAdvance) {
    for (int c = 0; c < 256; ++c) {
        const int advance = CeWidth(static_cast<unsigned char>(c));
        if (advance == 0) continue;
        Screen s;
        s.display = Display::CeGraph;
        s.texts.push_back({12, 4, std::string(1, static_cast<char>(c))});
        const Picture p = Render(s);
        ASSERT_EQ(p.image.Width(), kCeScreenWidth);
        ASSERT_EQ(p.image.Height(), kCeScreenHeight);
        int ink = 0;
        for (int y = 0; y < kCeScreenHeight; ++y)
            for (int x = 0; x < kCeScreenWidth; ++x)
                if (p.image.At(x, y)) {
                    ++ink;
                    EXPECT_TRUE(y >= 12 + 2 && y <= 12 + 11 && x >= 4 && x < 4 + advance - 1) << c << " at " << x << "," << y;
                }
        EXPECT_EQ(ink > 0, c != ' ') << c;
    }
    Screen wide;
    wide.display = Display::CeGraph;
    wide.texts.push_back({24, 0, Repeat("m", 23)});  // 276 px
    EXPECT_EQ(Render(wide).clippedRows, std::vector<int>{24});
}

}  // namespace
}  // namespace tavrilo

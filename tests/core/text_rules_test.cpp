// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "helpers.h"
#include "tavrilo/convert/text_file.h"
#include "tavrilo/convert/text_rules.h"

namespace tavrilo {
namespace {

using test::Layout;
using test::Repeat;
using test::Row;

TEST(ChkBadChrs, KeepsBasicCharactersAndCapitalisesLetters) {
    EXPECT_EQ(ChkBadChrs("Hello, World!"), "HELLO WORLD!");
    EXPECT_EQ(ChkBadChrs("\t\"'?;"), "");
    EXPECT_EQ(ChkBadChrs("#?&"), "");
    EXPECT_EQ(ChkBadChrs("a\r\n\r\nb\rc\n"), "A\r\n\r\nB\rC\n");
    EXPECT_EQ(ChkBadChrs(BasicChrs), std::string(BasicChrs));
    EXPECT_EQ(ChkBadChrs("abcdefghijklmnopqrstuvwxyz"), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
}

TEST(ChkBadChrs, DropsEveryByteOutsideTheSet) {
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    std::string kept = ChkBadChrs(all);
    // 51 characters of the set, CR and LF; a-z fold onto A-Z and are counted again.
    EXPECT_EQ(kept.size(), 51u + 2u + 26u);
    for (char c : kept) {
        bool ok = c == '\r' || c == '\n' || BasicChrs.find(c) != std::string_view::npos;
        EXPECT_TRUE(ok) << static_cast<int>(static_cast<unsigned char>(c));
    }
    EXPECT_EQ(ChkBadChrs(std::string("A\0B\xE9\xC9", 5)), "AB");
}

TEST(LayRows, RowsCloseAtTheWidthLimit) {
    LayoutEnd end;
    auto rows = Layout(Repeat("A", 24), &end);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (Row{Repeat("A", 23), 0}));
    EXPECT_EQ(end.pending, "A");
    EXPECT_EQ(end.rowPos, 7);
    EXPECT_FALSE(end.lastCharClosed);

    rows = Layout(Repeat("A", 23), &end);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(end.lastCharClosed);
    EXPECT_EQ(end.pending, "");

    // Spaces count one pixel: 91 spaces stay open, the 92nd closes the row.
    rows = Layout(Repeat(" ", 91), &end);
    EXPECT_TRUE(rows.empty());
    rows = Layout(Repeat(" ", 92), &end);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text.size(), 92u);

    // 22 letters (88) and 3 spaces reach 91; one more letter makes 95.
    rows = Layout(Repeat("A", 22) + "   B C", &end);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, Repeat("A", 22) + "   B");
    EXPECT_EQ(end.pending, " C");
}

TEST(LayRows, LineEnds) {
    LayoutEnd end;
    // A full row followed by CR LF leaves an empty row behind it.
    auto rows = Layout(Repeat("A", 23) + "\r\n", &end);
    EXPECT_EQ(rows, (std::vector<Row>{{Repeat("A", 23), 0}, {"", 7}}));
    EXPECT_FALSE(end.lastCharClosed);  // the LF came last

    rows = Layout("X\r\n\r\nY\r\n", &end);
    EXPECT_EQ(rows, (std::vector<Row>{{"X", 0}, {"", 7}, {"Y", 14}}));

    // CR alone works as CR LF; LF alone joins lines.
    EXPECT_EQ(Layout("AB\rCD\r"), Layout("AB\r\nCD\r\n"));
    rows = Layout("AB\rCD\r", &end);
    EXPECT_TRUE(end.lastCharClosed);
    rows = Layout("AB\nCD\nEF", &end);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(end.pending, "ABCDEF");
    EXPECT_EQ(end.rowsClosed, 0u);
}

TEST(LayRows, LineFeedsInsideARowAreSkipped) {
    LayoutEnd end;
    auto rows = Layout("A\nB\n\nC\rD", &end);
    EXPECT_EQ(rows, (std::vector<Row>{{"ABC", 0}}));
    EXPECT_EQ(end.pending, "D");

    // A row split by LFs still closes at the limit, and the next one starts clean.
    std::string text;
    for (int i = 0; i < 12; ++i) text += "AB\n";
    rows = Layout(text, &end);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, Repeat("AB", 11) + "A");
    EXPECT_EQ(end.pending, "B");

    rows = Layout(std::string("\0\n\x01\xff", 4), &end);
    EXPECT_EQ(end.pending, std::string("\0\x01\xff", 3));
}

TEST(LayRows, EightRowsMakeAPage) {
    std::string text;
    for (int i = 1; i <= 17; ++i) text += std::to_string(i % 10) + "\r\n";
    LayoutEnd end;
    auto rows = Layout(text, &end);
    ASSERT_EQ(rows.size(), 17u + 2u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(rows[i].pos, 7 * i);
    EXPECT_EQ(rows[8], (Row{"|", -1}));
    EXPECT_EQ(rows[9], (Row{"9", 0}));
    EXPECT_EQ(rows[17], (Row{"|", -1}));
    EXPECT_EQ(rows[18], (Row{"7", 0}));
    EXPECT_EQ(end.rowPos, 7);
    EXPECT_EQ(end.rowsClosed, 17u);
}

TEST(LayRows, EmptyText) {
    LayoutEnd end;
    EXPECT_TRUE(Layout("", &end).empty());
    EXPECT_EQ(end.rowPos, 0);
    EXPECT_FALSE(end.lastCharClosed);
    EXPECT_TRUE(Layout("\n\n", &end).empty());
    EXPECT_FALSE(end.lastCharClosed);
}

TEST(LineEndsToCrLf, EachLineEndBecomesCrLf) {
    std::string text = "\na\r\nb\rc\nd\r\r\ne\n\rlast";
    LineEndsToCrLf(text);
    EXPECT_EQ(text, "\r\na\r\nb\r\nc\r\nd\r\n\r\ne\r\n\r\nlast");
    text = "ends on CR\r";
    LineEndsToCrLf(text);
    EXPECT_EQ(text, "ends on CR\r\n");
}

}  // namespace
}  // namespace tavrilo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/screens/screens.h"

#include <gtest/gtest.h>

#include <random>

#include "basic_reader.h"
#include "helpers.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/screens/lcd.h"
#include "tavrilo/convert/text_rules.h"

namespace tavrilo {
namespace {

std::string Describe(Display d, const std::vector<ScreenText>& texts, bool waits) {
    std::string out = d == Display::Home ? "home" : "graph";
    for (const ScreenText& t : texts)
        out += " (" + std::to_string(t.row) + "," + std::to_string(t.col) + ")\"" + t.s + "\"";
    return out + (waits ? " Pause" : " end");
}

// The screens the model predicts, step by step with ENTER, against the reader
// running the generated program.
void ExpectSameAsProgram(std::string_view text) {
    const std::vector<test::ReadScreen> read = test::RunBasic(T2Basic(ChkBadChrs(text)));
    const ScreenModel m = ScreenModel::ForBasic(text);
    std::string want, got;
    for (const test::ReadScreen& r : read) want += Describe(r.display, r.texts, r.waits) + "\n";
    std::size_t steps = 0;
    for (std::size_t i = 0; i != kNoScreen && steps <= read.size(); i = m.After(i, Key::Enter), ++steps) {
        const Screen s = m.At(i);
        EXPECT_FALSE(s.anyKey);
        got += Describe(s.display, s.texts, s.waits) + "\n";
    }
    EXPECT_EQ(m.Count(), read.size());
    EXPECT_EQ(got, want);
}

TEST(BasicScreens, WorkedExamplesAsTheProgramShowsThem) {
    for (std::string text : {std::string("HELLO WORLD!\r\nITS 2 OCLOCK"),
                             std::string("HELLO WORLD!\r\nITS 2 OCLOCK\r\n"),
                             std::string("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9"), std::string("#?&"),
                             std::string(""), std::string("\n\n"), test::Repeat("A", 25),
                             test::Repeat("A", 23), test::Repeat("A", 23) + "\r\nB", std::string("\r\n"),
                             std::string(" "), test::Repeat("Q\r\n", 8), test::Repeat("Q\r\n", 16) + "Z"}) {
        SCOPED_TRACE(testing::PrintToString(text));
        ExpectSameAsProgram(text);
    }
}

TEST(BasicScreens, RandomTextsAsTheProgramShowsThem) {
    std::mt19937 rng(2024);
    const std::string alphabet = std::string(BasicChrs) + "abcxyz#;\"@\xe9\x8a\r\n" + "\r\n\r\n      ";
    for (int n = 0; n < 300; ++n) {
        std::string text;
        const std::size_t len = rng() % (n < 200 ? 120 : 900);
        for (std::size_t i = 0; i < len; ++i) text += alphabet[rng() % alphabet.size()];
        SCOPED_TRACE(testing::PrintToString(text));
        ExpectSameAsProgram(text);
        if (HasFailure()) break;
    }
}

// Run as it stands, the program T2Basic makes gives the screens, names, keys
// and cut rows the model lays out from the text.
TEST(BasicProgramScreens, SameAsTheTextsModel) {
    std::mt19937 rng(83);
    const std::string alphabet = std::string(BasicChrs) + "mw#@\r\n\r\n      ";
    std::vector<std::string> texts = {"HELLO WORLD!\r\nITS 2 OCLOCK", "HELLO\r\n", "", "\r\n",
                                      test::Repeat("Q\r\n", 8), test::Repeat("Q\r\n", 16) + "Z", test::Repeat("\r", 9),
                                      test::Repeat("W", 40)};
    for (int n = 0; n < 200; ++n) {
        std::string text;
        const std::size_t len = rng() % 700;
        for (std::size_t i = 0; i < len; ++i) text += alphabet[rng() % alphabet.size()];
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        SCOPED_TRACE(testing::PrintToString(text));
        const ScreenModel want = ScreenModel::ForBasic(text);
        const std::optional<ScreenModel> got = ScreenModel::ForBasicProgram(T2Basic(ChkBadChrs(text)));
        ASSERT_TRUE(got);
        ASSERT_EQ(got->Count(), want.Count());
        EXPECT_EQ(got->PageCount(), want.PageCount());
        for (std::size_t i = 0; i < want.Count(); ++i) {
            const Screen a = got->At(i), b = want.At(i);
            EXPECT_EQ(Describe(a.display, a.texts, a.waits), Describe(b.display, b.texts, b.waits)) << i;
            EXPECT_EQ(ScreenName(a, got->PageCount()), ScreenName(b, want.PageCount())) << i;
            for (Key k : {Key::Enter, Key::Up, Key::Other}) EXPECT_EQ(got->After(i, k), want.After(i, k)) << i;
        }
        ASSERT_EQ(got->Clipped().size(), want.Clipped().size());
        for (std::size_t i = 0; i < want.Clipped().size(); ++i) {
            EXPECT_EQ(got->Clipped()[i].screen, want.Clipped()[i].screen);
            EXPECT_EQ(got->Clipped()[i].row, want.Clipped()[i].row);
        }
        if (HasFailure()) break;
    }
}

// Anything but the compile's own statements is not run.
TEST(BasicProgramScreens, OtherProgramsAreNotRun) {
    EXPECT_TRUE(ScreenModel::ForBasicProgram(":ClrDraw:Text(0,0,\"A:B\"):Pause:ClrHome:Disp \"T\":"));
    for (const char* program : {":ClrDraw:Text(0,0,\"OPEN):", ":ClrDraw:ABC:", ":ClrDraw:Text(64,0,\"A\"):",
                                ":ClrDraw:Text(0,96,\"A\"):", ":ClrDraw:Text(0,0,\"A\":", ":ClrDraw:Pause 5:",
                                ":ClrDraw:Text(-1,0,\"A\"):", ":ClrHome:Disp \"1\":Disp \"2\":Disp \"3\":Disp "
                                "\"4\":Disp \"5\":Disp \"6\":Disp \"7\":Disp \"8\":Disp \"9\":"}) {
        SCOPED_TRACE(program);
        EXPECT_FALSE(ScreenModel::ForBasicProgram(program));
    }
    // Nor one that draws on without clearing, whose screens would each keep all drawn before.
    const std::string redrawn = test::Repeat(":Text(0,0,\"ABCDEFGH\")", 300) + test::Repeat(":Pause", 300);
    EXPECT_FALSE(ScreenModel::ForBasicProgram(":ClrDraw" + redrawn));
}

TEST(BasicScreens, PauseWaitsForEnterAndTheEndIsFinal) {
    const ScreenModel m = ScreenModel::ForBasic(test::Repeat("row\r\n", 8) + "row");
    ASSERT_EQ(m.Count(), 3u);  // two pages, then the title
    EXPECT_EQ(m.PageCount(), 2u);
    EXPECT_EQ(m.After(0, Key::Other), 0u);
    EXPECT_EQ(m.After(0, Key::Up), 0u);
    EXPECT_EQ(m.After(0, Key::Enter), 1u);
    EXPECT_EQ(m.After(1, Key::Enter), 2u);
    EXPECT_EQ(m.After(2, Key::Enter), kNoScreen);
    EXPECT_EQ(ScreenName(m.At(1), m.PageCount()), "Page 2 of 2");
    EXPECT_EQ(ScreenName(m.At(2), m.PageCount()), "Title screen");
    EXPECT_EQ(m.At(0).texts[0].s, "ROW");  // filtered as the BASIC compile does
    EXPECT_EQ(ScreenName(ScreenModel::ForBasic(test::Repeat("R\r\n", 8)).At(1), 1), "Blank screen");
    // Without the title the program ends on its last rows.
    const ScreenModel open = ScreenModel::ForBasic(test::Repeat("row\r\n", 9));
    ASSERT_EQ(open.Count(), 2u);
    EXPECT_FALSE(open.At(1).waits);
    EXPECT_EQ(open.After(1, Key::Enter), kNoScreen);
}

TEST(AsmScreens, KeysAndNames) {
    const std::string text = test::Repeat("row\r\n", 20);  // pages of 8, 8 and 4 rows
    const ScreenModel scroll = ScreenModel::ForAsm(text, AsmOpts{});
    ASSERT_EQ(scroll.Count(), 4u);
    EXPECT_EQ(scroll.After(0, Key::Up), 1u);  // nothing before the first page
    EXPECT_EQ(scroll.After(2, Key::Up), 1u);
    EXPECT_EQ(scroll.After(2, Key::Enter), 3u);
    EXPECT_EQ(scroll.After(3, Key::Up), kNoScreen);  // the credit ends the program
    EXPECT_EQ(ScreenName(scroll.At(0), scroll.PageCount()), "Page 1 of 3");
    EXPECT_EQ(ScreenName(scroll.At(3), scroll.PageCount()), "Credit screen");
    const ScreenModel plain = ScreenModel::ForAsm(text, AsmOpts{false, false, false});
    EXPECT_EQ(plain.After(2, Key::Up), 3u);
    EXPECT_TRUE(plain.At(1).lines.empty());
    EXPECT_EQ(plain.At(1).texts.size(), 8u);
}

// The clipped rows the model lists are the ones the renderer cuts.
TEST(Screens, ClippedRowsAreTheRowsTheRendererCuts) {
    std::mt19937 rng(7);
    const std::string alphabet = "mw#@*&zil. \r\nABC[";
    for (int n = 0; n < 60; ++n) {
        std::string text;
        const std::size_t len = rng() % 700;
        for (std::size_t i = 0; i < len; ++i) text += alphabet[rng() % alphabet.size()];
        for (const ScreenModel& m : {ScreenModel::ForAsm(text, AsmOpts{}), ScreenModel::ForBasic(text)}) {
            std::vector<std::pair<std::size_t, int>> rendered, listed;
            for (std::size_t i = 0; i < m.Count(); ++i)
                for (int row : Render(m.At(i)).clippedRows) rendered.push_back({i, row});
            for (const ClippedRow& c : m.Clipped()) listed.push_back({c.screen, c.row});
            EXPECT_EQ(listed, rendered) << testing::PrintToString(text);
        }
    }
    const ScreenModel wide = ScreenModel::ForAsm(test::Repeat("m", 17) + "\r\n" + test::Repeat("m", 16), AsmOpts{});
    ASSERT_EQ(wide.Clipped().size(), 1u);  // 17 x 6 passes 96, 16 x 6 fills it
    EXPECT_EQ(wide.Clipped()[0].row, 0);
}

}  // namespace
}  // namespace tavrilo

// SPDX-License-Identifier: GPL-3.0-or-later
// The screen model against the emulated calculator: the screens it predicts are
// the screens the generated assembly program shows, key by key.
#include <gtest/gtest.h>

#include "../core/helpers.h"
#include "page_texts.h"
#include "rig.h"
#include "tavrilo/screens/screens.h"

namespace tavrilo {
namespace {

z80::Screen AsRig(const Screen& s) {
    z80::Screen r;
    for (const ScreenText& t : s.texts) r.texts.push_back({t.row, t.col, t.s});
    for (const IlineArgs& l : s.lines) r.lines.push_back({l.x1, l.y1, l.x2, l.y2});
    return r;
}

struct Walk {
    std::vector<z80::Screen> screens;
    std::vector<std::uint8_t> keys;
};

// Steps through the model pressing Up on the first visit of every screen and
// another key after that, as a reader paging back once would.
Walk WalkModel(const ScreenModel& m) {
    Walk w;
    std::vector<bool> seen(m.Count(), false);
    for (std::size_t i = 0; i != kNoScreen;) {
        const Screen s = m.At(i);
        EXPECT_TRUE(s.waits);
        EXPECT_TRUE(s.anyKey);
        // Up leads back exactly where the screen says it does.
        EXPECT_EQ(i >= 1 && m.After(i, Key::Up) == i - 1, s.upGoesBack);
        w.screens.push_back(AsRig(s));
        const bool first = !seen[i];
        seen[i] = true;
        w.keys.push_back(first ? z80::kUpKey : z80::kOtherKey);
        i = m.After(i, first ? Key::Up : Key::Other);
        if (w.screens.size() > 4 * m.Count()) {
            ADD_FAILURE() << "the walk does not end";
            break;
        }
    }
    return w;
}

void ExpectSameAsRig(const std::string& text) {
    for (int bits = 0; bits < 8; ++bits) {
        const AsmOpts o{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
        SCOPED_TRACE("flags " + std::to_string(bits));
        const Walk want = WalkModel(ScreenModel::ForAsm(text, o));
        const z80::Run run = z80::AssembleAndRun(test::AsmSource(text, o), want.keys);
        ASSERT_EQ(run.fault, "");
        EXPECT_TRUE(run.waits == want.screens) << "rig:\n"
                                               << z80::Describe(run.waits) << "model:\n"
                                               << z80::Describe(want.screens);
    }
}

class ModelPages : public testing::TestWithParam<int> {};

TEST_P(ModelPages, SameScreensAsTheProgramUnderEveryOption) {
    for (test::Ending ending : {test::Ending::PrintingChar, test::Ending::CrLf, test::Ending::FullRow}) {
        SCOPED_TRACE(test::Name(ending));
        ExpectSameAsRig(test::Join(test::Rows(GetParam(), ending), ending));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ModelPages, testing::ValuesIn(test::kRowCounts));

TEST(ModelRun, OddTextsGiveTheProgramsScreens) {
    // No text, a lone LF inside a row, rows wider than the screen, a last
    // row that closes its page by width, and zero bytes, which end a string.
    const std::string texts[] = {
        "",
        "\r\n",
        "AB\nCD\r\nE\n\nF",
        test::Repeat("m", 40) + "\r\n" + test::Repeat("w", 30),
        test::Repeat("ABCDEFGHIJKLMNOPQRSTUVW", 8),
        test::Repeat("x\r\n", 16) + "\n",
        std::string("AB\0CD\r\n\0EF\r\nGH", 14),
        std::string("AB\0", 3) + test::Repeat("m", 20),
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(testing::PrintToString(text));
        ExpectSameAsRig(text);
    }
}

}  // namespace
}  // namespace tavrilo

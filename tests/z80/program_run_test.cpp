// SPDX-License-Identifier: GPL-3.0-or-later
// The .83p and .8xp files of the generated assembly programs, decoded and run
// on the emulated calculators: what a user sees page by page under every
// combination of the layout options, the same on the TI-83 Plus as on the TI-83.
#include <gtest/gtest.h>

#include "../core/calc_files.h"
#include "../core/helpers.h"
#include "page_texts.h"
#include "rig.h"
#include "tavrilo/calc/asm_build.h"
#include "tavrilo/convert/asm.h"

namespace tavrilo {
namespace {

using test::AsmFileOf;
using test::AsmTokensOf;
using test::Ending;
using test::Join;
using test::Name;
using test::Rows;
using z80::kOtherKey;
using z80::kUpKey;
using z80::Screen;

std::string Flags(const AsmOpts& o) {
    return std::string(o.LineAbovePage ? "LineAbovePage " : "") + (o.ShowPage ? "ShowPage " : "") +
           (o.ScrollUp ? "ScrollUp" : "");
}

// The screens a user should see, and the keys pressed: Up on the first visit of
// every screen, any other key after that.
struct Expected {
    std::vector<Screen> waits;
    std::vector<std::uint8_t> keys;
};

Expected Expect(std::vector<std::string> rows, Ending ending, const AsmOpts& o) {
    // After a line end, or after a full row that left a page open, one more
    // empty row follows; it draws nothing.
    if (ending == Ending::CrLf || (ending == Ending::FullRow && rows.size() % 8 != 0)) rows.push_back("");
    std::vector<Screen> pages;
    for (std::size_t first = 0; first < rows.size(); first += 8) {
        Screen page;
        for (std::size_t i = first; i < rows.size() && i < first + 8; ++i)
            if (!rows[i].empty()) page.texts.push_back({int(7 * (i - first)), 0, rows[i]});
        if (o.LineAbovePage) page.lines.push_back({0, 6, 96, 6});
        if (o.ShowPage) page.texts.push_back({58, 0, "Page " + std::to_string(pages.size() + 1)});
        pages.push_back(page);
    }
    if (o.ShowPage) pages.back().texts.push_back({58, 85, "LP"});

    Expected e;
    std::vector<bool> seen(pages.size() + 1, false);
    std::size_t page = 0;
    while (true) {
        const bool first = !seen[page];
        seen[page] = true;
        e.keys.push_back(first ? kUpKey : kOtherKey);
        if (page == pages.size()) {
            e.waits.push_back(Screen{{{0, 0, "Tavrilo By: Kel V"}}, {}});
            return e;
        }
        e.waits.push_back(pages[page]);
        if (first && o.ScrollUp && page >= 1)
            --page;
        else
            ++page;
    }
}

class Pages : public testing::TestWithParam<int> {};

TEST_P(Pages, EveryPageUnderEveryOption) {
    for (Ending ending : {Ending::PrintingChar, Ending::CrLf, Ending::FullRow}) {
        for (int bits = 0; bits < 8; ++bits) {
            const AsmOpts o{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
            SCOPED_TRACE(std::string(Name(ending)) + "; " + Flags(o));
            const std::vector<std::string> rows = Rows(GetParam(), ending);
            const Expected want = Expect(rows, ending, o);
            for (CalcKind kind : {CalcKind::Ti83, CalcKind::Ti83Plus}) {
                SCOPED_TRACE(kind == CalcKind::Ti83 ? "TI-83" : "TI-83 Plus");
                const std::string text = Join(rows, ending);
                const std::string file = AsmFileOf("PAGES", AsmTokensOf(text, o, kind), "", kind);
                const z80::Run run = z80::RunProgramFile(file, want.keys);
                ASSERT_EQ(run.fault, "");
                EXPECT_TRUE(run.runIndicOff);
                EXPECT_TRUE(run.waits == want.waits) << "got:\n"
                                                     << z80::Describe(run.waits) << "want:\n"
                                                     << z80::Describe(want.waits);
            }
        }
    }
}

// Rows for one, two, three and ten pages, and for exactly one and two full pages.
INSTANTIATE_TEST_SUITE_P(Rows, Pages, testing::ValuesIn(test::kRowCounts));

TEST(ProgramRun, QuotesBackslashesAndHighBytesShowAsTyped) {
    // TASM cannot take a quote inside a string; the program file shows it.
    const std::vector<std::string> rows = {"SAY \"HI\" NOW", "END\"", "\"", "C:\\DOS\\", "\xe9\xff\x80\x7f~ \x01"};
    std::string text;
    for (const std::string& row : rows) text += row + "\r";
    ASSERT_TRUE(ChkQuote(text));
    const AsmOpts small{false, false, false};
    std::vector<z80::Text> want;
    for (std::size_t i = 0; i < rows.size(); ++i) want.push_back({int(7 * i), 0, rows[i]});
    for (CalcKind kind : {CalcKind::Ti83, CalcKind::Ti83Plus}) {
        const z80::Run run = z80::RunProgramFile(AsmFileOf("Q", AsmTokensOf(text, small, kind), "", kind), {});
        ASSERT_EQ(run.fault, "");
        ASSERT_EQ(run.waits.size(), 2u);
        EXPECT_TRUE(run.waits[0].texts == want) << z80::Describe(run.waits[0]);
    }
}

TEST(ProgramRun, Ti83PlusCodeEndsBelowC000h) {
    // The most rows whose code fits below C000h, found by building: the program
    // runs whole (the rig runs no code at or past C000h); one more row is refused.
    constexpr int kLastFit = 376;
    std::string text = "Row 1";
    for (int i = 2; i <= kLastFit; ++i) text += "\r\nRow " + std::to_string(i);
    std::string program;
    ASSERT_TRUE(AsmProgramTokens(text, AsmOpts{}, CalcKind::Ti83Plus, program).ok());
    const z80::Run run = z80::RunProgramFile(AsmFileOf("EDGE", program, "", CalcKind::Ti83Plus), {});
    ASSERT_EQ(run.fault, "");
    const Screen& lastPage = run.waits[run.waits.size() - 2];
    ASSERT_GE(lastPage.texts.size(), 3u);
    EXPECT_EQ(lastPage.texts[lastPage.texts.size() - 3].s, "Row " + std::to_string(kLastFit));

    const std::string no = AsmProgramTokens(text + "\r\nOne more", AsmOpts{}, CalcKind::Ti83Plus, program).message;
    EXPECT_EQ(no.rfind("the program needs 8,8", 0), 0u) << no;
    EXPECT_NE(no.find(" bytes of code; the TI-83 Plus runs at most 8,811; use BASIC or a shorter text"),
              std::string::npos) << no;
}

}  // namespace
}  // namespace tavrilo

// The .83p files of the generated assembly programs, decoded and run on the
// emulated calculator: what a user sees page by page under every combination
// of the layout options.
#include <gtest/gtest.h>

#include "../core/helpers.h"
#include "page_texts.h"
#include "rig.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/calc/asm_program_file.h"

namespace tavrilo {
namespace {

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
            const std::string file = AsmProgramFile("PAGES", AsmProgramTokens(Join(rows, ending), o), "");
            const z80::Run run = z80::RunProgramFile(file, want.keys);
            ASSERT_EQ(run.fault, "");
            EXPECT_TRUE(run.runIndicOff);
            EXPECT_TRUE(run.waits == want.waits) << "got:\n"
                                                 << z80::Describe(run.waits) << "want:\n"
                                                 << z80::Describe(want.waits);
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
    const z80::Run run = z80::RunProgramFile(AsmProgramFile("Q", AsmProgramTokens(text, small), ""), {});
    ASSERT_EQ(run.fault, "");
    ASSERT_EQ(run.waits.size(), 2u);
    std::vector<z80::Text> want;
    for (std::size_t i = 0; i < rows.size(); ++i) want.push_back({int(7 * i), 0, rows[i]});
    EXPECT_TRUE(run.waits[0].texts == want) << z80::Describe(run.waits[0]);
}

}  // namespace
}  // namespace tavrilo

// The generated assembly programs, assembled and run on the emulated calculator:
// what a user sees page by page under every combination of the layout options.
#include <gtest/gtest.h>

#include "../core/helpers.h"
#include "page_texts.h"
#include "rig.h"
#include "tavrilo/asm.h"

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
            const z80::Run run = z80::AssembleAndRun(test::AsmSource(Join(rows, ending), o), want.keys);
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

TEST(ProgramRun, QuoteInARowIsAnAssemblerError) {
    for (const char* text : {"SAY \"HI\" NOW", "END\"", "\"\r\nB"}) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(ChkQuote(text));
        const z80::Build b = z80::Assemble(test::AsmSource(text, AsmOpts{}));
        EXPECT_FALSE(b.ok);
        EXPECT_NE(b.log.find("Error"), std::string::npos) << b.log;
        EXPECT_EQ(z80::AssembleAndRun(test::AsmSource(text, AsmOpts{}), {}).fault.rfind("assembler: ", 0), 0u);
    }
}

}  // namespace
}  // namespace tavrilo

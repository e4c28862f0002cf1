// SPDX-License-Identifier: GPL-3.0-or-later
// The screens a user steps through when the generated program runs, in order,
// laid out by the same routine as the generators.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavrilo/convert/asm.h"
#include "tavrilo/screens/font.h"

namespace tavrilo {

enum class Display {
    Graph,  // 96 x 64 pixels; texts at pen row and pen column
    Home,   // 8 rows of 16 large characters; texts at character row and column
    CeGraph,  // the TI-84 Plus CE's 265 x 165 pixels; texts at pixel row and column
    CeHome,   // the CE's home screen, drawn as large characters twice the size on 265 x 165
};

enum class ScreenKind {
    Page,    // rows of the text
    Title,   // the BASIC title on the home screen
    Credit,  // the assembly credit
    Blank,   // the cleared graph screen a BASIC program ends on after a full page
};

enum class Key { Enter, Up, Other };

inline constexpr std::size_t kNoScreen = static_cast<std::size_t>(-1);

struct ScreenText {
    int row, col;
    std::string s;
};

struct Screen {
    Display display = Display::Graph;
    ScreenKind kind = ScreenKind::Page;
    std::size_t page = 0;  // 1-based for a page
    Charset charset = Charset::Bytes;
    std::vector<ScreenText> texts;   // in drawing order; empty strings left out
    std::vector<IlineArgs> lines;    // drawn after the rows, before the footer
    bool waits = true;               // false: the program has ended with this shown
    bool anyKey = false;             // any key moves on; else only ENTER does
    bool upGoesBack = false;         // Up shows the page before instead
};

// A string that runs past the right edge of the screen.
struct ClippedRow {
    std::size_t screen;
    int row;  // pen row
};

class ScreenModel {
public:
    ScreenModel() = default;
    // The BASIC program's screens; text is filtered as the BASIC compile does.
    static ScreenModel ForBasic(std::string_view text);
    // The assembly program's screens; every byte of text is taken as it is.
    static ScreenModel ForAsm(std::string text, const AsmOpts& opts);
    // The TI-84 Plus CE program's screens; text is taken through CeChars.
    static ScreenModel ForCe(std::string_view text);
    // The screens of a BASIC program as it stands (one HoldsBasicProgram
    // accepts), by running its statements: ClrDraw, ClrHome, Pause,
    // Text(row,column,"s") and Disp "s". Nothing for any other statement.
    static std::optional<ScreenModel> ForBasicProgram(std::string_view program);

    bool Basic() const { return basic_; }
    bool Ce() const { return ce_; }
    // The characters CeChars left out of the CE program's text.
    std::size_t LeftOut() const { return leftOut_; }
    std::size_t Count() const { return count_; }
    std::size_t PageCount() const { return pages_; }
    // Lays out only the rows of screen i.
    Screen At(std::size_t i) const;
    // The screen key k leads to from screen i, i itself when the program
    // ignores it, kNoScreen once the program has ended.
    std::size_t After(std::size_t i, Key k) const;
    // Rows cut at the right edge, in screen order.
    const std::vector<ClippedRow>& Clipped() const { return clipped_; }

private:
    void Index();
    Screen PageAt(std::size_t i) const;
    bool UpGoesBack(std::size_t i) const;

    std::string text_;
    bool basic_ = false;
    bool ce_ = false;
    std::size_t leftOut_ = 0;
    bool ran_ = false;         // screens_ holds a program's screens
    std::vector<Screen> screens_;
    AsmOpts opts_;
    std::vector<std::size_t> pageStart_;  // offset of each page after a full page, and 0
    std::size_t fullPages_ = 0;
    bool lastPage_ = false;  // a page after the full ones
    bool title_ = false;     // BASIC: the title follows
    std::size_t pages_ = 0;
    std::size_t count_ = 0;
    std::vector<ClippedRow> clipped_;
};

// "Page 3 of 12", "Title screen", "Credit screen", "Blank screen".
std::string ScreenName(const Screen& s, std::size_t pages);

}  // namespace tavrilo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/screens/screens.h"

#include <utility>

#include "tavrilo/convert/basic.h"
#include "tavrilo/convert/ce.h"
#include "tavrilo/convert/layout.h"
#include "tavrilo/convert/text_rules.h"

namespace tavrilo {

namespace {

Charset CharsetOf(bool basic) { return basic ? Charset::BasicTokens : Charset::Bytes; }

// What the calculator draws of a row: the assembly program's strings end at
// their first zero byte.
std::string_view Drawn(std::string_view row) { return row.substr(0, row.find('\0')); }

}  // namespace

ScreenModel ScreenModel::ForBasic(std::string_view text) {
    ScreenModel m;
    m.text_ = ChkBadChrs(text);
    m.basic_ = true;
    m.Index();
    return m;
}

ScreenModel ScreenModel::ForCe(std::string_view text) {
    ScreenModel m;
    m.text_ = CeChars(text, m.leftOut_);
    m.basic_ = m.ce_ = true;
    m.Index();
    return m;
}

ScreenModel ScreenModel::ForAsm(std::string text, const AsmOpts& opts) {
    ScreenModel m;
    m.text_ = std::move(text);
    m.opts_ = opts;
    m.Index();
    return m;
}

void ScreenModel::Index() {
    const Charset cs = CharsetOf(basic_);
    pageStart_.assign(1, 0);
    if (ce_) {
        const CeLayoutEnd end = LayCeRows(
            text_,
            [&](std::string_view row, int index) {
                if (CutAtRightEdge(0, CeTextWidth(row), ScreenOf(Display::CeGraph).width))
                    clipped_.push_back({pageStart_.size() - 1, index * kCeRowPitch});
            },
            [&](std::size_t next) { pageStart_.push_back(next); });
        fullPages_ = pageStart_.size() - 1;
        lastPage_ = end.rowsOnLastPage > 0;
        title_ = true;
        pages_ = fullPages_ + lastPage_;
        count_ = pages_ + 1;
        return;
    }
    auto clip = [&](std::string_view row, int rowPos) {
        if (CutAtRightEdge(0, SmallTextWidth(Drawn(row), cs), ScreenOf(Display::Graph).width))
            clipped_.push_back({pageStart_.size() - 1, rowPos});
    };
    LayoutEnd end = LayRows(
        text_, clip, [&](std::size_t next) { pageStart_.push_back(next); });
    fullPages_ = pageStart_.size() - 1;
    if (basic_) {
        title_ = BasicEndsWithTitle(end);
        // Without the title the program stops on the rows drawn since the last Pause.
        lastPage_ = title_ || end.rowPos != 0;
        pages_ = fullPages_ + lastPage_;
        count_ = pages_ + (title_ || !lastPage_);
    } else {
        lastPage_ = AsmHasLastPage(end);
        pages_ = fullPages_ + lastPage_;
        count_ = pages_ + 1;
    }
    if (lastPage_) clip(end.pending, end.rowPos);
}

// With ScrollUp, page 2 and later jump back to the page before on Up.
bool ScreenModel::UpGoesBack(std::size_t i) const {
    return !basic_ && opts_.ScrollUp && i >= 1 && i < pages_;
}

Screen ScreenModel::PageAt(std::size_t i) const {
    Screen s;
    s.page = i + 1;
    s.charset = CharsetOf(basic_);
    const std::size_t from = pageStart_[i];
    const std::size_t to = i < fullPages_ ? pageStart_[i + 1] : text_.size();
    if (ce_) {
        s.display = Display::CeGraph;
        LayCeRows(
            std::string_view(text_).substr(from, to - from),
            [&](std::string_view row, int index) {
                if (!row.empty()) s.texts.push_back({index * kCeRowPitch, 0, std::string(row)});
            },
            [](std::size_t) {});
        return s;
    }
    auto add = [&](std::string_view row, int rowPos) {
        row = Drawn(row);
        if (!row.empty()) s.texts.push_back({rowPos, 0, std::string(row)});
    };
    LayoutEnd end = LayRows(std::string_view(text_).substr(from, to - from), add, [] {});
    if (i == fullPages_) add(end.pending, end.rowPos);
    if (basic_) {
        s.waits = i < fullPages_ || title_;
        return s;
    }
    s.anyKey = true;
    s.upGoesBack = UpGoesBack(i);
    if (opts_.LineAbovePage) s.lines.push_back(kSeparator);
    if (opts_.ShowPage) {
        s.texts.push_back({kFooterRow, 0, std::string(kPageLabel) + std::to_string(i + 1)});
        if (i + 1 == pages_) s.texts.push_back({kFooterRow, kLpColumn, std::string(kLastPageMark)});
    }
    return s;
}

Screen ScreenModel::At(std::size_t i) const {
    if (ran_) return screens_.at(i);
    if (i < pages_) return PageAt(i);
    Screen s;
    s.charset = CharsetOf(basic_);
    if (!basic_) {
        s.kind = ScreenKind::Credit;
        s.anyKey = true;
        s.texts.push_back({0, 0, std::string(kAsmCredit)});
    } else if (title_) {
        s.display = ce_ ? Display::CeHome : Display::Home;
        s.kind = ScreenKind::Title;
        s.waits = false;
        s.texts.push_back({0, 0, std::string(kBasicTitle)});
    } else {
        s.kind = ScreenKind::Blank;
        s.waits = false;
    }
    return s;
}

std::size_t ScreenModel::After(std::size_t i, Key k) const {
    if (i >= count_) return kNoScreen;
    if (ran_) {
        if (!screens_[i].waits) return kNoScreen;
        return k == Key::Enter ? i + 1 : i;
    }
    if (basic_) {
        const bool pause = i < fullPages_ || (title_ && i < pages_);
        if (!pause) return kNoScreen;
        return k == Key::Enter ? i + 1 : i;
    }
    if (i + 1 == count_) return kNoScreen;  // the credit: the program returns
    if (k == Key::Up && UpGoesBack(i)) return i - 1;
    return i + 1;
}

std::string ScreenName(const Screen& s, std::size_t pages) {
    switch (s.kind) {
        case ScreenKind::Page:
            return "Page " + std::to_string(s.page) + " of " + std::to_string(pages);
        case ScreenKind::Title:
            return "Title screen";
        case ScreenKind::Credit:
            return "Credit screen";
        case ScreenKind::Blank:
            return "Blank screen";
    }
    return {};
}

}  // namespace tavrilo

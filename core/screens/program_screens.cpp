// SPDX-License-Identifier: GPL-3.0-or-later
// The screens of a BASIC program as it stands, found by running the few
// statements the BASIC compile writes.
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "tavrilo/screens/screens.h"

namespace tavrilo {
namespace {

// The BASIC program the compile writes runs on the TI-83's screen.
const GraphScreen& kGraph = ScreenOf(Display::Graph);
const int kHomeRows = kGraph.height / kLargeCellHeight;

// Reads what a statement holds, left to right; any surprise makes it fail.
class Reader {
public:
    explicit Reader(std::string_view s) : s_(s) {}
    bool Word(std::string_view w) {
        if (s_.substr(at_, w.size()) != w) return false;
        at_ += w.size();
        return true;
    }
    bool Number(int max, int& n) {
        const std::size_t from = at_;
        n = 0;
        while (at_ < s_.size() && at_ - from < 3 && std::isdigit(static_cast<unsigned char>(s_[at_])))
            n = n * 10 + (s_[at_++] - '0');
        return at_ > from && n <= max;
    }
    bool Quoted(std::string& out) {
        if (!Word("\"")) return false;
        const std::size_t close = s_.find('"', at_);
        if (close == std::string_view::npos) return false;
        out.assign(s_.substr(at_, close - at_));
        at_ = close + 1;
        return true;
    }
    bool AtEnd() const { return at_ == s_.size(); }

private:
    std::string_view s_;
    std::size_t at_ = 0;
};

// The statements between colons outside strings; nothing when a string is left open.
bool Statements(std::string_view program, std::vector<std::string_view>& out) {
    bool inString = false;
    std::size_t from = 0;
    for (std::size_t i = 0; i < program.size(); ++i) {
        if (program[i] == '"') inString = !inString;
        if (program[i] == ':' && !inString) {
            out.push_back(program.substr(from, i - from));
            from = i + 1;
        }
    }
    out.push_back(program.substr(from));
    return !inString;
}

}  // namespace

std::optional<ScreenModel> ScreenModel::ForBasicProgram(std::string_view program) {
    std::vector<std::string_view> statements;
    if (!Statements(program, statements)) return std::nullopt;
    ScreenModel m;
    m.basic_ = true;
    m.ran_ = true;
    std::vector<ScreenText> graph, home;
    Display shown = Display::Home;
    bool clearedSincePause = false;
    // Each screen keeps what was drawn on it since it was cleared. A program that
    // draws on without clearing would keep the same texts again at every Pause:
    // past twice its own size it is shown as a text instead.
    std::size_t kept = 0;
    const std::size_t keepable = 2 * program.size() + 4096;
    auto show = [&](bool waits) {
        Screen s;
        s.display = shown;
        s.charset = Charset::BasicTokens;
        s.texts = shown == Display::Graph ? graph : home;
        for (const ScreenText& t : s.texts) kept += t.s.size() + 1;
        s.waits = waits;
        if (shown == Display::Home) {
            s.kind = ScreenKind::Title;
        } else if (!waits && s.texts.empty() && clearedSincePause && !m.screens_.empty()) {
            s.kind = ScreenKind::Blank;
        } else {
            s.page = ++m.pages_;
            for (const ScreenText& t : s.texts)
                if (CutAtRightEdge(t.col, SmallTextWidth(t.s, Charset::BasicTokens), kGraph.width))
                    m.clipped_.push_back({m.screens_.size(), t.row});
        }
        m.screens_.push_back(std::move(s));
        clearedSincePause = false;
    };
    for (std::string_view st : statements) {
        std::string s;
        int row = 0, col = 0;
        if (st.empty()) continue;
        if (st == "ClrDraw") {
            graph.clear();
            clearedSincePause = true;
        } else if (st == "Pause") {
            show(true);
            if (kept > keepable) return std::nullopt;
        } else if (st == "ClrHome") {
            home.clear();
            shown = Display::Home;
        } else if (Reader d(st); d.Word("Disp ") && d.Quoted(s) && d.AtEnd()) {
            if (home.size() >= static_cast<std::size_t>(kHomeRows)) return std::nullopt;
            home.push_back({static_cast<int>(home.size()), 0, s});
            shown = Display::Home;
        } else if (Reader t(st); t.Word("Text(") && t.Number(kGraph.height - 1, row) && t.Word(",") &&
                                 t.Number(kGraph.width - 1, col) && t.Word(",") && t.Quoted(s) && t.Word(")") &&
                                 t.AtEnd()) {
            if (!s.empty()) graph.push_back({row, col, s});
            clearedSincePause = false;  // a row drawn empty still makes a page, as the text's layout counts it
            shown = Display::Graph;
        } else {
            return std::nullopt;
        }
    }
    show(false);
    m.count_ = m.screens_.size();
    return m;
}

}  // namespace tavrilo

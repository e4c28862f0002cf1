// SPDX-License-Identifier: GPL-3.0-or-later
// A small reader of the generated BASIC program for the tests: runs ClrDraw,
// Text(r,c,"s"), Pause, ClrHome and Disp "s" and records the screens.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tavrilo/screens/screens.h"

namespace tavrilo::test {

struct ReadScreen {
    Display display;
    std::vector<ScreenText> texts;
    bool waits;  // a Pause; else the program ended with it shown
};

// Splits at ':' outside strings.
inline std::vector<std::string> Statements(std::string_view program) {
    std::vector<std::string> out(1);
    bool inString = false;
    for (char c : program) {
        if (c == ':' && !inString) {
            out.emplace_back();
            continue;
        }
        if (c == '"') inString = !inString;
        out.back() += c;
    }
    EXPECT_FALSE(inString) << "a string runs to the end of the program";
    return out;
}

// The string of `"s"` at pos, which moves past it.
inline std::string Quoted(const std::string& st, std::size_t& pos) {
    EXPECT_EQ(st[pos], '"') << st;
    const std::size_t close = st.find('"', pos + 1);
    std::string s = st.substr(pos + 1, close - pos - 1);
    pos = close == std::string::npos ? st.size() : close + 1;
    return s;
}

inline std::vector<ReadScreen> RunBasic(std::string_view program) {
    std::vector<ReadScreen> screens;
    std::vector<ScreenText> graph, home;
    Display shown = Display::Home;
    int homeRow = 0;
    auto showing = [&](bool waits) {
        screens.push_back({shown, shown == Display::Graph ? graph : home, waits});
    };
    for (const std::string& st : Statements(program)) {
        if (st.empty()) continue;
        if (st == "ClrDraw") {
            graph.clear();
        } else if (st == "Pause") {
            showing(true);
        } else if (st == "ClrHome") {
            home.clear();
            homeRow = 0;
            shown = Display::Home;
        } else if (st.rfind("Disp ", 0) == 0) {
            std::size_t pos = 5;
            std::string s = Quoted(st, pos);
            EXPECT_EQ(pos, st.size()) << st;
            home.push_back({homeRow++, 0, s});
            shown = Display::Home;
        } else if (st.rfind("Text(", 0) == 0) {
            std::size_t pos = 5;
            std::size_t used = 0;
            const int row = std::stoi(st.substr(pos), &used);
            pos += used + 1;
            const int col = std::stoi(st.substr(pos), &used);
            pos += used + 1;
            std::string s = Quoted(st, pos);
            EXPECT_EQ(st.substr(pos), ")") << st;
            if (!s.empty()) graph.push_back({row, col, s});
            shown = Display::Graph;
        } else {
            ADD_FAILURE() << "unknown statement " << st;
        }
    }
    showing(false);
    return screens;
}

}  // namespace tavrilo::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The man page and the README show the command line that --help shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iomanip>
#include <regex>
#include <set>
#include <sstream>

#include "../core/temp_dir.h"

namespace {

using tavrilo::test::Slurp;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// What troff shows of a source line: a font macro's words, joined without
// blanks when its fonts alternate (.BI, .RB, ...).
std::string Shown(const std::string& line) {
    std::string out = line;
    if (line[0] == '.') {
        const bool alternating = line.find(' ') == 3;
        std::istringstream in(line.substr(line.find(' ') + 1));
        out.clear();
        for (std::string word; in >> std::quoted(word);) out += (alternating || out.empty() ? "" : " ") + word;
    }
    return std::regex_replace(std::regex_replace(out, std::regex(R"(\\-)"), "-"), std::regex(R"(\\&)"), "");
}

TEST(HelpAndDocs, ManPageAndReadmeShowTheUsageAndOptionsOfHelp) {
    const tavrilo::test::TempDir dir;
    const std::string help = dir / "help";
    ASSERT_EQ(std::system((std::string("'") + TAVRILO_CONVERT + "' --help >'" + help + "'").c_str()), 0);
    std::vector<std::string> usage, readme, synopsis(1);
    std::set<std::string> options, manOptions;
    for (const std::string& line : Lines(Slurp(help))) {
        EXPECT_LE(line.size(), 80u) << line;
        if (line.rfind("usage: ", 0) == 0 || line.rfind("       tavrilo-convert", 0) == 0)
            usage.push_back(line.substr(7));
        if (line.rfind("  -", 0) == 0) options.insert(line.substr(2, line.find("  ", 2) - 2));
    }
    for (const std::string& line : Lines(Slurp(TAVRILO_SOURCE "/README.md")))
        if (line.rfind("    tavrilo-convert ", 0) == 0) readme.push_back(line.substr(4));
    std::string section, previous;
    for (const std::string& line : Lines(Slurp(TAVRILO_SOURCE "/dist/tavrilo-convert.1"))) {
        if (line.rfind(".SH ", 0) == 0) {
            section = line.substr(4);
        } else if (section == "SYNOPSIS") {
            if (line == ".br")
                synopsis.emplace_back();
            else
                synopsis.back() += (synopsis.back().empty() ? "" : " ") + Shown(line);
        } else if (section == "OPTIONS" && previous == ".TP") {
            manOptions.insert(Shown(line));
        }
        previous = line;
    }
    EXPECT_EQ(readme, usage);
    EXPECT_EQ(synopsis, usage);
    EXPECT_EQ(manOptions, options);
    EXPECT_EQ(options.count("-h, --help") + options.count("--version"), 2u);
}

}  // namespace

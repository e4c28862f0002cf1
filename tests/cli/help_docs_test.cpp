// The man page and the README show the command line that --help shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "../core/temp_dir.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Help() {
    std::string out;
    FILE* p = popen((std::string("'") + TAVRILO_CONVERT + "' --help").c_str(), "r");
    char buf[4096];
    for (std::size_t n; p != nullptr && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    if (p != nullptr) pclose(p);
    return out;
}

void Replace(std::string& s, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
}

// What troff shows of a source line: a font macro's words, joined without
// blanks when its fonts alternate (.BI, .RB, ...).
std::string Shown(const std::string& line) {
    std::string out = line;
    if (!line.empty() && line[0] == '.') {
        std::istringstream in(line);
        std::string macro, word, words;
        in >> macro;
        const bool alternating = macro.size() == 3;
        while (in >> std::ws && !in.eof()) {
            if (in.peek() == '"') {
                in.get();
                std::getline(in, word, '"');
            } else {
                in >> word;
            }
            words += (alternating || words.empty() ? "" : " ") + word;
        }
        out = words;
    }
    Replace(out, "\\-", "-");
    Replace(out, "\\&", "");
    return out;
}

TEST(HelpAndDocs, ManPageAndReadmeShowTheUsageAndOptionsOfHelp) {
    std::vector<std::string> usage, readme, synopsis;
    std::set<std::string> options, manOptions;
    for (const std::string& line : Lines(Help())) {
        EXPECT_LE(line.size(), 80u) << line;
        if (line.rfind("usage: ", 0) == 0 || line.rfind("       tavrilo-convert", 0) == 0)
            usage.push_back(line.substr(7));
        if (line.rfind("  -", 0) == 0) options.insert(line.substr(2, line.find("  ", 2) - 2));
    }
    for (const std::string& line : Lines(tavrilo::test::Slurp(TAVRILO_SOURCE "/README.md")))
        if (line.rfind("    tavrilo-convert ", 0) == 0) readme.push_back(line.substr(4));
    std::string section, joined;
    bool tag = false;
    for (const std::string& line : Lines(tavrilo::test::Slurp(TAVRILO_SOURCE "/dist/tavrilo-convert.1"))) {
        if (line.rfind(".SH ", 0) == 0) section = line.substr(4);
        if (section == "SYNOPSIS" && line.rfind(".SH", 0) != 0) {
            if (line == ".br") {
                synopsis.push_back(joined);
                joined.clear();
            } else {
                joined += (joined.empty() ? "" : " ") + Shown(line);
            }
        }
        if (line == ".SH DESCRIPTION") synopsis.push_back(joined);
        if (section == "OPTIONS" && tag) manOptions.insert(Shown(line));
        tag = line == ".TP";
    }
    EXPECT_FALSE(usage.empty());
    EXPECT_EQ(readme, usage);
    EXPECT_EQ(synopsis, usage);
    EXPECT_EQ(manOptions, options);
    EXPECT_EQ(options.count("-h, --help") + options.count("--version"), 2u);
}

}  // namespace

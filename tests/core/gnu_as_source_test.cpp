// SPDX-License-Identifier: GPL-3.0-or-later
// The rewrites that turn the generated source into GNU as source.
#include <gtest/gtest.h>

#include "helpers.h"
#include "tavrilo/calc/asm_build.h"

namespace tavrilo {
namespace {

std::string Rewritten(std::string_view line) {
    GnuAsSource s("eq.inc");
    s.Line(line);
    return s.Text();
}

TEST(GnuAsSource, DbStringsKeepOnlyWhatQuotesCanHold) {
    struct Case {
        std::string line, want;
    } cases[] = {
        {"\t.db \"SAY \"HI\"\",0", "\t.db \"SAY \",34,\"HI\",34,0\n"},
        {"\t.db \"C:\\DOS\\\",0", "\t.db \"C:\",92,\"DOS\",92,0\n"},
        {std::string("\t.db \"A\0B\",0", 12), "\t.db \"A\",0,\"B\",0\n"},
        {"\t.db \"caf\xe9 \x80\xff!\",0", "\t.db \"caf\",233,\" \",128,255,\"!\",0\n"},
        {"\t.db \"\x80\"\\\x7f\x1f\",0", "\t.db 128,34,92,127,31,0\n"},  // a row of only such bytes
        {"\t.db \"\",0", "\t.db \"\",0\n"},                             // an empty row
        {"\t.db \" ~\",0", "\t.db \" ~\",0\n"},                          // 20h and 7Eh stay quoted
        {"\t.db 1,2", "\t.db 1,2\n"},
        {"\tld hl,\"x\\\"", "\tld hl,\"x\\\"\n"},
        {"str1:", "str1:\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Rewritten(c.line), c.want);
    }
}

TEST(GnuAsSource, HeaderDirectives) {
    EXPECT_EQ(Rewritten("#include \"ti83asm.inc\""), ".include \"eq.inc\"\n");
    EXPECT_EQ(Rewritten("#include \"tokens.inc\""), "\n");
    EXPECT_EQ(Rewritten("#include \"other.inc\""), "#include \"other.inc\"\n");
    EXPECT_EQ(Rewritten("#DEFINE kUp         03h"), "kUp .equ 03h\n");
    EXPECT_EQ(Rewritten("; #DEFINE x 1"), "; #DEFINE x 1\n");
}

TEST(GnuAsSource, GeneratedSourceChangesOnlyInTheRewrittenLines) {
    const std::string text = "A \"Q\"\r\\\r\r\xe9\xe9";
    const std::vector<std::string> lines = test::AsmLines(text, AsmOpts{});
    GnuAsSource sink("eq.inc");
    for (const std::string& l : lines) sink.Line(l);
    std::string joined;
    for (const std::string& l : lines) joined += l + "\r\n";
    EXPECT_EQ(ForGnuAs(joined, "eq.inc"), sink.Text());

    std::vector<std::string> out;
    for (std::size_t pos = 0; pos < sink.Text().size();) {
        std::size_t end = sink.Text().find('\n', pos);
        out.push_back(sink.Text().substr(pos, end - pos));
        pos = end + 1;
    }
    ASSERT_EQ(out.size(), lines.size());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) changed += out[i] != lines[i];
    EXPECT_EQ(changed, 6u);  // two includes, the define, and the rows with quote, backslash, 8-bit bytes
    for (const char* want : {"\t.db \"A \",34,\"Q\",34,0", "\t.db 92,0", "\t.db \"\",0", "\t.db 233,233,0"})
        EXPECT_NE(std::find(out.begin(), out.end(), want), out.end()) << want;
}

}  // namespace
}  // namespace tavrilo

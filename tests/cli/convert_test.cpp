#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "../core/temp_dir.h"
#include "../core/helpers.h"
#include "../files/ti_reader.h"
#include "tavrilo/asm.h"
#include "tavrilo/basic.h"
#include "tavrilo/program_file.h"
#include "tavrilo/text_rules.h"
#include "tavrilo/tokens.h"

namespace tavrilo {
namespace {

using test::EntryCount;
using test::Slurp;
using test::Spit;
using test::TempDir;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs tavrilo-convert with args (already quoted for the shell) and input on stdin.
Outcome Convert(const TempDir& dir, const std::string& args, const std::string& input = "",
                const std::string& stdoutPath = "") {
    Spit(dir / "stdin", input);
    std::string out = stdoutPath.empty() ? dir / "stdout" : stdoutPath;
    std::string cmd = std::string("'") + TAVRILO_CONVERT + "' " + args + " <'" + (dir / "stdin") +
                      "' >'" + out + "' 2>'" + (dir / "stderr") + "'";
    int raw = std::system(cmd.c_str());
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(dir / "stdout");
    r.err = Slurp(dir / "stderr");
    std::filesystem::remove(dir / "stdin");
    if (stdoutPath.empty()) std::filesystem::remove(dir / "stdout");
    std::filesystem::remove(dir / "stderr");
    return r;
}


const std::string kText = "Hello, World!\r\nIt's 2 o'clock\r\n\"quoted\"\r\n\t\xe9\xff end";

TEST(Convert, BasicFromStdinAndFile) {
    TempDir dir;
    Outcome r = Convert(dir, "basic", kText);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, T2Basic(ChkBadChrs(kText)) + "\n");
    EXPECT_EQ(r.err, "");

    Spit(dir / "in.txt", "HELLO WORLD!\r\nITS 2 OCLOCK");
    r = Convert(dir, "basic '" + (dir / "in.txt") + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.size(), 106u);
    EXPECT_EQ(Convert(dir, "basic -", "A").out, T2Basic("A") + "\n");
}

TEST(Convert, AsmFlags) {
    TempDir dir;
    std::string text = std::string(20, 'X') + "\r\n";
    text = text + text + text + text + text + text + text + text + "END";
    struct Case {
        std::string args;
        AsmOpts opts;
    } cases[] = {
        {"asm", {true, true, true}},
        {"asm --small", {false, false, false}},
        {"asm --show-page", {false, true, false}},
        {"asm --scroll-up --line-above-page", {true, false, true}},
        {"asm --line-above-page --show-page --scroll-up", {true, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        Outcome r = Convert(dir, c.args, text);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, test::AsmSource(text, c.opts));
        EXPECT_EQ(r.err, "");
    }
}

TEST(Convert, QuoteWarningGoesToStderr) {
    TempDir dir;
    Outcome r = Convert(dir, "asm", "SAY \"HI\"");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, std::string(kQuoteWarning) + "\n");
    EXPECT_NE(r.out.find("\t.db \"SAY \"HI\"\",0\r\n"), std::string::npos);
    EXPECT_EQ(Convert(dir, "basic", "SAY \"HI\"").err, "");
}

TEST(Convert, OutputFile) {
    TempDir dir;
    Outcome r = Convert(dir, "asm --small -o '" + (dir / "out.asm") + "'", kText);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Slurp(dir / "out.asm"), test::AsmSource(kText, AsmOpts{false, false, false}));

    r = Convert(dir, "basic -o '" + (dir / "out.txt") + "'", "abc");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Slurp(dir / "out.txt"), T2Basic("ABC") + "\n");
}

TEST(Convert, ReadAndWriteFailures) {
    TempDir dir;
    Outcome r = Convert(dir, "basic '" + (dir / "none.txt") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot read '" + (dir / "none.txt") +
                         "': No such file or directory\n");
    EXPECT_EQ(r.out, "");

    Spit(dir / "plain", "x");
    r = Convert(dir, "asm -o '" + (dir / "plain/out.asm") + "'", "TEXT");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot write '" + (dir / "plain/out.asm") +
                         "': Not a directory\n");

    std::filesystem::create_directory(dir / "taken");
    r = Convert(dir, "asm -o '" + (dir / "taken") + "'", "TEXT");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken"));

    r = Convert(dir, "basic -o '" + (dir / std::string(300, 'n')) + "'", "TEXT");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File name too long"), std::string::npos);
    EXPECT_EQ(EntryCount(dir.path()), 2u);  // plain and taken: no partial file

    r = Convert(dir, "basic", "TEXT", "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot write '-': No space left on device\n");
}

TEST(Convert, Usage) {
    TempDir dir;
    for (const char* args : {"", "pascal", "basic --small", "asm --small --show-page",
                             "asm -o", "asm --bogus", "basic a b"}) {
        SCOPED_TRACE(args);
        Outcome r = Convert(dir, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: tavrilo-convert"), std::string::npos);
    }
    Outcome r = Convert(dir, "--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "tavrilo-convert 1.02\n");
    r = Convert(dir, "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--scroll-up"), std::string::npos);
    EXPECT_EQ(Convert(dir, "asm --help").out, r.out);
    r = Convert(dir, "pascal x");
    EXPECT_NE(r.err.find("unknown mode 'pascal'"), std::string::npos);
}

TEST(Convert, ProgramFiles) {
    TempDir dir;
    std::string tokens;
    ASSERT_FALSE(Tokenize(T2Basic(ChkBadChrs(kText)), tokens));
    struct Case {
        const char* flag;
        CalcKind kind;
        const char* file;
        CalcModel model;
    } cases[] = {{"--83p", CalcKind::Ti83, "p.83p", CALC_TI83}, {"--8xp", CalcKind::Ti83Plus, "p.8xp", CALC_TI83P}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flag);
        const std::string out = dir / c.file;
        Outcome r = Convert(dir, std::string("basic ") + c.flag + " HELLO2 -o '" + out + "'", kText);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Slurp(out), ProgramFile(c.kind, "HELLO2", tokens, "Tavrilo 1.02, tavrilo-convert"));
        test::Read back = test::ReadBack(out);
        ASSERT_EQ(back.status, 0);
        EXPECT_EQ(back.model, c.model);
        EXPECT_EQ(back.name, "HELLO2");
        EXPECT_EQ(back.comment, "Tavrilo 1.02, tavrilo-convert");
        EXPECT_EQ(back.computed, back.stored);
    }
}

TEST(Convert, ProgramFileRefusals) {
    TempDir dir;
    const std::string out = dir / "p.8xp";
    Spit(out, "old");
    for (const char* name : {"''", "hello", "9LIVES", "TOOLONGER", "A.B"}) {
        SCOPED_TRACE(name);
        Outcome r = Convert(dir, std::string("basic --8xp ") + name + " -o '" + out + "'", "HI");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(kNameRule), std::string::npos);
    }
    for (const char* args : {"basic --83p A", "asm --83p A -o x", "basic --83p A --8xp B -o x",
                             "basic --8xp"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(Convert(dir, args, "HI").status, 2);
    }

    // About 7,000 rows make more than 65,535 bytes of tokens.
    std::string book;
    for (int i = 0; i < 7000; ++i) book += "ROW\r\n";
    std::string tokens;
    ASSERT_FALSE(Tokenize(T2Basic(book), tokens));
    Outcome r = Convert(dir, "basic --83p BOOK -o '" + out + "'", book);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot make '" + out + "': " +
                         SizeProblem(CalcKind::Ti83, tokens.size()) + "\n");
    EXPECT_NE(r.err.find(std::to_string(tokens.size())), std::string::npos);
    EXPECT_NE(r.err.find("65535"), std::string::npos);

    r = Convert(dir, "basic --8xp BOOK -o '" + (dir / "none/p.8xp") + "'", "HI");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Slurp(out), "old");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

}  // namespace
}  // namespace tavrilo

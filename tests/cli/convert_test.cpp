// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "../core/calc_files.h"
#include "../core/helpers.h"
#include "../core/temp_dir.h"
#include "../files/ti_reader.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/text_rules.h"
#include "tavrilo/calc/tokens.h"

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

// Runs the shell command prefix + tavrilo-convert + args with input on stdin.
Outcome RunShell(const TempDir& dir, const std::string& prefix, const std::string& args,
                 const std::string& input, const std::string& stdoutPath) {
    Spit(dir / "stdin", input);
    std::string out = stdoutPath.empty() ? dir / "stdout" : stdoutPath;
    std::string cmd = prefix + "'" + TAVRILO_CONVERT + "' " + args + " <'" + (dir / "stdin") +
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

// Runs tavrilo-convert with args (already quoted for the shell) and input on
// stdin, with the environment's settings env ("NAME=value ...") if given.
Outcome Convert(const TempDir& dir, const std::string& args, const std::string& input = "",
                const std::string& stdoutPath = "", const std::string& env = "") {
    return RunShell(dir, env.empty() ? "" : "env " + env + " ", args, input, stdoutPath);
}

// The same with the address space limited to kib KiB.
Outcome ConvertWithin(const TempDir& dir, long kib, const std::string& args,
                      const std::string& input = "") {
    return RunShell(dir, "ulimit -v " + std::to_string(kib) + "; ", args, input, "");
}

const std::string kText = "Hello, World!\r\nIt's 2 o'clock\r\n\"quoted\"\r\n\t\xe9\xff end";

TEST(Convert, ReadsUtf8AndDocumentsIntoTheCodePage) {
    TempDir dir;
    const std::string cp1252 = "Caf\xe9 \x93quoted\x94\n5' 6\" -1 ?";
    const std::string utf8 = "Caf\xc3\xa9 \xe2\x80\x9cquoted\xe2\x80\x9d\n5\xe2\x80\xb2 6\xe2\x80\xb3 \xe2\x88\x92" "1 \xce\xa9";
    const Outcome want = Convert(dir, "asm --small", cp1252);
    Outcome r = Convert(dir, "asm --small", utf8);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, want.out);
    EXPECT_EQ(r.err, "tavrilo-convert: 1 character outside the calculator's code page was replaced by ?\n" + want.err);
    EXPECT_NE(Convert(dir, "asm --small --encoding windows-1252", utf8).out, want.out);

    Spit(dir / "notes.pdf", "%PDF-1.4 cut short");
    r = Convert(dir, "basic '" + (dir / "notes.pdf") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot read '" + (dir / "notes.pdf") +
                         "': it is not a PDF document that can be read\n");
    EXPECT_EQ(Convert(dir, "basic --from text '" + (dir / "notes.pdf") + "'").status, 0);
}

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

    // The text's own file, here through a link, is not replaced by the program.
    Spit(dir / "text.txt", "TEXT");
    std::filesystem::create_symlink(dir / "text.txt", dir / "link.txt");
    r = Convert(dir, "basic -o '" + (dir / "link.txt") + "' '" + (dir / "text.txt") + "'");
    EXPECT_EQ(r.err, "tavrilo-convert: cannot write '" + (dir / "link.txt") + "': it is the text's own file\n");
    EXPECT_EQ(Slurp(dir / "text.txt"), "TEXT");

    r = Convert(dir, "basic", "TEXT", "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot write '-': No space left on device\n");
}

// A wrong command line is named as getopt names it, then where to read more.
TEST(Convert, Usage) {
    TempDir dir;
    const std::string more = "Try 'tavrilo-convert --help' for more information.\n";
    const struct {
        const char* args;
        const char* problem;
    } cases[] = {
        {"", "missing operand"},
        {"pascal x", "unknown command 'pascal'"},
        {"basic --small", "unrecognized option '--small'"},
        {"asm --bogus", "unrecognized option '--bogus'"},
        {"asm -x", "invalid option -- 'x'"},
        {"asm --small --show-page", "options '--small' and '--show-page' cannot be used together"},
        {"asm -o", "option requires an argument -- 'o'"},
        {"basic --83p", "option '--83p' requires an argument"},
        {"basic a b", "extra operand 'b'"},
        {"asm --scroll-up=0", "option '--scroll-up' doesn't allow an argument"},
        {"asm --show-page=no", "option '--show-page' doesn't allow an argument"},
        {"asm --small=false", "option '--small' doesn't allow an argument"},
        {"basic --raw=1", "option '--raw' doesn't allow an argument"},
        {"--bogus --version", "unrecognized option '--bogus'"},
        {"--version=3", "option '--version' doesn't allow an argument"},
        {"preview pascal -o d in.txt", "preview needs basic or asm"},
        {"send --timeout 1.5 a.8xp", "--timeout takes a whole number from 1 to 600, not '1.5'"},
        {"send --cable serial a.8xp", "--cable takes auto, usb, graylink or virtual, not 'serial'"},
        {"send --device '' a.8xp", "--device needs a serial port's path, such as /dev/ttyS0"},
        {"send --device= a.8xp", "option '--device' requires an argument"},
        {"send --timeout -5 a.8xp", "--timeout takes a whole number from 1 to 600, not '-5'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        Outcome r = Convert(dir, c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "tavrilo-convert: " + std::string(c.problem) + "\n" + more);
    }
    Outcome r = Convert(dir, "--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("tavrilo-convert 1.02\nLicense GPL-3.0-or-later", 0), 0u);
    r = Convert(dir, "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--scroll-up"), std::string::npos);
    EXPECT_EQ(Convert(dir, "asm --bogus --help").out, r.out);
    // Help and version that cannot be printed are failures, as the conversions' output is.
    for (const char* args : {"--help", "--version"}) {
        r = Convert(dir, args, "", "/dev/full");
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, "tavrilo-convert: cannot write '-': No space left on device\n") << args;
    }
}

// A Linux text's LF ends its lines; --raw reads the bytes as the Windows editor held them.
TEST(Convert, TextIsReadAsLinesUnlessRaw) {
    TempDir dir;
    Spit(dir / "notes.txt", "A\nB\nC");
    EXPECT_EQ(Convert(dir, "basic " + (dir / "notes.txt")).out, T2Basic("A\r\nB\r\nC") + "\n");
    EXPECT_EQ(Convert(dir, "basic --raw " + (dir / "notes.txt")).out, T2Basic("ABC") + "\n");
}

TEST(Convert, ProgramFiles) {
    TempDir dir;
    std::string tokens;
    ASSERT_TRUE(Tokenize(T2Basic(ChkBadChrs(kText)), tokens).ok());
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
        EXPECT_EQ(Slurp(out), test::FileOf(c.kind, "HELLO2", tokens, "Tavrilo 1.02, tavrilo-convert"));
        test::Read back = test::ReadBack(out);
        ASSERT_EQ(back.status, 0);
        EXPECT_EQ(back.model, c.model);
        EXPECT_EQ(back.name, "HELLO2");
        EXPECT_EQ(back.comment, "Tavrilo 1.02, tavrilo-convert");
        EXPECT_EQ(back.computed, back.stored);
    }
}

TEST(Convert, CeProgramFileSaysWhatWasLeftOut) {
    TempDir dir;
    const std::string out = dir / "ce.8xp";
    const Outcome r = Convert(dir, "basic --ce CAFE -o '" + out + "'", kText);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "tavrilo-convert: 1 character the TI-84 Plus CE cannot show was left out\n");
    const test::Read back = test::ReadBack(out);
    EXPECT_EQ(back.name, "CAFE");
    EXPECT_EQ(back.version, 0x0A);
    // A character Windows-1252 lacks is left out too, and counted once with the others.
    EXPECT_EQ(Convert(dir, "basic --ce CAFE -o '" + out + "'", "a\xe2\x86\x92" "b\xe2\x82\xac" "c").err,
              "tavrilo-convert: 2 characters the TI-84 Plus CE cannot show were left out\n");
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
    for (const char* args : {"basic --83p A", "asm --83p A --8xp B -o x", "basic --83p A --8xp B -o x",
                             "basic --8xp", "asm --83p A", "asm --83p a -o x"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(Convert(dir, args, "HI").status, 2);
    }

    // About 7,000 rows make more than 65,535 bytes of tokens.
    std::string book;
    for (int i = 0; i < 7000; ++i) book += "ROW\r\n";
    std::string tokens;
    ASSERT_TRUE(Tokenize(T2Basic(book), tokens).ok());
    Outcome r = Convert(dir, "basic --83p BOOK -o '" + out + "'", book);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot make '" + out + "': " +
                         CheckSize(CalcKind::Ti83, tokens.size()).message + "\n");
    EXPECT_NE(r.err.find(Grouped(tokens.size())), std::string::npos);
    EXPECT_NE(r.err.find("65,535"), std::string::npos);

    r = Convert(dir, "basic --8xp BOOK -o '" + (dir / "none/p.8xp") + "'", "HI");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Slurp(out), "old");
    // Not to a terminal: there the program's output is the terminal's, as script(1) shows it.
    Spit(dir / "hi.txt", "HI");
    for (const char* to : {"-", "/dev/tty"}) {
        r = RunShell(dir, "timeout 10 script -qec \"",
                     std::string("basic --8xp A -o ") + to + " '" + (dir / "hi.txt") + "'\" /dev/null", "", "");
        EXPECT_EQ(r.status, 1) << to;
        EXPECT_NE(r.out.find("a program file is not written to a terminal"), std::string::npos) << r.out;
    }
    std::filesystem::remove(dir / "hi.txt");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

mode_t TypeOf(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & S_IFMT;
}

TEST(Convert, DevicesPipesAndLinksAreWrittenThrough) {
    TempDir dir;
    // A pipe named by a link of /proc, as /dev/stdout is.
    Spit(dir / "in.txt", "abc");
    std::string cmd = Quoted(TAVRILO_CONVERT) + " basic -o /proc/self/fd/1 " + Quoted(dir / "in.txt") +
                      " | cat >" + Quoted(dir / "piped");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(Slurp(dir / "piped"), T2Basic("ABC") + "\n");

    std::filesystem::create_symlink("made.txt", dir / "link");
    EXPECT_EQ(Convert(dir, "basic -o " + Quoted(dir / "link"), "abc").status, 0);
    EXPECT_EQ(TypeOf(dir / "link"), S_IFLNK);
    EXPECT_EQ(Slurp(dir / "made.txt"), T2Basic("ABC") + "\n");

    // A FIFO is waited on until its reader comes, as a shell's redirection waits.
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    cmd = "(" + Quoted(TAVRILO_CONVERT) + " basic -o " + Quoted(dir / "fifo") + " " + Quoted(dir / "in.txt") +
          "; echo $? >" + Quoted(dir / "status") + ") & sleep 0.3; timeout 10 cat " + Quoted(dir / "fifo") + " >" +
          Quoted(dir / "read") + "; wait";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(Slurp(dir / "read"), T2Basic("ABC") + "\n");
    EXPECT_EQ(Slurp(dir / "status"), "0\n");
    EXPECT_EQ(TypeOf(dir / "fifo"), S_IFIFO);
    for (const char* name : {"fifo", "read", "status"}) std::filesystem::remove(dir / name);

    const std::string null = dir / "null", full = dir / "full";
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make device nodes here";
    Outcome r = Convert(dir, "asm -o " + Quoted(null), kText);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, std::string(kQuoteWarning) + "\n");
    r = Convert(dir, "basic -o " + Quoted(full), kText);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot write '" + full + "': No space left on device\n");
    EXPECT_EQ(TypeOf(null), S_IFCHR);
    EXPECT_EQ(TypeOf(full), S_IFCHR);
    EXPECT_EQ(EntryCount(dir.path()), 6u);  // in.txt, piped, link, made.txt, null, full
}

// Names of descriptors already open are written where they stand: a log the
// shell appends to keeps what it had, and what the shell writes after follows.
TEST(Convert, DescriptorNamesAreWrittenWhereTheyStand) {
    TempDir dir;
    Spit(dir / "in.txt", "abc");
    const std::string program = T2Basic("ABC") + "\n";
    const std::string conv = Quoted(TAVRILO_CONVERT) + " basic " + Quoted(dir / "in.txt");
    const std::string log = Quoted(dir / "log");
    for (const std::string& redirect :
         {"-o /dev/stdout >>" + log, "-o - >>" + log, "-o /dev/stderr 2>>" + log,
          "-o /dev/fd/3 3>>" + log, "-o /proc/self/fd/3 3>>" + log}) {
        SCOPED_TRACE(redirect);
        Spit(dir / "log", "earlier\n");
        const std::string cmd = "(" + conv + " " + redirect + " && echo after >>" + log + ")";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(Slurp(dir / "log"), "earlier\n" + program + "after\n");
    }
    EXPECT_EQ(EntryCount(dir.path()), 2u);  // in.txt and log: no file named '-'
    // Closed, or open for reading only: refused before the conversion.
    for (const std::string& fd : {std::string("7"), "0 <" + Quoted(dir / "in.txt")}) {
        const std::string cmd = conv + " -o /dev/fd/" + fd + " 2>" + Quoted(dir / "err");
        EXPECT_NE(std::system(cmd.c_str()), 0) << fd;
        EXPECT_EQ(Slurp(dir / "err"), "tavrilo-convert: cannot write '/dev/fd/" + fd.substr(0, 1) +
                                          "': Bad file descriptor\n");
    }
    std::filesystem::remove(dir / "err");
}

TEST(Convert, FolderIsSyncedAfterTheRename) {
    if (std::system("command -v strace >/dev/null") != 0) GTEST_SKIP() << "no strace";
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    Outcome r = RunShell(dir, "strace -o " + Quoted(dir / "trace") +
                             " -e trace=openat,fsync,rename,renameat,renameat2 ",
                    "basic -o " + Quoted(dir / "sub/out.txt"), "abc", "");
    ASSERT_EQ(r.status, 0);
    // After the rename: the folder opened as fd N, then fsync(N).
    std::istringstream trace(Slurp(dir / "trace"));
    std::string line, fd;
    bool renamed = false, synced = false;
    while (std::getline(trace, line)) {
        if (line.find("rename") != std::string::npos && line.find("sub/out.txt") != std::string::npos)
            renamed = true;
        const std::string opened = "\"" + (dir / "sub") + "\", O_RDONLY";
        if (renamed && line.find(opened) != std::string::npos && line.find("O_DIRECTORY") != std::string::npos)
            fd = line.substr(line.rfind("= ") + 2);
        if (!fd.empty() && line.rfind("fsync(" + fd + ")", 0) == 0) synced = true;
    }
    EXPECT_TRUE(renamed);
    EXPECT_TRUE(synced) << Slurp(dir / "trace");
}

TEST(Convert, OutOfMemoryIsReportedAndLeavesNothing) {
    TempDir dir;
    Outcome r = ConvertWithin(dir, 100000, "basic /dev/zero");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot convert '/dev/zero': out of memory\n");

    Spit(dir / "sparse", "");
    std::filesystem::resize_file(dir / "sparse", std::uintmax_t(1) << 40);
    r = ConvertWithin(dir, 100000, "asm -o " + Quoted(dir / "out.asm") + " " + Quoted(dir / "sparse"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavrilo-convert: cannot convert '" + (dir / "sparse") + "': out of memory\n");

    EXPECT_EQ(EntryCount(dir.path()), 1u);  // sparse: no temporary file
}

// The assembly source of a book is written as it is made: beside the book's
// 32 MiB it needs no more than a few MiB.
TEST(Convert, AsmOfABookFitsBesideTheBook) {
    TempDir dir;
    const std::string book = std::string(32 << 20, 'A');
    Spit(dir / "book.txt", book);
    long start = 8 << 10;  // what it starts with, to 4 MiB: its libraries, the link's with ICU's data among them
    while (start < (1 << 20) && ConvertWithin(dir, start, "--version").status != 0) start += 4 << 10;
    const Outcome r =
        ConvertWithin(dir, start + ((32 + 16) << 10), "asm -o " + Quoted(dir / "out.asm") + " " + Quoted(dir / "book.txt"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    struct Counter : LineSink {
        std::uintmax_t bytes = 0;
        void Line(std::string_view l) override { bytes += l.size() + 2; }
    } counter;
    StreamAsm(book, AsmOpts{}, counter);
    EXPECT_EQ(std::filesystem::file_size(dir / "out.asm"), counter.bytes);
    EXPECT_EQ(EntryCount(dir.path()), 2u);
}

TEST(Convert, OversizedProgramIsRefusedBeforeItIsBuilt) {
    TempDir dir;
    std::string book;
    for (int i = 0; i < (8 << 20); ++i) book += "ROW\r\n";
    Spit(dir / "book.txt", book);
    // Building the program would take several times the book's 40 MiB.
    Outcome r = ConvertWithin(dir, 100000, "basic --8xp BOOK -o " + Quoted(dir / "p.8xp") + " " +
                                               Quoted(dir / "book.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("tavrilo-convert: cannot make '" + (dir / "p.8xp") + "': the program is ", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find("65,535"), std::string::npos);
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(Convert, StandardInputIsReadWhereItStands) {
    TempDir dir;
    // dd takes the first six bytes of the shared descriptor.
    Spit(dir / "in.txt", "SKIPMEkeep");
    std::string cmd = "{ dd bs=6 count=1 of=/dev/null 2>/dev/null; " + Quoted(TAVRILO_CONVERT) +
                      " basic; } <" + Quoted(dir / "in.txt") + " >" + Quoted(dir / "out");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(Slurp(dir / "out"), T2Basic("KEEP") + "\n");

    // A socket cannot be opened again by name.
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    const std::string out = dir / "from_socket";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(sv[1], 0);
        int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        ::close(sv[0]);
        execl(TAVRILO_CONVERT, "tavrilo-convert", "basic", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(sv[1]);
    ASSERT_EQ(::write(sv[0], "by socket", 9), 9);
    shutdown(sv[0], SHUT_WR);
    int status = 0;
    waitpid(pid, &status, 0);
    ::close(sv[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Slurp(out), T2Basic("BY SOCKET") + "\n");
}

TEST(Convert, AsmProgramFiles) {
    TempDir dir;
    const std::string out = dir / "say.83p";
    const std::string text = "SAY \"HI\"\r\nC:\\";
    Outcome r = Convert(dir, "asm --small --83p SAY -o '" + out + "'", text);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    const AsmOpts small{false, false, false};
    EXPECT_EQ(Slurp(out), test::AsmFileOf("SAY", test::AsmTokensOf(text, small), "Tavrilo 1.02, tavrilo-convert"));
    test::Read back = test::ReadBack(out);
    ASSERT_EQ(back.status, 0);
    EXPECT_EQ(back.model, CALC_TI83);
    EXPECT_EQ(back.type, 0x06);
    EXPECT_EQ(back.name, "SAY");
    EXPECT_EQ(back.computed, back.stored);
    // The layout flags reach the program.
    r = Convert(dir, "asm --83p SAY -o '" + out + "'", text);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Slurp(out), test::AsmFileOf("SAY", test::AsmTokensOf(text, AsmOpts{}), "Tavrilo 1.02, tavrilo-convert"));
    // The TI-83 Plus program, and its refusal of a text whose code would pass C000h.
    const std::string plus = dir / "say.8xp";
    const std::string plusFile = test::AsmFileOf("SAY", test::AsmTokensOf(text, small, CalcKind::Ti83Plus),
                                                 "Tavrilo 1.02, tavrilo-convert", CalcKind::Ti83Plus);
    r = Convert(dir, "asm --small --8xp SAY -o '" + plus + "'", text);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Slurp(plus), plusFile);
    r = Convert(dir, "asm --8xp SAY -o '" + plus + "'", test::Repeat("ROW\r\n", 400));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("tavrilo-convert: cannot make '" + plus + "': the program needs ", 0), 0u) << r.err;
    EXPECT_EQ(Slurp(plus), plusFile);
    std::filesystem::remove(plus);

    // Failures leave the old file and nothing else.
    Spit(out, "old");
    r = Convert(dir, "asm --83p BIG -o '" + out + "'", std::string(40000, 'A'));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("tavrilo-convert: cannot make '" + out + "': the text shows 40,000 bytes", 0), 0u) << r.err;
    r = Convert(dir, "asm --83p SAY -o '" + out + "'", text, "", "PATH=/nonexistent");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("z80-unknown-coff-as was not found on PATH; install the Debian package binutils-z80"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Slurp(out), "old");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

}  // namespace
}  // namespace tavrilo

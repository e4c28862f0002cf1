// SPDX-License-Identifier: GPL-3.0-or-later
// Assembly programs built with GNU as and written as .83p files of hex digits,
// read back with libtifiles; the tools missing or failing.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include <cstdio>
#include <cstdlib>

#include "../core/calc_files.h"
#include "../core/temp_dir.h"
#include "tavrilo/calc/asm_build.h"
#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/calc/program_file.h"
#include "tavrilo/system/tool_run.h"
#include "ti_reader.h"

namespace tavrilo {
namespace {

using test::TempDir;

// Sets an environment variable for one scope.
class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvGuard() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    std::string old_;
};

std::string Source(const std::string& body) {
    return "#include \"ti83asm.inc\"\r\n#include \"tokens.inc\"\r\n.org $9327\r\n" + body + "\r\n.end\r\n";
}

std::string BuildError(std::string_view source) {
    std::string code;
    return AssembleSource(source, CalcKind::Ti83, code).message;
}

bool Builds(std::string_view text) {
    std::string code;
    return AssembleText(text, AsmOpts{}, CalcKind::Ti83, code).ok();
}

void Script(const std::string& path, const std::string& body) {
    test::Spit(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
}

TEST(AsmBuild, MachineCodeHoldsEveryByteAndTheRealAddresses) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        if (c != '\r' && c != '\n') all += static_cast<char>(c);
    std::string code;
    ASSERT_TRUE(AssembleSource(
        Source("\tld hl,_ClrLCDFull\r\n\tld hl,_runIndicOff\r\n\tld hl,_vputs\r\n\tld hl,_getkey\r\n"
               "\tld hl,_iline\r\n\tld hl,pencol\r\n\tld hl,penrow\r\ns:\r\n\t.db \"" + all + "\",0\r\n"
               "\t.db \"\",0\r\n\t.db \"\\\"\",0"),
        CalcKind::Ti83, code).ok());
    const std::string loads("\x21\x55\x47\x21\x95\x47\x21\x81\x47\x21\xFE\x4C\x21\xE4\x4A\x21\x52\x82\x21\x53\x82", 21);
    EXPECT_EQ(code, loads + all + std::string("\0\0\\\"\0", 5));
}

TEST(AsmBuild, MissingToolsNameThePackage) {
    TempDir empty;
    {
        EnvGuard path("PATH", empty.path());
        const std::string e = BuildError(Source("\tret"));
        EXPECT_NE(e.find("z80-unknown-coff-as was not found on PATH"), std::string::npos) << e;
        EXPECT_NE(e.find("binutils-z80"), std::string::npos) << e;
    }
    // The assembler alone is there: the linker is named.
    const std::string as = FindOnPath("z80-unknown-coff-as");
    ASSERT_FALSE(as.empty());
    ASSERT_EQ(symlink(as.c_str(), (empty / "z80-unknown-coff-as").c_str()), 0);
    EnvGuard path("PATH", empty.path());
    const std::string e = BuildError(Source("\tret"));
    EXPECT_NE(e.find("z80-unknown-coff-ld was not found"), std::string::npos) << e;
}

TEST(AsmBuild, FailingToolsCarryTheirOutput) {
    // The real assembler on a bad line.
    std::string e = BuildError(Source("\tld q,1"));
    EXPECT_NE(e.find("z80-unknown-coff-as failed with status 1"), std::string::npos) << e;
    EXPECT_NE(e.find("Error"), std::string::npos) << e;
    // A label never defined fails the link.
    e = BuildError(Source("\tjp jimp9"));
    EXPECT_NE(e.find("z80-unknown-coff-ld failed"), std::string::npos) << e;
    EXPECT_NE(e.find("jimp9"), std::string::npos) << e;

    // A tool that fails with its own words, ahead of the real ones on PATH.
    TempDir bin;
    Script(bin / "z80-unknown-coff-objcopy", "echo 'objcopy: no room on \"disk\"' >&2; exit 3");
    EnvGuard path("PATH", bin.path() + ":" + std::getenv("PATH"));
    e = BuildError(Source("\tret"));
    EXPECT_NE(e.find("z80-unknown-coff-objcopy failed with status 3:\nobjcopy: no room on \"disk\""),
              std::string::npos)
        << e;
}

TEST(AsmBuild, TemporaryFilesAreRemoved) {
    TempDir tmp;
    EnvGuard env("TMPDIR", tmp.path());
    EXPECT_TRUE(Builds("HI"));
    EXPECT_NE(BuildError(Source("\tld q,1")), "");
    // The tools ask for their arguments: the text of a row never reaches a shell.
    EXPECT_TRUE(Builds("$(touch x) `touch y`; '\""));
    EXPECT_EQ(test::EntryCount(tmp.path()), 0u);
}

TEST(AsmBuild, SignalKillsTheToolAndRemovesTheFolder) {
    TempDir tmp, bin, pids;
    // An assembler that hangs: it leaves a file of its own in the build folder
    // (as objcopy leaves its temporary file) and its process number, and waits.
    Script(bin / "z80-unknown-coff-as",
           ": > stray.tmp; echo $$ > '" + (pids / "as.pid") + "'; exec sleep 30");
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(sig);
        std::remove((pids / "as.pid").c_str());
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            setenv("TMPDIR", tmp.path().c_str(), 1);
            setenv("PATH", (bin.path() + ":" + std::getenv("PATH")).c_str(), 1);
            for (int s : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) signal(s, SIG_DFL);
            struct rlimit noCore = {0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            Builds("SECRET TEXT");
            _exit(0);
        }
        std::string pid;
        for (int i = 0; i < 500 && pid.empty(); ++i) {
            usleep(10000);
            pid = test::Slurp(pids / "as.pid");
        }
        ASSERT_FALSE(pid.empty()) << "the assembler never started";
        ASSERT_EQ(test::EntryCount(tmp.path()), 1u);
        kill(child, sig);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(test::EntryCount(tmp.path()), 0u) << "the build folder, with the text, is left";
        EXPECT_NE(kill(std::stoi(pid), 0), 0) << "the assembler still runs";
    }
}

TEST(AsmBuild, RelativePathEntriesAreFound) {
    TempDir work;
    ASSERT_EQ(mkdir((work / "rel").c_str(), 0755), 0);
    for (const char* tool : {"z80-unknown-coff-as", "z80-unknown-coff-ld", "z80-unknown-coff-objcopy"}) {
        const std::string real = FindOnPath(tool);
        ASSERT_FALSE(real.empty());
        ASSERT_EQ(symlink(real.c_str(), (work / "rel/" + std::string(tool)).c_str()), 0);
    }
    const std::string before = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(work.path().c_str()), 0);
    {
        EnvGuard path("PATH", "rel");
        EXPECT_EQ(FindOnPath("z80-unknown-coff-as"), work.path() + "/rel/z80-unknown-coff-as");
        EXPECT_TRUE(Builds("HI"));
    }
    ASSERT_EQ(chdir(before.c_str()), 0);
}

std::string Hex(const std::string& code) {
    std::string out;
    char pair[3];
    for (unsigned char b : code) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        out += pair;
    }
    return out;
}

TEST(AsmProgramFile, ReadsBackAsAProtectedProgramOfHexDigits) {
    TempDir dir;
    const std::string text = "SAY \"HI\"\r\nC:\\\r\n\xe9";
    const AsmOpts opts{true, false, true};
    std::string code;
    ASSERT_TRUE(AssembleText(text, opts, CalcKind::Ti83, code).ok());
    const std::string tokens = test::AsmTokensOf(text, opts);
    const std::string want = Hex(code) + std::string("\x3F\xD4\x3F\x30\x30\x30\x30\x3F\xD4", 9);
    ASSERT_EQ(tokens, want);
    test::Spit(dir / "SAY.83p", test::AsmFileOf("SAY", tokens, "a comment"));

    const test::Read r = test::ReadBack(dir / "SAY.83p");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.model, CALC_TI83);
    EXPECT_EQ(r.name, "SAY");
    EXPECT_EQ(r.type, 0x06);
    EXPECT_EQ(r.comment, "a comment");
    const std::string count{static_cast<char>(want.size() & 0xFF), static_cast<char>(want.size() >> 8)};
    EXPECT_EQ(r.data, count + want);
    EXPECT_EQ(r.computed, r.stored);
}

TEST(AsmProgramFile, Ti83PlusReadsBackAsAProtectedProgramOfMachineCode) {
    TempDir dir;
    const std::string text = "SAY \"HI\"\r\nC:\\";
    std::string program;
    ASSERT_TRUE(AssembleText(text, AsmOpts{}, CalcKind::Ti83Plus, program).ok());
    EXPECT_EQ(test::AsmTokensOf(text, AsmOpts{}, CalcKind::Ti83Plus), program);
    test::Spit(dir / "SAY.8xp", test::AsmFileOf("SAY", program, "a comment", CalcKind::Ti83Plus));

    const test::Read r = test::ReadBack(dir / "SAY.8xp");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.model, CALC_TI83P);
    EXPECT_EQ(r.name, "SAY");
    EXPECT_EQ(r.type, 0x06);
    const std::string count{static_cast<char>(program.size() & 0xFF), static_cast<char>(program.size() >> 8)};
    EXPECT_EQ(r.data.substr(0, 4), count + "\xBB\x6D");
    EXPECT_EQ(r.data, count + program);
    EXPECT_EQ(r.computed, r.stored);

    // Far too many rows: refused from the text alone, before anything is built.
    EnvGuard path("PATH", dir.path());
    EXPECT_EQ(test::AsmTokensOf(std::string(1000, '\r'), AsmOpts{}, CalcKind::Ti83Plus)
                  .rfind("failed: the program needs at least ", 0), 0u);
}

std::string LengthError(std::string_view text) {
    std::string tokens;
    return AsmProgramTokens(text, AsmOpts{}, CalcKind::Ti83, tokens).message;
}

TEST(AsmProgramFile, SizeLimits) {
    TempDir empty;
    {
        // Far too large: refused from the text alone, before anything is built.
        EnvGuard path("PATH", empty.path());
        EXPECT_NE(LengthError(std::string(40000, 'A')).find("at least 80,009 bytes of tokens (80,026 bytes of file data); "
                                                          "the .83p format holds at most 65,535 bytes of file data"),
                  std::string::npos);
        std::string rows;
        for (int i = 0; i < 1400; ++i) rows += "ROW OF TEXT\r\n";  // 15400 bytes shown
        EXPECT_EQ(LengthError(rows), "This text needs at least 42,000 bytes of machine code; a TI-83 program "
                                     "loaded at 9327h has room for 27,865. Use BASIC or a shorter text.");
        EXPECT_EQ(LengthError(std::string(30000, 'A')).rfind("This text needs at least 30,000 bytes", 0), 0u);
    }
    // Skipped line feeds are not shown, but every CR closes a row.
    EXPECT_FALSE(CheckAsmTextSize(std::string(2000, '\r'), CalcKind::Ti83).ok());
    EXPECT_TRUE(CheckAsmTextSize(std::string(20000, '\n') + "A", CalcKind::Ti83).ok());
    // Past the first bound, but past FFFFh once built.
    const std::string near(13800, 'B');
    EXPECT_TRUE(CheckAsmTextSize(near, CalcKind::Ti83).ok());
    EXPECT_NE(LengthError(near).find("the machine code runs past FFFFh"), std::string::npos) << LengthError(near);
    // Just fits.
    EXPECT_EQ(LengthError(std::string(12000, 'B')), "");
}

}  // namespace
}  // namespace tavrilo

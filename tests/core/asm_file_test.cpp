// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "helpers.h"
#include "tavrilo/convert/asm_file.h"
#include "temp_dir.h"

namespace tavrilo {
namespace {

using test::EntryCount;
using test::Slurp;
using test::Spit;
using test::TempDir;

TEST(OutputDir, AddsOneSeparator) {
    EXPECT_EQ(OutputDir("/opt/tavrilo"), "/opt/tavrilo/");
    EXPECT_EQ(OutputDir("/"), "/");
    EXPECT_EQ(OutputDir("/opt/tavrilo/"), "/opt/tavrilo/");
    EXPECT_EQ(FullName("/opt/t/", " my prog "), "/opt/t/ my prog ");
    EXPECT_EQ(FullName("/", "noname.asm"), "/noname.asm");
}

TEST(WriteAsmFile, WritesTheSourceWithCrLfLines) {
    TempDir dir;
    std::string text = "ONE\r\nTWO\r\nTHREE\r\nFOUR\r\nFIVE\r\nSIX\r\nSEVEN\r\nEIGHT\r\nNINE";
    LineStore store;
    std::string name = FullName(OutputDir(dir.path()), "noname.asm");
    Status r = WriteAsmFile(name, text, AsmOpts{}, store);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(Slurp(name), Slurp(std::string(TAVRILO_TEST_DATA) + "/nine_lines_all_flags.asm"));
    EXPECT_EQ(store.Count(), 26u);
    EXPECT_EQ(EntryCount(dir.path()), 1u);  // no temporary file left
}

TEST(WriteAsmFile, NamesAreTakenAsTyped) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    LineStore store;
    ASSERT_TRUE(WriteAsmFile(dir / "sub/prog", "X", AsmOpts{}, store).ok());
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "sub/prog"));
    ASSERT_TRUE(WriteAsmFile(dir / " spaced ", "X", AsmOpts{}, store).ok());
    EXPECT_TRUE(std::filesystem::exists(dir / " spaced "));
    ASSERT_TRUE(WriteAsmFile(dir / "*.asm", "X", AsmOpts{}, store).ok());
    EXPECT_TRUE(std::filesystem::exists(dir / "*.asm"));
}

TEST(WriteAsmFile, ReplacesAnExistingFile) {
    TempDir dir;
    Spit(dir / "a.asm", std::string(100000, 'z'));
    LineStore store;
    ASSERT_TRUE(WriteAsmFile(dir / "a.asm", "HI", AsmOpts{false, false, false}, store).ok());
    std::string now = Slurp(dir / "a.asm");
    EXPECT_EQ(now.find('z'), std::string::npos);
    EXPECT_EQ(now.substr(now.size() - 6), ".end\r\n");
}

TEST(WriteAsmFile, FailuresAreReportedAndTouchNothing) {
    TempDir dir;
    Spit(dir / "plain", "keep");
    std::filesystem::create_directory(dir / "taken");
    Spit(dir / "taken/inside", "keep too");
    LineStore store;

    Status r = WriteAsmFile(dir / "plain/x.asm", "X", AsmOpts{}, store);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.code, ENOTDIR);
    EXPECT_FALSE(r.message.empty());

    r = WriteAsmFile(dir / "taken", "X", AsmOpts{}, store);
    EXPECT_EQ(r.code, EISDIR);
    EXPECT_EQ(Slurp(dir / "taken/inside"), "keep too");

    r = WriteAsmFile(dir / "missing/x.asm", "X", AsmOpts{}, store);
    EXPECT_EQ(r.code, ENOENT);

    r = WriteAsmFile(dir / std::string(300, 'n'), "X", AsmOpts{}, store);
    EXPECT_EQ(r.code, ENAMETOOLONG);

    EXPECT_EQ(Slurp(dir / "plain"), "keep");
    EXPECT_EQ(EntryCount(dir.path()), 2u);

    // The window's writer does not wait for a reader of a FIFO.
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    alarm(10);  // a wait ends the test by SIGALRM
    r = WriteAsmFile(dir / "fifo", "X", AsmOpts{}, store);
    alarm(0);
    EXPECT_EQ(r.code, ENXIO);
    EXPECT_EQ(store.Count(), 0u);
}

TEST(WriteWholeFile, KeepsEveryByteAndWritesThroughLinks) {
    TempDir dir;
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    ASSERT_TRUE(WriteWholeFile(dir / "bytes", all).ok());
    std::string back;
    ASSERT_TRUE(ReadWholeFile(dir / "bytes", back).ok());
    EXPECT_EQ(back, all);

    std::filesystem::create_symlink("bytes", dir / "link");
    ASSERT_TRUE(WriteWholeFile(dir / "link", "new").ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(Slurp(dir / "bytes"), "new");

    EXPECT_EQ(ReadWholeFile(dir / "nothing", back).code, ENOENT);
    EXPECT_EQ(ReadWholeFile(dir.path(), back).code, EISDIR);
    EXPECT_EQ(back, all);  // a failed read leaves the buffer alone
}

}  // namespace
}  // namespace tavrilo

// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert send as a process, to a stand-in calculator on the virtual link.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include "../core/calc_files.h"
#include "../core/temp_dir.h"
#include "../link/calc_standin.h"

using namespace tavrilo;

namespace {

// tavrilo-convert send ARGS, its output in dir/out and dir/err; its exit
// status, the signal given sent to it after delayMs.
int SendAs(const test::TempDir& dir, const std::string& args, int signal = 0, int delayMs = 0) {
    const std::string command = std::string(TAVRILO_CONVERT) + " send --cable virtual " + args + " >" + (dir / "out") +
                                " 2>" + (dir / "err");
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (signal) {
        usleep(delayMs * 1000);
        kill(pid, signal);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

}  // namespace

TEST(Send, EachFileInOrderUntilTheFirstFailure) {
    test::TempDir dir;
    CalcStandIn calc(true);
    for (const char* name : {"ALPHA", "BETA"})
        test::Spit(dir / name, test::FileOf(CalcKind::Ti83Plus, name, std::string(2000, '\xDE'), ""));
    ASSERT_EQ(SendAs(dir, dir / "ALPHA " + dir / "BETA"), 0) << test::Slurp(dir / "err");
    const std::string out = test::Slurp(dir / "out");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    EXPECT_EQ(calc.Stored().at(0).name + calc.Stored().at(1).name, "ALPHABETA");

    // Every file is read before any is checked against the calculator.
    test::Spit(dir / "CE", test::FileOf(CalcKind::Ti84PlusCe, "CE", std::string(20, '\xDE'), ""));
    EXPECT_EQ(SendAs(dir, "--calc ti84p " + dir / "CE " + dir / "missing.8xp " + dir / "BETA"), 1);
    EXPECT_NE(test::Slurp(dir / "err").find("cannot read '" + dir / "missing.8xp'"), std::string::npos);
    EXPECT_EQ(calc.Stored().size(), 2u);
}

TEST(Send, EveryFileIsCheckedBeforeTheFirstIsSent) {
    test::TempDir dir;
    CalcStandIn calc(CalcStandIn::Usb::Ti84Plus);
    for (const char* name : {"ALPHA", "BETA"})
        test::Spit(dir / name, test::FileOf(CalcKind::Ti83Plus, name, std::string(20, '\xDE'), ""));
    test::Spit(dir / "OLD", test::FileOf(CalcKind::Ti83, "OLD", std::string(20, '\xDE'), ""));
    EXPECT_EQ(SendAs(dir, "--calc ti84p " + dir / "ALPHA " + dir / "BETA " + dir / "OLD"), 1);
    EXPECT_NE(test::Slurp(dir / "err").find("OLD is a program for the TI-83, and a TI-84 Plus is connected"),
              std::string::npos);
    EXPECT_TRUE(calc.Stored().empty());
    ASSERT_EQ(SendAs(dir, "--calc ti84p --archive " + dir / "ALPHA"), 0) << test::Slurp(dir / "err");
    EXPECT_TRUE(calc.Stored().at(0).archived);
    EXPECT_NE(test::Slurp(dir / "out").find("to Archive (unarchive it to run it)"), std::string::npos);
}

// A name in a file from elsewhere: its control bytes never reach the terminal.
TEST(Send, ANameWithControlBytesIsRefusedAndShownEscaped) {
    test::TempDir dir;
    CalcStandIn calc(true);
    std::string file = test::FileOf(CalcKind::Ti83Plus, "ABCD", std::string(20, '\xDE'), "");
    const std::size_t at = file.find("ABCD");
    file.replace(at, 4, "\x1B[2J");
    unsigned sum = 0;
    for (std::size_t i = 55; i + 2 < file.size(); ++i) sum += static_cast<unsigned char>(file[i]);
    file[file.size() - 2] = static_cast<char>(sum & 255), file[file.size() - 1] = static_cast<char>(sum >> 8 & 255);
    test::Spit(dir / "BAD", file);
    EXPECT_EQ(SendAs(dir, dir / "BAD"), 1);
    const std::string err = test::Slurp(dir / "err");
    EXPECT_NE(err.find("The program name \\x1B[2J has control characters"), std::string::npos) << err;
    EXPECT_EQ(err.find('\x1B'), std::string::npos);
    EXPECT_TRUE(calc.Stored().empty());
}

// The calculator stops reading part way, the time given is long: each signal
// ends the send within about a second, and the next send works.
TEST(Send, SignalsEndASendWithinASecondLeavingTheLinkReady) {
    test::TempDir dir;
    CalcStandIn calc(false);
    test::Spit(dir / "STORY", test::FileOf(CalcKind::Ti83, "STORY", std::string(9000, '\xDE'), ""));
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        calc.Set(CalcStandIn::Fault::CutAfter, 1000);
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(SendAs(dir, "--timeout 600 " + dir / "STORY", sig, 700), 128 + sig);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2200)) << sig;
        calc.Set(CalcStandIn::Fault::None);
        EXPECT_EQ(SendAs(dir, dir / "STORY"), 0) << test::Slurp(dir / "err");
    }
    EXPECT_EQ(calc.Stored().size(), 3u);
}

// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert send as a process, to a stand-in calculator on the virtual link.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "../core/calc_files.h"
#include "../core/temp_dir.h"
#include "../link/calc_standin.h"

using namespace tavrilo;

TEST(Send, EachFileInOrderUntilTheFirstFailure) {
    test::TempDir dir;
    CalcStandIn calc(true);
    const auto send = [&](const std::string& files) {
        return WEXITSTATUS(std::system((std::string(TAVRILO_CONVERT) + " send --cable virtual " + files + " >" +
                                        (dir / "out") + " 2>" + (dir / "err")).c_str()));
    };
    for (const char* name : {"ALPHA", "BETA"})
        test::Spit(dir / name, test::FileOf(CalcKind::Ti83Plus, name, std::string(2000, '\xDE'), ""));
    ASSERT_EQ(send(dir / "ALPHA " + dir / "BETA"), 0) << test::Slurp(dir / "err");
    const std::string out = test::Slurp(dir / "out");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    EXPECT_EQ(calc.Stored().at(0).name + calc.Stored().at(1).name, "ALPHABETA");

    EXPECT_EQ(send(dir / "missing.8xp " + dir / "BETA"), 1);
    EXPECT_NE(test::Slurp(dir / "err").find("cannot read '" + dir / "missing.8xp'"), std::string::npos);
    EXPECT_EQ(calc.Stored().size(), 2u);
}

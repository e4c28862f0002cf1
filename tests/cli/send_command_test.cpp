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
        const int raw = std::system((std::string(TAVRILO_CONVERT) + " send --cable virtual " + files + " >" +
                                     (dir / "out") + " 2>" + (dir / "err")).c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    test::Spit(dir / "a.8xp", test::FileOf(CalcKind::Ti83Plus, "ALPHA", std::string(100, '\xDE'), ""));
    test::Spit(dir / "b.8xp", test::FileOf(CalcKind::Ti83Plus, "BETA", std::string(2000, '\xDE'), ""));
    ASSERT_EQ(send(dir / "a.8xp " + dir / "b.8xp"), 0) << test::Slurp(dir / "err");
    const std::string out = test::Slurp(dir / "out");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    EXPECT_EQ(calc.Stored().at(0).name + calc.Stored().at(1).name, "ALPHABETA");

    EXPECT_EQ(send(dir / "missing.8xp " + dir / "b.8xp"), 1);
    EXPECT_NE(test::Slurp(dir / "err").find("cannot read '" + dir / "missing.8xp'"), std::string::npos);
    EXPECT_EQ(calc.Stored().size(), 2u);
}

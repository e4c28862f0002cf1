// tavrilo-convert send as a process, to a stand-in calculator on the virtual link.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "../core/temp_dir.h"
#include "../link/calc_standin.h"
#include "tavrilo/calc/program_file.h"

namespace tavrilo {
namespace {

using test::Slurp;
using test::Spit;
using test::TempDir;

int Send(const TempDir& dir, const std::string& files) {
    const std::string cmd = std::string("'") + TAVRILO_CONVERT + "' send --cable virtual " + files + " >'" +
                            (dir / "out") + "' 2>'" + (dir / "err") + "'";
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(Send, EachFileInOrderUntilTheFirstFailure) {
    TempDir dir;
    CalcStandIn calc(true);
    Spit(dir / "a.8xp", ProgramFile(CalcKind::Ti83Plus, "ALPHA", std::string(100, '\xDE'), ""));
    Spit(dir / "b.8xp", ProgramFile(CalcKind::Ti83Plus, "BETA", std::string(2000, '\xDE'), ""));
    const std::string a = "'" + (dir / "a.8xp") + "'", b = "'" + (dir / "b.8xp") + "'";
    ASSERT_EQ(Send(dir, a + " " + b), 0) << Slurp(dir / "err");
    const std::string out = Slurp(dir / "out");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    ASSERT_EQ(calc.Stored().size(), 2u);
    EXPECT_EQ(calc.Stored()[0].name, "ALPHA");
    EXPECT_EQ(calc.Stored()[1].name, "BETA");

    EXPECT_EQ(Send(dir, "'" + (dir / "missing.8xp") + "' " + b), 1);
    EXPECT_NE(Slurp(dir / "err").find("cannot read '" + (dir / "missing.8xp") + "'"), std::string::npos);
    EXPECT_EQ(calc.Stored().size(), 2u);
    EXPECT_EQ(Send(dir, ""), 2);
}

}  // namespace
}  // namespace tavrilo

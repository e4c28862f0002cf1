// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/system/tool_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <thread>

#include "temp_dir.h"

namespace tavrilo {
namespace {

using namespace std::chrono_literals;

std::string Script(const test::TempDir& dir, const std::string& body) {
    test::Spit(dir / "tool", "#!/bin/sh\n" + body);
    chmod((dir / "tool").c_str(), 0755);
    return dir / "tool";
}

// A tool that never ends is killed when its time runs out, or when another thread cancels it.
TEST(RunTool, AStuckToolIsKilledByItsTimeOrACancel) {
    test::TempDir bin;
    Script(bin, "exec /bin/sleep 60\n");
    setenv("PATH", (bin.path() + ":" + std::getenv("PATH")).c_str(), 1);
    for (const bool byCancel : {false, true}) {
        std::atomic<bool> cancel{false};
        std::thread user([&] {
            std::this_thread::sleep_for(1s);
            cancel = byCancel;
        });
        const PrivateTempDir dir;
        const auto start = std::chrono::steady_clock::now();
        std::string output;
        const Status r = RunTool(FindOnPath("tool"), {"tool"}, dir.path(), {byCancel ? 5min : 1s, &cancel}, output);
        user.join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
        EXPECT_TRUE(byCancel ? r.cancelled() : r.code == ETIME) << r.message;
    }
}

TEST(RunTool, ARelativeTmpdirStillRunsTheTool) {
    test::TempDir here;
    const std::string tool = Script(here, "echo hello\n");
    ASSERT_EQ(mkdir((here / "tmp").c_str(), 0700), 0);
    std::filesystem::current_path(here.path());
    setenv("TMPDIR", "tmp", 1);
    std::string output;
    const Status r = RunTool(tool, {"tool"}, PrivateTempDir().path(), {}, output);
    unsetenv("TMPDIR");
    std::filesystem::current_path("/");
    EXPECT_EQ(output, "hello\n") << r.message;
}

TEST(RunTool, KeepsOnlyTheEndOfTheOutputWithoutControlCharacters) {
    test::TempDir bin;
    const std::string tool = Script(bin, "/usr/bin/yes early | /usr/bin/head -c 999996\nprintf '\\033[2Jlast\\r\\n'\n");
    std::string out;
    EXPECT_TRUE(RunTool(tool, {"tool"}, PrivateTempDir().path(), {}, out).ok());
    EXPECT_LE(out.size(), kToolOutputKept + 64);
    EXPECT_EQ(out.substr(out.size() - 15), "\nearly\n[2Jlast\n");
}

}  // namespace
}  // namespace tavrilo

#include "tavrilo/system/tool_run.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "temp_dir.h"

namespace tavrilo {
namespace {

using std::chrono::milliseconds;

// A tool made of a shell script in dir, executable.
std::string Script(const test::TempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir / name;
    test::Spit(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
    return path;
}

// Sets an environment variable while it lives.
class EnvFor {
public:
    EnvFor(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvFor() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

bool Gone(const std::string& pidFile) {
    const int pid = std::atoi(test::Slurp(pidFile).c_str());
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

TEST(RunTool, AToolThatNeverEndsIsKilledWhenItsTimeRunsOut) {
    test::TempDir bin;
    Script(bin, "stuck-as", "echo $$ > pid\nexec /bin/sleep 60\n");
    const EnvFor path("PATH", bin.path() + ":" + std::getenv("PATH"));
    const PrivateTempDir dir;
    const auto start = std::chrono::steady_clock::now();
    const ToolResult r = RunTool(FindOnPath("stuck-as"), {"stuck-as"}, dir.path(), {milliseconds(300)});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(r.timedOut);
    EXPECT_TRUE(Gone(dir / "pid"));
}

TEST(RunTool, ACancelFromAnotherThreadStopsTheTool) {
    test::TempDir bin;
    const std::string tool = Script(bin, "stuck", "echo $$ > pid\nexec /bin/sleep 60\n");
    const PrivateTempDir dir;
    std::atomic<bool> cancel{false};
    std::thread user([&] {
        std::this_thread::sleep_for(milliseconds(200));
        cancel = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const ToolResult r = RunTool(tool, {"stuck"}, dir.path(), {std::chrono::minutes(5), &cancel});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    user.join();
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(Gone(dir / "pid"));
}

TEST(RunTool, ARelativeTmpdirStillRunsTheTool) {
    test::TempDir here;
    const std::string tool = Script(here, "hello", "echo hello\n");
    ASSERT_EQ(mkdir((here / "tmp").c_str(), 0700), 0);
    const std::string before = std::filesystem::current_path().string();
    std::filesystem::current_path(here.path());
    ToolResult r;
    {
        const EnvFor tmp("TMPDIR", "tmp");
        const PrivateTempDir dir;
        r = RunTool(tool, {"hello"}, dir.path());
    }
    std::filesystem::current_path(before);
    EXPECT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.output, "hello\n");
}

TEST(RunTool, KeepsOnlyTheEndOfTheOutputWithoutControlCharacters) {
    test::TempDir bin;
    const std::string tool =
        Script(bin, "noisy", "/usr/bin/yes 'early line' | /usr/bin/head -c 1000000\nprintf '\\033[2Jlast\\r\\n'\nexit 1\n");
    const PrivateTempDir dir;
    const ToolResult r = RunTool(tool, {"noisy"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_LE(r.output.size(), kToolOutputKept + 64);
    ASSERT_GE(r.output.size(), 8u);
    EXPECT_EQ(r.output.substr(r.output.size() - 8), "[2Jlast\n");
}

}  // namespace
}  // namespace tavrilo

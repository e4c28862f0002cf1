// SPDX-License-Identifier: GPL-3.0-or-later
// Outside programs run as child processes in a private temporary directory.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace tavrilo {

// A fresh directory only this process can enter, removed with everything in it.
// With removeOnSignal, when a signal ends the process (as for the file writer),
// the running tool is killed and the directory is removed with its files.
class PrivateTempDir {
public:
    // Throws std::system_error when none can be made.
    explicit PrivateTempDir(bool removeOnSignal = false);
    PrivateTempDir(const PrivateTempDir&) = delete;
    PrivateTempDir& operator=(const PrivateTempDir&) = delete;
    ~PrivateTempDir();

    // Always absolute, whatever TMPDIR holds.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    int watch_ = -1;
};

// The full path of program in a directory of PATH, or "" when none holds it.
std::string FindOnPath(const std::string& program);

// How long a tool may run, and a flag that another thread may set to stop it.
struct ToolLimits {
    std::chrono::milliseconds time{60000};
    const std::atomic<bool>* cancel = nullptr;
};

struct ToolResult {
    bool started = false;    // false: the program could not be run at all
    int status = -1;         // exit status, or -1 when it did not exit normally
    bool timedOut = false;   // killed when its time ran out
    bool cancelled = false;  // killed because the cancel flag was set
    std::string output;      // the end of standard output and error, control characters left out
    std::string error;       // why it could not be started
};

// The most of a tool's output that ToolResult keeps: its last lines.
inline constexpr std::size_t kToolOutputKept = 4096;

// Runs the program at path with argv (argv[0] included) in dir, without a
// shell, standard input from /dev/null, and waits for it, killing it when
// limits say so. Its output goes to dir/.tool-output while it runs.
ToolResult RunTool(const std::string& path, const std::vector<std::string>& argv,
                   const std::string& dir, const ToolLimits& limits = {});

}  // namespace tavrilo

// SPDX-License-Identifier: GPL-3.0-or-later
// Outside programs run as child processes in a private temporary directory.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "tavrilo/system/status.h"

namespace tavrilo {

// A fresh directory only this process can enter, removed with everything in it.
// With removeOnSignal, when a signal ends the process (as for the file writer),
// the running tool is killed and the directory is removed with its files.
class PrivateTempDir {
public:
    // Made() says whether it could be made.
    explicit PrivateTempDir(bool removeOnSignal = false);
    PrivateTempDir(const PrivateTempDir&) = delete;
    PrivateTempDir& operator=(const PrivateTempDir&) = delete;
    ~PrivateTempDir();

    const Status& Made() const { return made_; }
    // Always absolute, whatever TMPDIR holds.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    int watch_ = -1;
    Status made_;
};

// The full path of program in a directory of PATH, or "" when none holds it.
std::string FindOnPath(const std::string& program);

// How long a tool may run, and a flag that another thread may set to stop it.
struct ToolLimits {
    std::chrono::milliseconds time{60000};
    const std::atomic<bool>* cancel = nullptr;
};

// The most of a tool's output that RunTool keeps: its last lines.
inline constexpr std::size_t kToolOutputKept = 4096;

// Runs the program at path with argv (argv[0] included) in dir, without a
// shell, standard input from /dev/null, and waits for it, killing it when
// limits say so; output gets the end of its standard output and error,
// control characters left out (it goes to dir/.tool-output while it runs).
// Fails when it could not be started ("could not be started: " and the
// system's error, with its number), when limits stopped it
// (Status::Cancelled(), or ETIME "was stopped: it ran longer than N s"), or
// when it did not exit with status 0 ("failed with status N", "failed (killed)").
[[nodiscard]] Status RunTool(const std::string& path, const std::vector<std::string>& argv, const std::string& dir,
                             const ToolLimits& limits, std::string& output);

}  // namespace tavrilo

// SPDX-License-Identifier: GPL-3.0-or-later
// Temporary files that are removed when SIGINT, SIGTERM, SIGHUP, SIGQUIT or
// SIGXFSZ (a file size limit) ends the process.
#pragma once

#include <signal.h>
#include <sys/types.h>

namespace tavrilo::detail {

// Starts watching path; returns a handle for UnwatchTemp, or -1 when the
// path cannot be watched (all slots taken, or too long).
int WatchTemp(const char* path);
// The same for a directory: every file in it is removed, then the directory
// itself, after the watched files.
int WatchTempDir(const char* dir);
void UnwatchTemp(int handle);

// A child process that is killed with its process group, which it leads, and
// reaped before the files are removed; 0 for none. Used while a watched directory exists.
void WatchChild(pid_t pid);

// Holds those signals back while it lives (in the calling thread).
class HoldSignals {
public:
    HoldSignals();
    ~HoldSignals();
    const sigset_t& Before() const { return old_; }  // the mask to give back
    HoldSignals(const HoldSignals&) = delete;
    HoldSignals& operator=(const HoldSignals&) = delete;

private:
    sigset_t old_;
};

}  // namespace tavrilo::detail

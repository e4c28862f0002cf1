// Temporary files that are removed when SIGINT, SIGTERM or SIGHUP ends the process.
#pragma once

#include <signal.h>

namespace tavrilo::detail {

// Starts watching path; returns a handle for UnwatchTemp, or -1 when the
// path cannot be watched (all slots taken, or too long).
int WatchTemp(const char* path);
void UnwatchTemp(int handle);

// Holds the three signals back while it lives (in the calling thread).
class HoldSignals {
public:
    HoldSignals();
    ~HoldSignals();
    HoldSignals(const HoldSignals&) = delete;
    HoldSignals& operator=(const HoldSignals&) = delete;

private:
    sigset_t old_;
};

}  // namespace tavrilo::detail

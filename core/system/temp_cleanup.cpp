// SPDX-License-Identifier: GPL-3.0-or-later
#include "temp_cleanup.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace tavrilo::detail {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ};
constexpr int kSignalCount = sizeof kSignals / sizeof *kSignals;
constexpr int kSlots = 8;

struct Slot {
    volatile sig_atomic_t used;
    bool dir;  // a directory, removed with whatever is in it
    char path[PATH_MAX];
};

Slot gSlots[kSlots];
struct sigaction gOld[kSignalCount];
bool gInstalled[kSignalCount];
int gWatched = 0;
volatile sig_atomic_t gChild = 0;
std::mutex gMutex;

// Removes the files in dir. Reads the entries with the bare getdents64
// system call, which takes no lock, unlike readdir.
void RemoveEntries(int dir) {
    alignas(8) char buf[4096];
    for (;;) {
        const long n = syscall(SYS_getdents64, dir, buf, sizeof buf);
        if (n <= 0) return;
        for (long at = 0; at < n;) {
            struct Entry {
                std::uint64_t ino;
                std::int64_t off;
                unsigned short reclen;
                unsigned char type;
                char name[1];
            };
            const auto* e = reinterpret_cast<const Entry*>(buf + at);
            const bool dot = e->name[0] == '.' && (e->name[1] == 0 || (e->name[1] == '.' && e->name[2] == 0));
            if (!dot) unlinkat(dir, e->name, 0);
            at += e->reclen;
        }
    }
}

// Only async-signal-safe calls: kill, waitpid, open, close, unlink, unlinkat,
// rmdir, sigaction, sigprocmask, raise, and the getdents64 system call.
extern "C" void RemoveTempsAndRaise(int sig) {
    // A running tool would outlive its time limit and write on into its folder.
    const pid_t child = gChild;
    if (child > 0) {
        kill(-child, SIGKILL);  // the tool leads a group of its own
        waitpid(child, nullptr, 0);
    }
    for (Slot& s : gSlots)
        if (s.used && !s.dir) unlink(s.path);
    for (Slot& s : gSlots) {
        if (!s.used || !s.dir) continue;
        const int dir = open(s.path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            RemoveEntries(dir);
            close(dir);
        }
        rmdir(s.path);
    }
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}

// A signal that is ignored, or caught by someone else, is left alone.
void Install() {
    for (int i = 0; i < kSignalCount; ++i) {
        gInstalled[i] = false;
        if (sigaction(kSignals[i], nullptr, &gOld[i]) != 0) continue;
        if ((gOld[i].sa_flags & SA_SIGINFO) || gOld[i].sa_handler != SIG_DFL) continue;
        struct sigaction ours {};
        ours.sa_handler = RemoveTempsAndRaise;
        sigemptyset(&ours.sa_mask);
        for (int s : kSignals) sigaddset(&ours.sa_mask, s);
        gInstalled[i] = sigaction(kSignals[i], &ours, nullptr) == 0;
    }
}

void Restore() {
    for (int i = 0; i < kSignalCount; ++i)
        if (gInstalled[i]) sigaction(kSignals[i], &gOld[i], nullptr);
}

}  // namespace

HoldSignals::HoldSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
}

HoldSignals::~HoldSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

namespace {

int Watch(const char* path, bool dir) {
    const std::size_t len = std::strlen(path);
    if (len >= PATH_MAX) return -1;
    std::lock_guard<std::mutex> lock(gMutex);
    HoldSignals hold;
    for (int i = 0; i < kSlots; ++i) {
        if (gSlots[i].used) continue;
        std::memcpy(gSlots[i].path, path, len + 1);
        gSlots[i].dir = dir;
        // The name is whole before a handler in any thread can see the slot in use.
        std::atomic_thread_fence(std::memory_order_seq_cst);
        gSlots[i].used = 1;
        if (gWatched++ == 0) Install();
        return i;
    }
    return -1;
}

}  // namespace

int WatchTemp(const char* path) { return Watch(path, false); }

int WatchTempDir(const char* path) { return Watch(path, true); }

void WatchChild(pid_t pid) { gChild = pid; }

void UnwatchTemp(int handle) {
    if (handle < 0 || handle >= kSlots) return;
    std::lock_guard<std::mutex> lock(gMutex);
    HoldSignals hold;
    gSlots[handle].used = 0;
    if (--gWatched == 0) Restore();
}

}  // namespace tavrilo::detail

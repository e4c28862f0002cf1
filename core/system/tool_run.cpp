// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/system/tool_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "tavrilo/system/file_io.h"
#include "temp_cleanup.h"


extern char** environ;

namespace tavrilo {

namespace {

// dir made absolute against the current folder; "" when that is unknown.
std::string Absolute(const std::string& dir) {
    if (!dir.empty() && dir[0] == '/') return dir;
    std::error_code ec;
    const std::string here = std::filesystem::current_path(ec).string();
    if (ec) return {};
    return dir.empty() ? here : here + "/" + dir;
}

}  // namespace

PrivateTempDir::PrivateTempDir(bool removeOnSignal) {
    const char* base = std::getenv("TMPDIR");
    // The tools run in this directory, so a relative TMPDIR must not stay relative.
    std::string tmpl = Absolute(base && *base ? base : "/tmp") + "/tavrilo-XXXXXX";
    // Made and watched, or removed and unwatched, with no signal in between.
    detail::HoldSignals hold;
    if (mkdtemp(tmpl.data()) == nullptr) {
        made_ = Status::Failed(std::string("cannot make a temporary directory: ") + std::strerror(errno), errno);
        return;
    }
    path_ = tmpl;  // mkdtemp makes it mode 0700
    if (removeOnSignal) watch_ = detail::WatchTempDir(path_.c_str());
}

PrivateTempDir::~PrivateTempDir() {
    if (path_.empty()) return;
    detail::HoldSignals hold;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    detail::UnwatchTemp(watch_);
}

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string_view rest(path);
    while (true) {
        const std::size_t colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        // The tools run in another directory: a relative entry is made absolute.
        dir = Absolute(dir);
        // An entry that cannot be made absolute is passed over, not the rest of PATH.
        const std::string full = dir + "/" + program;
        struct stat st {};
        if (!dir.empty() && stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0)
            return full;
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

namespace {

struct FileActions {
    posix_spawn_file_actions_t a;
    FileActions() { posix_spawn_file_actions_init(&a); }
    ~FileActions() { posix_spawn_file_actions_destroy(&a); }
};

struct SpawnAttr {
    posix_spawnattr_t a;
    SpawnAttr() { posix_spawnattr_init(&a); }
    ~SpawnAttr() { posix_spawnattr_destroy(&a); }
};

// The end of the tool's log, from the first whole line of its last
// kToolOutputKept bytes, without control characters other than the line end:
// a runaway tool neither fills the memory nor reaches the terminal with
// escape codes through an error message.
std::string OutputTail(const std::string& log) {
    const int fd = ::open(log.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st {};
    std::string raw;
    if (fstat(fd, &st) == 0) {
        const off_t size = st.st_size;
        const off_t from = size > static_cast<off_t>(kToolOutputKept) ? size - static_cast<off_t>(kToolOutputKept) : 0;
        if (lseek(fd, from, SEEK_SET) != from || !ReadAtMost(fd, kToolOutputKept, raw).ok()) raw.clear();
        if (from > 0) {
            const std::size_t line = raw.find('\n');
            raw.erase(0, line == std::string::npos ? 0 : line + 1);
            raw.insert(0, "(earlier output left out)\n");
        }
    }
    ::close(fd);
    std::string out;
    out.reserve(raw.size());
    for (char c : raw) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n' || (u >= 0x20 && u != 0x7F)) out += c;
    }
    return out;
}

}  // namespace

Status RunTool(const std::string& path, const std::vector<std::string>& argv, const std::string& dir,
               const ToolLimits& limits, std::string& output) {
    const std::string log = dir + "/.tool-output";
    FileActions fa;
    posix_spawn_file_actions_addchdir_np(&fa.a, dir.c_str());
    posix_spawn_file_actions_addopen(&fa.a, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa.a, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&fa.a, 1, 2);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int err;
    {
        // A signal between the start and the watch would leave the child running.
        detail::HoldSignals hold;
        SpawnAttr attr;
        posix_spawnattr_setsigmask(&attr.a, &hold.Before());
        posix_spawnattr_setflags(&attr.a, POSIX_SPAWN_SETSIGMASK);
        err = posix_spawn(&pid, path.c_str(), &fa.a, &attr.a, args.data(), environ);
        if (err == 0) detail::WatchChild(pid);
    }
    if (err != 0) return Status::Failed(std::string("could not be started: ") + std::strerror(err), err);
    const auto deadline = std::chrono::steady_clock::now() + limits.time;
    auto nap = std::chrono::milliseconds(1);
    int wstatus = 0;
    bool cancelled = false, timedOut = false;
    for (;;) {
        const pid_t waited = waitpid(pid, &wstatus, WNOHANG);
        if (waited == pid) break;
        if (waited < 0 && errno != EINTR) {
            const int lost = errno;
            detail::WatchChild(0);
            return Status::Failed(std::string("could not be waited for: ") + std::strerror(lost), lost);
        }
        cancelled = limits.cancel != nullptr && limits.cancel->load();
        timedOut = !cancelled && std::chrono::steady_clock::now() >= deadline;
        if (cancelled || timedOut) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(nap);
        nap = std::min(nap * 2, std::chrono::milliseconds(20));
    }
    detail::WatchChild(0);
    output = OutputTail(log);
    ::unlink(log.c_str());
    if (cancelled) return Status::Cancelled();
    if (timedOut)
        return Status::Failed("was stopped: it ran longer than " + std::to_string(limits.time.count() / 1000) + " s",
                              ETIME);
    if (!WIFEXITED(wstatus)) return Status::Failed("failed (killed)");
    if (WEXITSTATUS(wstatus) != 0) return Status::Failed("failed with status " + std::to_string(WEXITSTATUS(wstatus)));
    return {};
}

}  // namespace tavrilo

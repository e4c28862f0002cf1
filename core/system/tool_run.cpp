#include "tavrilo/system/tool_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "tavrilo/system/file_io.h"
#include "temp_cleanup.h"

extern char** environ;

namespace tavrilo {

PrivateTempDir::PrivateTempDir(bool removeOnSignal) {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tavrilo-XXXXXX";
    // Made and watched, or removed and unwatched, with no signal in between.
    detail::HoldSignals hold;
    if (mkdtemp(tmpl.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "cannot make a temporary directory");
    path_ = tmpl;  // mkdtemp makes it mode 0700
    if (removeOnSignal) watch_ = detail::WatchTempDir(path_.c_str());
}

PrivateTempDir::~PrivateTempDir() {
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
        if (dir.empty() || dir[0] != '/') {
            std::error_code ec;
            const std::string here = std::filesystem::current_path(ec).string();
            if (ec) return {};
            dir = dir.empty() ? here : here + "/" + dir;
        }
        const std::string full = dir + "/" + program;
        struct stat st {};
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0)
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

}  // namespace

ToolResult RunTool(const std::string& path, const std::vector<std::string>& argv,
                   const std::string& dir) {
    ToolResult r;
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
    if (err != 0) {
        r.error = std::strerror(err);
        return r;
    }
    r.started = true;
    int wstatus = 0;
    int waited;
    while ((waited = waitpid(pid, &wstatus, 0)) < 0 && errno == EINTR) {
    }
    detail::WatchChild(0);
    if (waited < 0) {
        r.error = std::strerror(errno);
        return r;
    }
    if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    ReadWholeFile(log, r.output);
    ::unlink(log.c_str());
    return r;
}

}  // namespace tavrilo

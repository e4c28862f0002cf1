// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/system/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tavrilo/system/huge_pages.h"
#include "temp_cleanup.h"

namespace tavrilo {
namespace {

constexpr int kMaxLinkHops = 40;
constexpr char kTempPattern[] = ".tavrilo-XXXXXX";
constexpr char kTempLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Closes a descriptor on every way out, exceptions included.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The name a chain of symbolic links ends in, whether that exists or not.
Status FollowLinks(const std::string& path, std::string& target) {
    std::string p = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (lstat(p.c_str(), &st) != 0) {
            if (errno != ENOENT) return Status::FromErrno(errno);
            target = p;
            return {};
        }
        if (!S_ISLNK(st.st_mode)) {
            target = p;
            return {};
        }
        std::string link(PATH_MAX, '\0');
        ssize_t n = readlink(p.c_str(), link.data(), link.size());
        if (n < 0) return Status::FromErrno(errno);
        link.resize(static_cast<std::size_t>(n));
        p = (!link.empty() && link[0] == '/') ? link : DirectoryOf(p) + "/" + link;
    }
    return Status::FromErrno(ELOOP);
}

// A new name must fit its file system, so that the rename cannot fail on it.
Status CheckNewName(const std::string& target) {
    if (target.size() >= PATH_MAX) return Status::FromErrno(ENAMETOOLONG);
    const std::size_t base = target.rfind('/') + 1;  // npos + 1 is 0
    const long max = pathconf(DirectoryOf(target).c_str(), _PC_NAME_MAX);
    if (max > 0 && target.size() - base > static_cast<std::size_t>(max))
        return Status::FromErrno(ENAMETOOLONG);
    return {};
}

// A new file's mode: 0666 less the umask.
mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Makes the directory entries of the folder open as fd durable. File systems
// that cannot sync a folder say EINVAL, which does not undo the write before.
Status SyncFolder(int fd) {
    if (fsync(fd) != 0 && errno != EINVAL) return Status::FromErrno(errno);
    return {};
}

// The same for dir by its name. A folder that cannot be read (write and
// search rights only) cannot be synced, which is no failure either.
Status SyncDirectory(const std::string& dir) {
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) return {};
    return SyncFolder(fd.get());
}

}  // namespace

Status Status::FromErrno(int err) {
    Status r;
    r.code = err == 0 ? EIO : err;
    r.message = std::strerror(r.code);
    return r;
}

// Reads fd from where it stands to its end, or to most bytes, whichever comes first.
Status ReadAtMost(int fd, std::uint64_t most, std::string& bytes) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return Status::FromErrno(errno);
    if (S_ISDIR(st.st_mode)) return Status::FromErrno(EISDIR);
    std::string data;
    if (S_ISREG(st.st_mode)) {
        const off_t at = lseek(fd, 0, SEEK_CUR);
        if (at >= 0 && st.st_size > at) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size - at), most));
            data.reserve(n);
            AdviseHugePages(data.data(), n);
            data.resize(n);
        }
    }
    // Into the sized buffer while it has room, then through a chunk that
    // also tells the end of a regular file from a file that grew.
    std::size_t have = 0;
    char chunk[1 << 16];
    while (have < most) {
        const bool inPlace = have < data.size();
        char* dst = inPlace ? data.data() + have : chunk;
        const std::size_t room = std::min<std::uint64_t>(inPlace ? data.size() - have : sizeof chunk, most - have);
        const ssize_t got = ::read(fd, dst, room);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return Status::FromErrno(errno);
        }
        if (!inPlace) data.append(chunk, static_cast<std::size_t>(got));
        have += static_cast<std::size_t>(got);
    }
    data.resize(have);
    bytes = std::move(data);
    return {};
}

Status ReadAll(int fd, std::string& bytes) { return ReadAtMost(fd, UINT64_MAX, bytes); }

Status ReadWholeFile(const std::string& path, std::string& bytes) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return Status::FromErrno(errno);
    return ReadAll(fd.get(), bytes);
}

Status ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& bytes,
                         std::uint64_t& size) {
    // Not blocking keeps a FIFO from holding the open until a writer comes.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) return Status::FromErrno(errno);
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) return Status::FromErrno(errno);
    if (S_ISDIR(st.st_mode)) return Status::FromErrno(EISDIR);
    if (!S_ISREG(st.st_mode)) return Status::Failed("not a regular file", EINVAL);
    size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxBytes) return Status::FromErrno(EFBIG);
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags >= 0) fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    // The size a file claims may be wrong (0 for most of /proc): one byte past the limit tells.
    std::string data;
    Status r = ReadAtMost(fd.get(), maxBytes + 1, data);
    if (!r.ok()) return r;
    if (data.size() > maxBytes) {
        size = std::max<std::uint64_t>(size, data.size());
        return Status::FromErrno(EFBIG);
    }
    bytes = std::move(data);
    return {};
}

void BufferedWriter::Reset(int fd) {
    fd_ = fd;
    error_ = 0;
    used_ = 0;
}

void BufferedWriter::Put(const char* p, std::size_t left) {
    while (left > 0 && error_ == 0) {
        ssize_t put = ::write(fd_, p, left);
        if (put < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            break;
        }
        p += put;
        left -= static_cast<std::size_t>(put);
    }
}

void BufferedWriter::WriteSlowly(std::string_view bytes) {
    if (used_ + bytes.size() > kBufferSize) Flush();
    if (bytes.size() >= kBufferSize) {
        Put(bytes.data(), bytes.size());
        return;
    }
    if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
    Copy(buffer_.get() + used_, bytes);
    used_ += bytes.size();
}

Status BufferedWriter::Flush() {
    Put(buffer_.get(), used_);
    used_ = 0;
    if (error_ != 0) return Status::FromErrno(error_);
    return {};
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) {
        detail::HoldSignals hold;
        ::unlink(temp_.c_str());
        detail::UnwatchTemp(watch_);
    }
    watch_ = -1;
    temp_.clear();
    direct_ = false;
}

Status AtomicFile::Open(const std::string& path, NoReader noReader) {
    Discard();
    if (!path.empty() && path.back() == '/') return Status::FromErrno(EISDIR);
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Status::FromErrno(EISDIR);
        if (!S_ISREG(st.st_mode)) {
            // A device, FIFO or socket takes the bytes itself, as with any tool.
            const int noWait = noReader == NoReader::Fail ? O_NONBLOCK : 0;
            int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | noWait);
            if (fd < 0) {
                Status r = Status::FromErrno(errno);
                if (r.code == ENXIO && S_ISFIFO(st.st_mode)) r.message = "no program reads from this FIFO";
                return r;
            }
            if (noWait != 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            fd_ = fd;
            direct_ = true;
            target_ = path;
            out_.Reset(fd_);
            return {};
        }
    } else if (errno != ENOENT) {
        return Status::FromErrno(errno);
    }
    Status r = FollowLinks(path, target_);
    if (!r.ok()) return r;
    const bool exists = stat(target_.c_str(), &st) == 0;
    if (!exists) {
        r = CheckNewName(target_);
        if (!r.ok()) return r;
    } else if (faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
        // Replacing it would get round its write protection.
        return Status::FromErrno(errno);
    }
    // Where the file system allows, the new file has no name until it is
    // whole, so that not even SIGKILL leaves it behind; else a short fixed
    // temporary name beside the target, removed on the signals.
    const std::string folder = DirectoryOf(target_);
    if (access("/proc/self/fd", X_OK) == 0) fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        std::string temp = folder + "/" + kTempPattern;
        detail::HoldSignals hold;
        int fd = mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            r = Status::FromErrno(errno);
            if (r.code == EACCES) r.message += " (no new file can be made in the folder " + folder + ")";
            return r;
        }
        fd_ = fd;
        temp_ = temp;
        watch_ = detail::WatchTemp(temp_.c_str());
    }
    // The replacement keeps the owner where this process may give it (root
    // may), else at least the group; then the permissions.
    if (exists && (st.st_uid != geteuid() || st.st_gid != getegid()) && fchown(fd_, st.st_uid, st.st_gid) != 0)
        (void)!fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
    if (fchmod(fd_, exists ? st.st_mode & 07777 : NewFileMode()) != 0) {
        int err = errno;
        Discard();
        return Status::FromErrno(err);
    }
    out_.Reset(fd_);
    return {};
}

Status AtomicFile::Commit() {
    if (fd_ < 0) return Status::FromErrno(EBADF);
    Status r = out_.Flush();
    if (r.ok() && !direct_ && fsync(fd_) != 0) r = Status::FromErrno(errno);
    if (r.ok() && !direct_ && temp_.empty()) r = NameUnnamed();
    if (r.ok()) {
        int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0) r = Status::FromErrno(errno);
    }
    if (!r.ok() || direct_) {
        Discard();
        return r;
    }
    {
        detail::HoldSignals hold;
        if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
            r = Status::FromErrno(errno);
        } else {
            detail::UnwatchTemp(watch_);
            watch_ = -1;
            temp_.clear();
        }
    }
    if (!r.ok()) {
        Discard();
        return r;
    }
    return SyncDirectory(DirectoryOf(target_));
}

// Links the whole unnamed file to a temporary name beside the target, for the rename.
Status AtomicFile::NameUnnamed() {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
    std::random_device random;
    for (int tries = 0; tries < 100; ++tries) {
        std::string temp = DirectoryOf(target_) + "/" + kTempPattern;
        for (std::size_t i = temp.size() - 6; i < temp.size(); ++i) temp[i] = kTempLetters[random() % (sizeof kTempLetters - 1)];
        detail::HoldSignals hold;
        if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp_ = temp;
            watch_ = detail::WatchTemp(temp_.c_str());
            return {};
        }
        if (errno != EEXIST) return Status::FromErrno(errno);
    }
    return Status::FromErrno(EEXIST);
}

Status WriteWholeFile(const std::string& path, std::string_view bytes, NoReader noReader) {
    AtomicFile file;
    Status r = file.Open(path, noReader);
    if (!r.ok()) return r;
    file.Writer().Write(bytes);
    return file.Commit();
}

namespace {

bool IsTempName(std::string_view name) {
    const std::string_view head(kTempPattern, sizeof kTempPattern - 7);
    return name.size() == head.size() + 6 && name.substr(0, head.size()) == head &&
           name.find_first_not_of(kTempLetters, head.size()) == std::string_view::npos;
}

// A directory stream of its own over the folder fd.
DIR* OpenDir(int fd) {
    const int own = fd < 0 ? -1 : ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = own < 0 ? nullptr : fdopendir(own);
    if (d == nullptr && own >= 0) ::close(own);
    return d;
}

// The names in the folder fd when every entry is a plain file of this user's; else nothing.
std::optional<std::vector<std::string>> OwnPlainFiles(int fd) {
    DIR* d = OpenDir(fd);
    if (d == nullptr) return std::nullopt;
    std::vector<std::string> names;
    bool plain = true;
    while (const dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        struct stat st {};
        plain = fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid();
        if (!plain) break;
        names.emplace_back(e->d_name);
    }
    closedir(d);
    if (!plain) return std::nullopt;
    return names;
}

// Removes the staging folders that runs killed outright left in the folder
// dirFd. Only the holder of the folder's lock makes one, so the caller, holding
// it, finds none of a live run. A folder goes only when it is this user's and
// holds nothing but this user's plain files.
void RemoveLeftStaging(int dirFd) {
    DIR* d = OpenDir(dirFd);
    if (d == nullptr) return;
    while (const dirent* e = readdir(d)) {
        if (!IsTempName(e->d_name)) continue;
        Fd staging(::openat(dirFd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (staging.get() < 0 || fstat(staging.get(), &st) != 0 || st.st_uid != geteuid()) continue;
        const std::optional<std::vector<std::string>> files = OwnPlainFiles(staging.get());
        if (!files) continue;
        for (const std::string& f : *files) unlinkat(staging.get(), f.c_str(), 0);
        unlinkat(dirFd, e->d_name, AT_REMOVEDIR);
    }
    closedir(d);
}

}  // namespace

FileSet::~FileSet() {
    if (stagingFd_ >= 0) ::close(stagingFd_);
    if (!staging_.empty()) {
        detail::HoldSignals hold;
        std::error_code ec;
        std::filesystem::remove_all(staging_, ec);
        detail::UnwatchTemp(watch_);
    }
    if (dirFd_ >= 0) ::close(dirFd_);  // and with it the lock
}

Status FileSet::Open(const std::string& dir, const std::string& listName) {
    dir_ = dir;
    list_ = listName;
    dirFd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) return Status::FromErrno(errno);
    const bool locked = flock(dirFd_, LOCK_EX | LOCK_NB) == 0;
    if (!locked && errno == EWOULDBLOCK)
        return Status::Failed("another run is writing into this folder", EWOULDBLOCK);
    // Without a lock (a file system that has none) a live run's folder cannot be told apart.
    if (locked) RemoveLeftStaging(dirFd_);
    std::string list;
    Status r = ReadWholeFile(dir + "/" + listName, list);
    if (!r.ok() && r.code != ENOENT) return r;
    for (std::size_t at = 0; at < list.size();) {
        std::size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        // A name, never a path: a list planted in a shared folder reaches nothing outside it.
        const std::string_view name(list.data() + at, end - at);
        if (!name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos)
            earlier_.emplace_back(name);
        at = end + 1;
    }
    std::sort(earlier_.begin(), earlier_.end());
    std::string staging = dir + "/" + kTempPattern;
    detail::HoldSignals hold;
    if (mkdtemp(staging.data()) == nullptr) return Status::FromErrno(errno);
    staging_ = staging;
    watch_ = detail::WatchTempDir(staging_.c_str());
    stagingFd_ = ::open(staging_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (stagingFd_ < 0) return Status::FromErrno(errno);
    return {};
}

Status FileSet::Add(const std::string& name, std::string_view bytes) {
    if (stagingFd_ < 0) return Status::FromErrno(EBADF);
    Fd fd(::openat(stagingFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode()));
    if (fd.get() < 0) return Status::FromErrno(errno);
    out_.Reset(fd.get());
    out_.Write(bytes);
    Status r = out_.Flush();
    if (!r.ok()) return r;
    added_.push_back(name);
    return {};
}

Status FileSet::WriteList(const std::vector<std::string>& names) const {
    std::string list;
    for (const std::string& n : names) list += n + "\n";
    return WriteWholeFile(dir_ + "/" + list_, list);
}

Status FileSet::Commit(std::size_t& removed) {
    removed = 0;
    if (stagingFd_ < 0) return Status::FromErrno(EBADF);
    const auto wrote = [&](const std::string& n) { return std::binary_search(earlier_.begin(), earlier_.end(), n); };
    for (const std::string& n : added_) {
        struct stat st {};
        if (fstatat(dirFd_, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !wrote(n))
            return Status::Failed(dir_ + "/" + n + ": not written by this program, so left alone", EEXIST);
    }
    if (syncfs(stagingFd_) != 0) return Status::FromErrno(errno);
    // Listed before they land, so that no end of the run leaves one of ours unlisted.
    std::vector<std::string> both = earlier_;
    both.insert(both.end(), added_.begin(), added_.end());
    Status r = WriteList(both);
    if (!r.ok()) return r;
    {
        detail::HoldSignals hold;
        for (const std::string& n : added_)
            if (renameat(stagingFd_, n.c_str(), dirFd_, n.c_str()) != 0)
                return Status::Failed(dir_ + "/" + n + ": " + std::strerror(errno), errno);
    }
    std::vector<std::string> now = added_;
    std::sort(now.begin(), now.end());
    for (const std::string& n : earlier_) {
        if (std::binary_search(now.begin(), now.end(), n)) continue;
        if (unlinkat(dirFd_, n.c_str(), 0) == 0)
            ++removed;
        else if (errno != ENOENT)
            return Status::Failed(dir_ + "/" + n + ": " + std::strerror(errno), errno);
    }
    r = WriteList(added_);
    if (!r.ok()) return r;
    return SyncFolder(dirFd_);
}

}  // namespace tavrilo

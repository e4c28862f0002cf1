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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tavrilo/system/huge_pages.h"
#include "temp_cleanup.h"

namespace tavrilo {

void (*detail::gBeforeRename)() = nullptr;

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

std::uint64_t Fingerprint(std::string_view bytes, std::uint64_t h = 14695981039346656037ull) {
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

// Tries at a temporary name for one file.
constexpr unsigned kTempNameTries = 100;

// The k-th temporary name of the file st: ".tavrilo-" and six letters drawn
// from its device and inode, so that a file left under it proves itself the
// writer's own.
std::string TempNameFor(const struct stat& st, unsigned k) {
    std::uint64_t h = Fingerprint("tavrilo temporary file");
    for (std::uint64_t v : {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                            static_cast<std::uint64_t>(k)})
        h = Fingerprint(std::string_view(reinterpret_cast<const char*>(&v), sizeof v), h);
    std::string name(kTempPattern, sizeof kTempPattern - 7);
    for (int i = 0; i < 6; ++i, h /= sizeof kTempLetters - 1) name += kTempLetters[h % (sizeof kTempLetters - 1)];
    return name;
}

bool IsOwnTemp(const char* name, const struct stat& st) {
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) return false;
    for (unsigned k = 0; k < kTempNameTries; ++k)
        if (TempNameFor(st, k) == name) return true;
    return false;
}

// Removes the finished files that runs killed between naming and renaming
// them left in folder: this user's files under the name their inode gives,
// that no live run holds locked.
void RemoveLeftTemps(const std::string& folder) {
    DIR* d = opendir(folder.c_str());
    if (d == nullptr) return;
    const int dir = dirfd(d);
    while (const dirent* e = readdir(d)) {
        struct stat st {};
        if (std::strncmp(e->d_name, kTempPattern, sizeof kTempPattern - 7) != 0 ||
            fstatat(dir, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !IsOwnTemp(e->d_name, st))
            continue;
        Fd file(::openat(dir, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat held {};
        if (file.get() >= 0 && fstat(file.get(), &held) == 0 && held.st_ino == st.st_ino &&
            flock(file.get(), LOCK_EX | LOCK_NB) == 0)
            unlinkat(dir, e->d_name, 0);
    }
    closedir(d);
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
    if (lock_ >= 0) ::close(lock_);
    lock_ = -1;
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
    RemoveLeftTemps(folder);
    // The file is locked while this run lives (through lock_, which outlives
    // fd_ up to the rename), and named only after its inode, so that a later
    // run can tell a file a kill left behind.
    if (access("/proc/self/fd", X_OK) == 0) fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
        flock(fd_, LOCK_EX | LOCK_NB);
    } else {
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
        flock(fd_, LOCK_EX | LOCK_NB);
        struct stat own {};
        for (unsigned k = 0; k < kTempNameTries && fstat(fd_, &own) == 0; ++k) {
            const std::string named = folder + "/" + TempNameFor(own, k);
            if (renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, named.c_str(), RENAME_NOREPLACE) == 0) {
                detail::UnwatchTemp(watch_);
                temp_ = named;
                watch_ = detail::WatchTemp(temp_.c_str());
                break;
            }
            if (errno != EEXIST) break;
        }
    }
    lock_ = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
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
    if (detail::gBeforeRename) detail::gBeforeRename();
    {
        detail::HoldSignals hold;
        if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
            r = Status::FromErrno(errno);
        } else {
            detail::UnwatchTemp(watch_);
            watch_ = -1;
            temp_.clear();
            ::close(lock_);
            lock_ = -1;
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
    struct stat st {};
    if (fstat(fd_, &st) != 0) return Status::FromErrno(errno);
    for (unsigned k = 0; k < kTempNameTries; ++k) {
        const std::string temp = DirectoryOf(target_) + "/" + TempNameFor(st, k);
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

constexpr char kStagingMarker[] = ".tavrilo-staging";
constexpr std::uint64_t kMaxListBytes = 16 << 20;

// What the marker of the staging folder st holds: the folder's own device and inode.
std::string MarkerText(const struct stat& st) {
    return "tavrilo staging folder " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + "\n";
}

// Removes the staging folders that runs killed outright left in the folder
// dirFd. Only the holder of the folder's lock makes one, so the caller, holding
// it, finds none of a live run. A folder goes only when it is this user's,
// its marker names it, and it holds nothing but this user's plain files.
void RemoveLeftStaging(int dirFd) {
    DIR* d = OpenDir(dirFd);
    if (d == nullptr) return;
    while (const dirent* e = readdir(d)) {
        if (!IsTempName(e->d_name)) continue;
        Fd staging(::openat(dirFd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (staging.get() < 0 || fstat(staging.get(), &st) != 0 || st.st_uid != geteuid()) continue;
        std::string marker;
        Fd markerFd(::openat(staging.get(), kStagingMarker, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat ms {};
        if (markerFd.get() < 0 || fstat(markerFd.get(), &ms) != 0 || !S_ISREG(ms.st_mode) ||
            !ReadAtMost(markerFd.get(), 256, marker).ok() || marker != MarkerText(st))
            continue;
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

namespace {

std::string Hex(std::uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

// One line of the list: name, size and fingerprint, split by tabs.
bool ParseEntry(std::string_view line, FileSet::Entry& e) {
    const std::size_t a = line.find('\t'), b = a == std::string_view::npos ? a : line.find('\t', a + 1);
    e.name = std::string(line.substr(0, a));
    if (b == std::string_view::npos) return false;
    const std::string size(line.substr(a + 1, b - a - 1)), print(line.substr(b + 1));
    char* end = nullptr;
    e.size = std::strtoull(size.c_str(), &end, 10);
    if (size.empty() || *end != 0 || print.size() != 16) return false;
    e.print = std::strtoull(print.c_str(), &end, 16);
    return *end == 0;
}

enum class Proof { Ours, Missing, Other };

// For an entry of the earlier form, without size and fingerprint: ours when
// the caller takes the file for one it writes, and then given its size and
// fingerprint.
Proof ProveByContents(int dirFd, FileSet::Written written, FileSet::Entry& e) {
    constexpr std::uint64_t kMostBytes = 16 << 20;
    if (e.name.find('/') != std::string::npos) return Proof::Other;
    Fd fd(::openat(dirFd, e.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st {};
    std::string bytes;
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !ReadAtMost(fd.get(), kMostBytes, bytes).ok() || bytes.empty() || !written(bytes))
        return Proof::Other;
    e.size = bytes.size();
    e.print = Fingerprint(bytes);
    return Proof::Ours;
}

// Whether the list's name stands for something in the folder dirFd (a path always does).
bool Present(int dirFd, const std::string& name) {
    struct stat st {};
    return name.find('/') != std::string::npos || fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ||
           errno != ENOENT;
}

// Whether the file e names in the folder dirFd is the one e describes.
Proof Prove(int dirFd, const FileSet::Entry& e) {
    if (e.name.find('/') != std::string::npos) return Proof::Other;
    struct stat st {};
    if (fstatat(dirFd, e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Proof::Missing : Proof::Other;
    if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) != e.size) return Proof::Other;
    Fd fd(::openat(dirFd, e.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    std::string bytes;
    if (fd.get() < 0 || !ReadAtMost(fd.get(), e.size + 1, bytes).ok()) return Proof::Other;
    return bytes.size() == e.size && Fingerprint(bytes) == e.print ? Proof::Ours : Proof::Other;
}

}  // namespace

// The list is read without following a link and without blocking, from a
// regular file of bounded size only.
Status FileSet::ReadList(MayHold mayHold, Written written) {
    Fd fd(::openat(dirFd_, list_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        if (errno == ENOENT) return {};
        if (errno == ELOOP) return Status::Failed(list_ + ": a symbolic link, not the list this program writes; left alone", ELOOP);
        return Status::FromErrno(errno);
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) return Status::FromErrno(errno);
    if (!S_ISREG(st.st_mode)) return Status::Failed(list_ + ": not a regular file, so not the list this program writes; left alone", EINVAL);
    std::string list;
    Status r = ReadAtMost(fd.get(), kMaxListBytes + 1, list);
    if (!r.ok()) return r;
    if (list.size() > kMaxListBytes) return Status::Failed(list_ + ": too large for the list this program writes; left alone", EFBIG);
    for (std::size_t at = 0; at < list.size();) {
        std::size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        Entry e;
        const bool parsed = ParseEntry(std::string_view(list).substr(at, end - at), e);
        at = end + 1;
        if (e.name.empty() || e.name == "." || e.name == "..") continue;
        // Each file is read once: against its entry, or for the earlier form by its contents.
        Proof proof = Proof::Other;
        if (!mayHold || mayHold(e.name))
            proof = parsed ? Prove(dirFd_, e) : written ? ProveByContents(dirFd_, written, e) : Proof::Other;
        if (proof == Proof::Ours)
            earlier_.push_back(std::move(e));
        else if (proof == Proof::Other && Present(dirFd_, e.name))
            unproven_.push_back(std::move(e.name));
    }
    std::sort(earlier_.begin(), earlier_.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    earlier_.erase(std::unique(earlier_.begin(), earlier_.end(), [](const Entry& a, const Entry& b) { return a.name == b.name; }),
                   earlier_.end());
    std::sort(unproven_.begin(), unproven_.end());
    unproven_.erase(std::unique(unproven_.begin(), unproven_.end()), unproven_.end());
    return {};
}

Status FileSet::Open(const std::string& dir, const std::string& listName, MayHold mayHold, Written written) {
    dir_ = dir;
    list_ = listName;
    dirFd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) return Status::FromErrno(errno);
    const bool locked = flock(dirFd_, LOCK_EX | LOCK_NB) == 0;
    if (!locked && errno == EWOULDBLOCK)
        return Status::Failed("another run is writing into this folder", EWOULDBLOCK);
    // Without a lock (a file system that has none) a live run's folder cannot be told apart.
    if (locked) RemoveLeftStaging(dirFd_);
    Status r = ReadList(mayHold, written);
    if (!r.ok()) return r;
    std::string staging = dir + "/" + kTempPattern;
    detail::HoldSignals hold;
    if (mkdtemp(staging.data()) == nullptr) return Status::FromErrno(errno);
    staging_ = staging;
    watch_ = detail::WatchTempDir(staging_.c_str());
    stagingFd_ = ::open(staging_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (stagingFd_ < 0) return Status::FromErrno(errno);
    struct stat st {};
    if (fstat(stagingFd_, &st) != 0) return Status::FromErrno(errno);
    Fd marker(::openat(stagingFd_, kStagingMarker, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (marker.get() < 0) return Status::FromErrno(errno);
    out_.Reset(marker.get());
    out_.Write(MarkerText(st));
    return out_.Flush();
}

Status FileSet::Add(const std::string& name, std::string_view bytes) {
    if (stagingFd_ < 0) return Status::FromErrno(EBADF);
    Fd fd(::openat(stagingFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode()));
    if (fd.get() < 0) return Status::FromErrno(errno);
    out_.Reset(fd.get());
    out_.Write(bytes);
    Status r = out_.Flush();
    if (!r.ok()) return r;
    added_.push_back(Entry{name, bytes.size(), Fingerprint(bytes)});
    return {};
}

// Written in the staging folder and renamed into place, which replaces the
// entry itself, whatever it is, and follows no link.
Status FileSet::WriteList(const std::vector<Entry>& entries) const {
    std::string list;
    for (const Entry& e : entries) {
        list += e.name;
        list += '\t';
        list += std::to_string(e.size);
        list += '\t';
        list += Hex(e.print);
        list += '\n';
    }
    Fd fd(::openat(stagingFd_, list_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, NewFileMode()));
    if (fd.get() < 0) return Status::FromErrno(errno);
    BufferedWriter out(fd.get());
    out.Write(list);
    Status r = out.Flush();
    if (r.ok() && fsync(fd.get()) != 0) r = Status::FromErrno(errno);
    if (r.ok() && renameat(stagingFd_, list_.c_str(), dirFd_, list_.c_str()) != 0) r = Status::FromErrno(errno);
    return r;
}

Status FileSet::Commit(std::size_t& removed) {
    removed = 0;
    if (stagingFd_ < 0) return Status::FromErrno(EBADF);
    const auto wrote = [&](const std::string& n) {
        return std::binary_search(earlier_.begin(), earlier_.end(), Entry{n, 0, 0},
                                  [](const Entry& a, const Entry& b) { return a.name < b.name; });
    };
    for (const Entry& e : added_) {
        struct stat st {};
        if (fstatat(dirFd_, e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !wrote(e.name))
            return Status::Failed(dir_ + "/" + e.name + ": not written by this program, so left alone", EEXIST);
    }
    if (syncfs(stagingFd_) != 0) return Status::FromErrno(errno);
    // Listed before they land, so that no end of the run leaves one of ours unlisted.
    std::vector<Entry> both = earlier_;
    both.insert(both.end(), added_.begin(), added_.end());
    Status r = WriteList(both);
    if (!r.ok()) return r;
    {
        detail::HoldSignals hold;
        for (const Entry& e : added_)
            if (renameat(stagingFd_, e.name.c_str(), dirFd_, e.name.c_str()) != 0)
                return Status::Failed(dir_ + "/" + e.name + ": " + std::strerror(errno), errno);
    }
    std::vector<std::string> now;
    for (const Entry& e : added_) now.push_back(e.name);
    std::sort(now.begin(), now.end());
    for (const Entry& e : earlier_) {
        if (std::binary_search(now.begin(), now.end(), e.name)) continue;
        if (unlinkat(dirFd_, e.name.c_str(), 0) == 0)
            ++removed;
        else if (errno != ENOENT)
            return Status::Failed(dir_ + "/" + e.name + ": " + std::strerror(errno), errno);
    }
    r = WriteList(added_);
    if (!r.ok()) return r;
    return SyncFolder(dirFd_);
}

}  // namespace tavrilo

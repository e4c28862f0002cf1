#include "tavrilo/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tavrilo {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// A link is written through, not replaced by a file.
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

mode_t NewFileMode(const std::string& target) {
    struct stat st {};
    if (stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

IoResult IoResult::FromErrno(int err) {
    IoResult r;
    r.code = err == 0 ? EIO : err;
    r.message = std::strerror(r.code);
    return r;
}

IoResult ReadWholeFile(const std::string& path, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return IoResult::FromErrno(errno);
    struct stat st {};
    std::string data;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return IoResult::FromErrno(EISDIR);
    }
    if (st.st_size > 0) data.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            return IoResult::FromErrno(err);
        }
        data.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    bytes = std::move(data);
    return {};
}

void BufferedWriter::Reset(int fd) {
    fd_ = fd;
    error_ = 0;
    buffer_.clear();
}

void BufferedWriter::Write(std::string_view bytes) {
    if (buffer_.capacity() < kBufferSize) buffer_.reserve(kBufferSize);
    if (buffer_.size() + bytes.size() > kBufferSize) {
        Flush();
        if (bytes.size() > kBufferSize) {
            buffer_.assign(bytes);
            Flush();
            return;
        }
    }
    buffer_ += bytes;
}

IoResult BufferedWriter::Flush() {
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
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
    buffer_.clear();
    if (error_ != 0) return IoResult::FromErrno(error_);
    return {};
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

IoResult AtomicFile::Open(const std::string& path) {
    Discard();
    target_ = ResolveLink(path);
    struct stat st {};
    if (stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return IoResult::FromErrno(EISDIR);
    if (!target_.empty() && target_.back() == '/') return IoResult::FromErrno(EISDIR);
    // A short fixed temporary name, so a long target name fails only at the rename.
    std::string temp = DirectoryOf(target_) + "/.tavrilo-XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return IoResult::FromErrno(errno);
    fd_ = fd;
    temp_ = temp;
    if (fchmod(fd_, NewFileMode(target_)) != 0) {
        int err = errno;
        Discard();
        return IoResult::FromErrno(err);
    }
    out_.Reset(fd_);
    return {};
}

IoResult AtomicFile::Commit() {
    if (fd_ < 0) return IoResult::FromErrno(EBADF);
    IoResult r = out_.Flush();
    if (r.ok() && fsync(fd_) != 0) r = IoResult::FromErrno(errno);
    if (r.ok()) {
        int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0) r = IoResult::FromErrno(errno);
    }
    if (r.ok() && std::rename(temp_.c_str(), target_.c_str()) != 0) r = IoResult::FromErrno(errno);
    if (r.ok()) {
        temp_.clear();
        return r;
    }
    Discard();
    return r;
}

IoResult WriteWholeFile(const std::string& path, std::string_view bytes) {
    AtomicFile file;
    IoResult r = file.Open(path);
    if (!r.ok()) return r;
    file.Writer().Write(bytes);
    return file.Commit();
}

void CrLfLineSink::Line(std::string_view line) {
    out_.Write(line);
    out_.Write("\r\n");
}

}  // namespace tavrilo

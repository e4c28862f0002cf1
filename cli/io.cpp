// SPDX-License-Identifier: GPL-3.0-or-later
#include "io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace tavrilo::cli {

namespace {

std::string& LastInput() {
    static std::string name = "-";
    return name;
}

// The regular file ReadInput last read, as the descriptor it read from showed it.
struct FileId {
    bool regular = false;
    dev_t dev = 0;
    ino_t ino = 0;
};
FileId& LastInputFile() {
    static FileId id;
    return id;
}

// The descriptor a name stands for when it names one this process already
// has open ("-", /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N), else -1.
// Such a target is written where it stands: reopening it would rewrite a file
// the shell appends to, or replace it by a new one.
int DescriptorNamed(const std::string& name) {
    if (name == "-" || name == "/dev/stdout") return STDOUT_FILENO;
    if (name == "/dev/stderr") return STDERR_FILENO;
    for (std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/")}) {
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::stoi(digits);
    }
    return -1;
}

}  // namespace

const std::string& InputName() { return LastInput(); }

Status ReadInput(const std::string& name, std::string& bytes) {
    LastInput() = name;
    const int fd = name == "-" ? STDIN_FILENO : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::FromErrno(errno);
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    LastInputFile() = {regular, st.st_dev, st.st_ino};
    const Status r = ReadAll(fd, bytes);
    if (fd != STDIN_FILENO) ::close(fd);
    return r;
}

bool IsTheInput(const std::string& path) {
    struct stat st {};
    const FileId& in = LastInputFile();
    return in.regular && stat(path.c_str(), &st) == 0 && st.st_dev == in.dev && st.st_ino == in.ino;
}

Status Output::Open(const std::string& name) {
    shown_ = name.empty() ? "-" : name;
    const int fd = name.empty() ? STDOUT_FILENO : DescriptorNamed(name);
    toFile_ = fd < 0;
    // A FIFO is waited on until its reader comes, as a shell's redirection waits.
    if (toFile_) return file_.Open(name, NoReader::Wait);
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return Status::FromErrno(errno);
    if ((flags & O_ACCMODE) == O_RDONLY) return Status::FromErrno(EBADF);
    direct_.Reset(fd);
    return {};
}

Status Output::Finish() { return toFile_ ? file_.Commit() : direct_.Flush(); }

}  // namespace tavrilo::cli

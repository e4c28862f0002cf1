// Byte-exact file reading and writing that reports every failure.
#pragma once

#include <string>
#include <string_view>

#include "tavrilo/asm.h"

namespace tavrilo {

// Success, or the system's error number and text.
struct IoResult {
    int code = 0;
    std::string message;

    bool ok() const { return code == 0; }
    static IoResult FromErrno(int err);
};

// Reads the whole file at path into bytes.
IoResult ReadWholeFile(const std::string& path, std::string& bytes);

// Writes to a file descriptor through a buffer; remembers the first failure.
class BufferedWriter {
public:
    explicit BufferedWriter(int fd = -1) : fd_(fd) {}
    BufferedWriter(const BufferedWriter&) = delete;
    BufferedWriter& operator=(const BufferedWriter&) = delete;

    void Reset(int fd);
    void Write(std::string_view bytes);
    IoResult Flush();
    int error() const { return error_; }

private:
    int fd_;
    int error_ = 0;
    std::string buffer_;
};

// A file written under a temporary name beside its target and renamed over
// the target by Commit, so the target is either replaced whole or left as it was.
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    IoResult Open(const std::string& path);
    BufferedWriter& Writer() { return out_; }
    IoResult Commit();

private:
    void Discard();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    BufferedWriter out_;
};

IoResult WriteWholeFile(const std::string& path, std::string_view bytes);

// Writes each line followed by CR LF.
class CrLfLineSink : public LineSink {
public:
    explicit CrLfLineSink(BufferedWriter& out) : out_(out) {}
    void Line(std::string_view line) override;

private:
    BufferedWriter& out_;
};

}  // namespace tavrilo

// Byte-exact file reading and writing that reports every failure.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "tavrilo/system/status.h"

namespace tavrilo {


// Reads fd from where it stands to its end. A regular file is read into a
// buffer of its size; anything else in growing chunks.
Status ReadAll(int fd, std::string& bytes);

// Reads the whole file at path into bytes.
Status ReadWholeFile(const std::string& path, std::string& bytes);

// Reads a regular file of at most maxBytes without blocking on anything else.
// Refuses other files with EINVAL and "not a regular file", a larger one with
// EFBIG; size receives the file's size whenever it is known.
Status ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& bytes,
                         std::uint64_t& size);

// Writes to a file descriptor through a buffer; remembers the first failure.
// Pieces of a buffer's size or more go straight to the descriptor.
class BufferedWriter {
public:
    explicit BufferedWriter(int fd = -1) : fd_(fd) {}
    BufferedWriter(const BufferedWriter&) = delete;
    BufferedWriter& operator=(const BufferedWriter&) = delete;

    // early: start writing back to the disk every few MiB, so that a
    // final fsync has little left to wait for.
    void Reset(int fd, bool early = false);
    void Write(std::string_view bytes) {
        if (bytes.size() < kBufferSize - used_ && buffer_) {
            Copy(buffer_.get() + used_, bytes);
            used_ += bytes.size();
            return;
        }
        WriteSlowly(bytes);
    }
    // Writes line followed by CR LF.
    void WriteCrLf(std::string_view line) {
        if (line.size() + 2 <= kBufferSize - used_ && buffer_) {
            char* p = buffer_.get() + used_;
            Copy(p, line);
            p[line.size()] = '\r';
            p[line.size() + 1] = '\n';
            used_ += line.size() + 2;
            return;
        }
        Write(line);
        Write("\r\n");
    }
    Status Flush();

private:
    static constexpr std::size_t kBufferSize = 1 << 20;

    // An empty view may hold no pointer at all, which memcpy must not see.
    static void Copy(char* to, std::string_view from) {
        if (!from.empty()) std::memcpy(to, from.data(), from.size());
    }
    void WriteSlowly(std::string_view bytes);
    void Put(const char* p, std::size_t n);

    int fd_;
    int error_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    bool early_ = false;
    std::uint64_t written_ = 0;
    std::uint64_t started_ = 0;  // bytes whose writeback has been started
};

// What opening a FIFO that no program reads yet does: fail at once with ENXIO,
// so that no caller is held by a reader that may never come, or wait for a
// reader, as a shell's redirection does.
enum class NoReader { Fail, Wait };

// The file behind a name: a regular file (or a new one) is written under a
// temporary name beside it and renamed over it by Commit, so it is either
// replaced whole or left as it was; the temporary file goes when a write
// fails, on SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGXFSZ too. Symbolic links are followed, so a
// link stays a link. Any other existing file (a device, a FIFO) is written
// straight into.
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    // Fails before anything is written when the name cannot be created.
    Status Open(const std::string& path, NoReader noReader = NoReader::Fail);
    BufferedWriter& Writer() { return out_; }
    Status Commit();

private:
    void Discard();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    int watch_ = -1;
    bool direct_ = false;
    BufferedWriter out_;
};

Status WriteWholeFile(const std::string& path, std::string_view bytes, NoReader noReader = NoReader::Fail);

}  // namespace tavrilo

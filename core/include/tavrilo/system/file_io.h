// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-exact file reading and writing that reports every failure.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tavrilo/system/status.h"

namespace tavrilo {


// Reads fd from where it stands to its end. A regular file is read into a
// buffer of its size; anything else in growing chunks.
Status ReadAll(int fd, std::string& bytes);
// The same, stopping after most bytes.
Status ReadAtMost(int fd, std::uint64_t most, std::string& bytes);

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

    void Reset(int fd);
    int Fd() const { return fd_; }
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
};

// What opening a FIFO that no program reads yet does: fail at once with ENXIO,
// so that no caller is held by a reader that may never come, or wait for a
// reader, as a shell's redirection does.
enum class NoReader { Fail, Wait };

// The file behind a name: a regular file (or a new one) is written as a new
// file in its folder that has no name until Commit links it under a temporary
// name and renames that over it (or, where the file system cannot make an
// unnamed file, under the temporary name from the start), so it is either
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
    Status NameUnnamed();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    int lock_ = -1;  // holds the temporary file's lock
    int watch_ = -1;
    bool direct_ = false;
    BufferedWriter out_;
};

Status WriteWholeFile(const std::string& path, std::string_view bytes, NoReader noReader = NoReader::Fail);

namespace detail {
// Runs, when set, after the finished file has its temporary name and before
// it is renamed over the target; tests end the process there.
extern void (*gBeforeRename)();
}  // namespace detail

// Files written into one folder as a set that replaces the set written there
// before, whole or not at all: they go to a hidden folder inside it first
// (removed on the signals AtomicFile handles; a marker inside tells a folder a
// kill left from the user's own) and are moved in together once all are
// written, with those signals held back; then the earlier set's files that the
// new set does not hold are removed. What the sets wrote is listed with each
// file's size and fingerprint in a hidden file of the folder, which must be a
// regular file of bounded size (a link or anything else there fails the set).
// A file counts as written by a set only when the list names it, the caller
// lets the set hold its name and its contents agree with the list; any other
// file is never replaced or removed. One set at a time per folder: a second
// fails while another is open.
class FileSet {
public:
    FileSet() = default;
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;
    ~FileSet();

    // dir must exist; listName is the hidden file's name; mayHold, when
    // given, says which names the set may hold; written, when given, whether
    // the file a list of the earlier form (names alone) names is one the
    // caller writes.
    using MayHold = bool (*)(const std::string& name);
    using Written = bool (*)(std::string_view bytes);
    Status Open(const std::string& dir, const std::string& listName, MayHold mayHold = nullptr,
                Written written = nullptr);
    Status Add(const std::string& name, std::string_view bytes);
    // Fails before anything is moved when a name is taken by a file that no
    // set wrote. removed receives how many files of the earlier set went.
    Status Commit(std::size_t& removed);
    // The names the list held that are not this program's files; left alone.
    const std::vector<std::string>& Unproven() const { return unproven_; }

    struct Entry {
        std::string name;
        std::uint64_t size = 0;
        std::uint64_t print = 0;  // fingerprint of the contents
    };

private:
    Status ReadList(MayHold mayHold, Written written);
    Status WriteList(const std::vector<Entry>& entries) const;

    std::string dir_, list_, staging_;
    int dirFd_ = -1;
    int stagingFd_ = -1;
    int watch_ = -1;
    std::vector<Entry> earlier_, added_;  // earlier_ sorted by name
    std::vector<std::string> unproven_;
    BufferedWriter out_;  // one buffer for every file of the set
};

}  // namespace tavrilo

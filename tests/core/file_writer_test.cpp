// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "tavrilo/system/file_io.h"
#include "temp_dir.h"

namespace tavrilo {
namespace {

using test::EntryCount;
using test::Slurp;
using test::Spit;
using test::TempDir;

mode_t TypeOf(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & S_IFMT;
}

// Runs body in a child process and returns its wait status.
template <class Body>
int InChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
}

// Lines that end just before, at and just past the end of the writer's 1 MiB
// buffer, after a buffer filled to different depths, come out whole.
TEST(BufferedWriter, LinesAroundTheBufferEnd) {
    constexpr std::size_t K = std::size_t(1) << 20;
    for (std::size_t before : {std::size_t(0), std::size_t(1), K - 3, K - 2, K - 1})
        for (std::size_t len : {std::size_t(0), std::size_t(1), K - 3, K - 2, K - 1, K, K + 1}) {
            const std::string head(before, 'h'), line(len, 'l');
            bool flushed = false;
            const std::string written = test::WrittenBy(
                [&](BufferedWriter& out) {
                    out.Write(head);
                    out.WriteCrLf(line);
                    out.Write("");
                    out.WriteCrLf("z");
                },
                &flushed);
            EXPECT_TRUE(flushed);
            ASSERT_TRUE(written == head + line + "\r\nz\r\n") << before << " + " << len;
        }
}

// The window cannot wait for a reader that may never come: asked to fail, the
// writer says so at once and the FIFO stays as it is.
TEST(AtomicFile, FifoWithNoReaderFailsAtOnceWhenAsked) {
    TempDir dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int status = InChild([&] {
        alarm(10);  // a wait would end the child by SIGALRM
        Status r = WriteWholeFile(fifo, "text", NoReader::Fail);
        return r.code == ENXIO && r.message == "no program reads from this FIFO" ? 0 : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(TypeOf(fifo), S_IFIFO);
    EXPECT_EQ(EntryCount(dir.path()), 1u);

    // With a reader it is written, and the writer's end blocks as usual.
    int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    AtomicFile file;
    ASSERT_TRUE(file.Open(fifo, NoReader::Fail).ok());
    file.Writer().Write(std::string(200000, 'x'));  // more than the pipe holds
    std::thread drain([&] {
        std::string got;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(reader, chunk, sizeof chunk);
            if (n > 0) got.append(chunk, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EAGAIN) break;
            else usleep(1000);
        }
        EXPECT_EQ(got.size(), 200000u);
    });
    EXPECT_TRUE(file.Commit().ok());
    drain.join();
    ::close(reader);
}

TEST(AtomicFile, DevicesAndFifosAreWrittenInPlace) {
    TempDir dir;
    const std::string null = dir / "null", full = dir / "full", fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The reader end, opened first, lets the writer in without waiting.
    int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(WriteWholeFile(fifo, "through the pipe").ok());
    char got[64] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 16);
    EXPECT_STREQ(got, "through the pipe");
    ::close(reader);
    EXPECT_EQ(TypeOf(fifo), S_IFIFO);

    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make device nodes here";
    EXPECT_TRUE(WriteWholeFile(null, std::string(3 << 20, 'x')).ok());
    Status r = WriteWholeFile(full, "x");
    EXPECT_EQ(r.code, ENOSPC);
    EXPECT_EQ(r.message, "No space left on device");
    EXPECT_EQ(TypeOf(null), S_IFCHR);
    EXPECT_EQ(TypeOf(full), S_IFCHR);
    EXPECT_EQ(EntryCount(dir.path()), 3u);  // no temporary file beside them
}

TEST(AtomicFile, LinksStayLinksDanglingOrNot) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::create_symlink("sub/new.txt", dir / "dangling");
    ASSERT_TRUE(WriteWholeFile(dir / "dangling", "made").ok());
    EXPECT_EQ(TypeOf(dir / "dangling"), S_IFLNK);
    EXPECT_EQ(Slurp(dir / "sub/new.txt"), "made");

    // A chain of links, one of them absolute.
    Spit(dir / "sub/old.txt", "old");
    std::filesystem::create_symlink(dir / "sub/old.txt", dir / "sub/first");
    std::filesystem::create_symlink("sub/first", dir / "second");
    ASSERT_TRUE(WriteWholeFile(dir / "second", "new").ok());
    EXPECT_EQ(TypeOf(dir / "second"), S_IFLNK);
    EXPECT_EQ(TypeOf(dir / "sub/first"), S_IFLNK);
    EXPECT_EQ(Slurp(dir / "sub/old.txt"), "new");
    EXPECT_EQ(EntryCount(dir / "sub"), 3u);
}

TEST(AtomicFile, FailedWriteLeavesTheTargetAsItWas) {
    TempDir dir;
    const std::string target = dir / "book.txt";
    const std::string old(10000, 'o');
    Spit(target, old);
    // A file size limit makes write fail with EFBIG part way, for a piece
    // through the buffer and for one written straight through.
    for (std::size_t piece : {std::size_t(100), std::size_t(2) << 20}) {
        SCOPED_TRACE(piece);
        int status = InChild([&] {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
            AtomicFile file;
            if (!file.Open(target).ok()) return 2;
            for (int i = 0; i < 100; ++i) file.Writer().Write(std::string(piece, 'n'));
            return file.Commit().code == EFBIG ? 0 : 1;
        });
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_TRUE(Slurp(target) == old);
        EXPECT_EQ(EntryCount(dir.path()), 1u);
    }
    {  // Not ignored, the file size signal ends the writer: its temporary file goes with it.
        const int status = InChild([&] {
            signal(SIGXFSZ, SIG_DFL);  // a runner may pass it on ignored
            struct rlimit noCore = {0, 0}, limit = {4096, 4096};
            setrlimit(RLIMIT_CORE, &noCore);
            setrlimit(RLIMIT_FSIZE, &limit);
            AtomicFile file;
            if (!file.Open(target).ok()) return 2;
            for (int i = 0; i < 100; ++i) file.Writer().Write(std::string(2 << 20, 'n'));
            return 3;
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
        EXPECT_TRUE(Slurp(target) == old);
        EXPECT_EQ(EntryCount(dir.path()), 1u);
    }
    {  // Dropped part way, as when an exception unwinds through it.
        AtomicFile file;
        ASSERT_TRUE(file.Open(target).ok());
        file.Writer().Write(std::string(3 << 20, 'n'));
    }
    EXPECT_TRUE(Slurp(target) == old);
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

// Root passes every permission check, so the refusals run as nobody.
TEST(AtomicFile, WriteProtectionAndOwnersAreKept) {
    constexpr uid_t kNobody = 65534;
    constexpr int kUnreachable = 77;  // a private TMPDIR that nobody cannot enter
    const bool root = geteuid() == 0;
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    const std::string locked = dir / "locked.txt", shut = dir / "shut", inShut = dir / "shut/open.txt";
    Spit(locked, "old");
    ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
    ASSERT_EQ(mkdir(shut.c_str(), 0755), 0);
    Spit(inShut, "old");
    if (root) {
        for (const std::string& p : {locked, shut, inShut}) ASSERT_EQ(chown(p.c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(chmod(shut.c_str(), 0555), 0);
    const int status = InChild([&] {
        if (root && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) return 2;
        if (access(dir.path().c_str(), X_OK) != 0) return kUnreachable;
        AtomicFile file;
        // A write-protected file is refused, as the shell refuses it.
        if (file.Open(locked).code != EACCES) return 3;
        // A writable file in a folder that takes no new file: the folder is named.
        const Status r = file.Open(inShut);
        if (r.code != EACCES || r.message.find("no new file can be made in the folder " + shut) == std::string::npos)
            return 4;
        return 0;
    });
    if (WIFEXITED(status) && WEXITSTATUS(status) == kUnreachable) {
        ASSERT_EQ(chmod(shut.c_str(), 0755), 0);
        GTEST_SKIP() << "nobody cannot reach the temporary folder";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Slurp(locked), "old");
    EXPECT_EQ(Slurp(inShut), "old");
    EXPECT_EQ(EntryCount(dir.path()), 2u);
    ASSERT_EQ(chmod(shut.c_str(), 0755), 0);

    // Root replacing another's file leaves it that owner's, with its mode.
    if (!root) GTEST_SKIP() << "only root can give a file to another owner";
    ASSERT_EQ(chmod(locked.c_str(), 0600), 0);
    AtomicFile file;
    ASSERT_TRUE(file.Open(locked).ok());
    file.Writer().Write("new");
    ASSERT_TRUE(file.Commit().ok());
    struct stat st {};
    ASSERT_EQ(stat(locked.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_gid, kNobody);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(Slurp(locked), "new");
}

TEST(AtomicFile, NamesThatCannotBeMadeFailAtOpen) {
    TempDir dir;
    AtomicFile file;
    EXPECT_EQ(file.Open(dir / std::string(300, 'n')).code, ENAMETOOLONG);
    EXPECT_EQ(file.Open(dir / "missing/x.txt").code, ENOENT);
    EXPECT_EQ(file.Open(dir.path() + "/").code, EISDIR);
    EXPECT_EQ(EntryCount(dir.path()), 0u);
}

TEST(AtomicFile, SignalsRemoveTheTemporaryFile) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(sig);
        TempDir dir;
        const std::string target = dir / "book.txt";
        Spit(target, "old");
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t pid = fork();
        if (pid == 0) {
            signal(sig, SIG_DFL);  // a background job starts with SIGINT and SIGQUIT ignored
            struct rlimit noCore = {0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            // Several MiB in, the parent is told; writing goes on slowly.
            AtomicFile file;
            if (!file.Open(target).ok()) _exit(2);
            const std::string chunk(1 << 20, 'x');
            for (int i = 0; i < 4; ++i) file.Writer().Write(chunk);
            if (::write(ready[1], "r", 1) != 1) _exit(2);
            for (int i = 0; i < 1000; ++i) {
                file.Writer().Write(chunk);
                usleep(10000);
            }
            _exit(3);
        }
        ::close(ready[1]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        kill(pid, sig);  // the temporary file has a name only where the file system cannot do without
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(EntryCount(dir.path()), 1u);
        EXPECT_EQ(Slurp(target), "old");
    }
}

TEST(ReadAll, ReadsFromWhereTheDescriptorStands) {
    TempDir dir;
    Spit(dir / "in.txt", "skip this, keep that");
    int fd = ::open((dir / "in.txt").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(lseek(fd, 11, SEEK_SET), 11);
    std::string bytes;
    ASSERT_TRUE(ReadAll(fd, bytes).ok());
    EXPECT_EQ(bytes, "keep that");
    ::close(fd);

    int p[2];
    ASSERT_EQ(pipe(p), 0);
    std::string big(200000, 'b');
    pid_t pid = fork();
    if (pid == 0) {
        ::close(p[0]);
        for (std::size_t at = 0; at < big.size();) at += ::write(p[1], big.data() + at, big.size() - at);
        _exit(0);
    }
    ::close(p[1]);
    ASSERT_TRUE(ReadAll(p[0], bytes).ok());
    ::close(p[0]);
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(bytes, big);
}

TEST(ReadRegularFile, RefusesOtherFilesAndLargeOnes) {
    TempDir dir;
    Spit(dir / "small.txt", "small");
    std::string bytes = "kept";
    std::uint64_t size = 0;
    ASSERT_TRUE(ReadRegularFile(dir / "small.txt", 5, bytes, size).ok());
    EXPECT_EQ(bytes, "small");
    EXPECT_EQ(size, 5u);

    Status r = ReadRegularFile(dir / "small.txt", 4, bytes, size);
    EXPECT_EQ(r.code, EFBIG);
    EXPECT_EQ(size, 5u);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (std::string other : {std::string("/dev/zero"), dir / "fifo"}) {
        r = ReadRegularFile(other, 1 << 20, bytes, size);
        EXPECT_EQ(r.code, EINVAL);
        EXPECT_EQ(r.message, "not a regular file");
    }
    EXPECT_EQ(ReadRegularFile(dir.path(), 1 << 20, bytes, size).code, EISDIR);
    // Most of /proc claims a size of 0 and holds far more.
    EXPECT_EQ(ReadRegularFile("/proc/self/maps", 16, bytes, size).code, EFBIG);
    EXPECT_EQ(bytes, "small");
}

// Even SIGKILL, which no handler sees, leaves nothing beside the user's file.
TEST(AtomicFile, KilledBeforeCommitLeavesOnlyTheOldFile) {
    TempDir dir;
    Spit(dir / "out", "old");
    const int status = InChild([&] {
        AtomicFile file;
        if (file.Open(dir / "out").ok()) file.Writer().Write(std::string(2 << 20, 'x'));  // past the buffer
        return raise(SIGKILL);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(EntryCount(dir.path()), 1u);
    EXPECT_EQ(Slurp(dir / "out"), "old");
}

// A run killed between naming the finished file and the rename leaves it
// beside OUT; the next write into the folder removes it, but not a live
// run's, nor a user's file under such a name.
TEST(AtomicFile, TheNextWriteRemovesATemporaryFileLeftByAKill) {
    TempDir dir;
    Spit(dir / ".tavrilo-backup", "mine");
    const pid_t live = fork();
    if (live == 0) _exit((detail::gBeforeRename = [] { sleep(60); }, WriteWholeFile(dir / "live", "L").ok()));
    for (int i = 0; i < 500 && EntryCount(dir.path()) < 2; ++i) usleep(10000);
    const int status = InChild([&] { return detail::gBeforeRename = [] { raise(SIGKILL); }, WriteWholeFile(dir / "out", "x").ok(); });
    ASSERT_TRUE(WIFSIGNALED(status) && EntryCount(dir.path()) == 3u) << status;
    ASSERT_TRUE(WriteWholeFile(dir / "next", "n").ok());
    kill(live, SIGKILL), waitpid(live, nullptr, 0);
    EXPECT_EQ(EntryCount(dir.path()), 3u);  // the user's, the live run's and next
    EXPECT_EQ(Slurp(dir / ".tavrilo-backup"), "mine");
}

}  // namespace
}  // namespace tavrilo

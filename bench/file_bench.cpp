// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's work end to end: a text in memory to a program file on
// disk through the file writer, with an upper-casing copy (what tr does) as
// the yardstick. The files go to the system's temporary folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "prose.h"
#include "io.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/system/file_io.h"
#include "tavrilo/convert/text_rules.h"

namespace {

using namespace tavrilo;
using bench::Prose;

std::string OutName(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

void BM_UpperCaseToFile(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    const std::string out = OutName("tavrilo-bench-upper.txt");
    char chunk[1 << 16];
    for (auto _ : state) {
        int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (std::size_t at = 0; at < text.size(); at += sizeof chunk) {
            const std::size_t n = std::min(sizeof chunk, text.size() - at);
            for (std::size_t i = 0; i < n; ++i) {
                const char c = text[at + i];
                chunk[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
            }
            if (::write(fd, chunk, n) != static_cast<ssize_t>(n)) state.SkipWithError("write");
        }
        // With a second argument of 1 the copy is synced, as the file writer's output is.
        if (state.range(1) != 0 && ::fsync(fd) != 0) state.SkipWithError("fsync");
        ::close(fd);
    }
    std::remove(out.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_BasicToFile(benchmark::State& state) {
    const std::string& prose = Prose(static_cast<std::size_t>(state.range(0)));
    const std::string out = OutName("tavrilo-bench-basic.txt");
    for (auto _ : state) {
        std::string text = prose;
        ChkBadChrsInPlace(text);
        AtomicFile file;
        if (!file.Open(out).ok()) state.SkipWithError("open");
        cli::WriteBasic(text, file.Writer());
        file.Writer().Write("\n");
        if (!file.Commit().ok()) state.SkipWithError("commit");
    }
    std::remove(out.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * prose.size()));
}

void BM_AsmToFile(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    const std::string out = OutName("tavrilo-bench.asm");
    for (auto _ : state) {
        AtomicFile file;
        if (!file.Open(out).ok()) state.SkipWithError("open");
        cli::WriteAsm(text, AsmOpts{}, file.Writer());
        if (!file.Commit().ok()) state.SkipWithError("commit");
    }
    std::remove(out.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The assembly source made beforehand, only written as the file writer
// writes it: the least that making it can cost.
void BM_AsmSourceCopyToFile(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    std::string source;
    struct Collect : LineSink {
        std::string& s;
        explicit Collect(std::string& to) : s(to) {}
        void Line(std::string_view l) override {
            s += l;
            s += "\r\n";
        }
    } collect(source);
    StreamAsm(text, AsmOpts{}, collect);
    const std::string out = OutName("tavrilo-bench-copy.asm");
    for (auto _ : state) {
        AtomicFile file;
        if (!file.Open(out).ok()) state.SkipWithError("open");
        for (std::size_t at = 0; at < source.size(); at += 1 << 16)
            file.Writer().Write(std::string_view(source).substr(at, 1 << 16));
        if (!file.Commit().ok()) state.SkipWithError("commit");
    }
    std::remove(out.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

constexpr int64_t kMiB = 1 << 20;

}  // namespace

BENCHMARK(BM_UpperCaseToFile)->Args({16 * kMiB, 0})->Args({16 * kMiB, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BasicToFile)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AsmToFile)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AsmSourceCopyToFile)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond)->UseRealTime();

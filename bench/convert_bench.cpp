// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the conversion on book-sized prose, with memcpy as the yardstick.
#include <benchmark/benchmark.h>

#include <cstring>

#include "tavrilo/convert/asm.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/convert/text_rules.h"
#include "tavrilo/calc/ce_program.h"
#include "tavrilo/calc/tokens.h"
#include "tavrilo/convert/ce.h"
#include "prose.h"

namespace {

using namespace tavrilo;
using bench::Prose;

class Discard : public LineSink {
public:
    void Line(std::string_view line) override { bytes += line.size(); }
    std::size_t bytes = 0;
};

void BM_Memcpy(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    std::string copy(text.size(), '\0');
    for (auto _ : state) {
        std::memcpy(copy.data(), text.data(), text.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ChkBadChrs(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(ChkBadChrs(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_T2Basic(benchmark::State& state) {
    std::string text = ChkBadChrs(Prose(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(T2Basic(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_MakeAsm(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    LineStore store;
    for (auto _ : state) {
        Discard sink;
        MakeAsm(text, AsmOpts{}, sink, store);
        benchmark::DoNotOptimize(sink.bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_Tokenize(benchmark::State& state) {
    const std::string program = T2Basic(ChkBadChrs(Prose(static_cast<std::size_t>(state.range(0)))));
    std::string tokens;
    tokens.reserve(program.size());
    for (auto _ : state) {
        tokens.clear();
        benchmark::DoNotOptimize(Tokenize(program, tokens));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * program.size()));
}

// The CE program of prose: its characters, then its tokens (a text past the
// CE's limit is counted and refused, which is what a long text costs).
void BM_CeProgram(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    std::string tokens;
    for (auto _ : state) {
        std::size_t leftOut = 0;
        benchmark::DoNotOptimize(CeProgramTokens(CeChars(text, leftOut), tokens).ok());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

constexpr int64_t kMiB = 1 << 20;

}  // namespace

BENCHMARK(BM_Memcpy)->Arg(kMiB)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChkBadChrs)->Arg(kMiB)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_T2Basic)->Arg(kMiB)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeAsm)->Arg(kMiB)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_CeProgram)->Arg(16 << 10)->Arg(kMiB)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tokenize)->Arg(64 << 10)->Arg(kMiB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

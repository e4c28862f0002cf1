// SPDX-License-Identifier: GPL-3.0-or-later
// The assembly program file: the GNU as source of book-sized prose, the
// refusal of a text too large before anything is built, the hex digits, and a
// whole build of a program that fits, tools included.
#include <benchmark/benchmark.h>

#include "prose.h"
#include "tavrilo/calc/asm_build.h"
#include "tavrilo/calc/asm_program_file.h"

namespace {

using namespace tavrilo;
using bench::Prose;

void BM_GnuAsSource(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        GnuAsSource source("eq.inc");
        LineStore data;
        MakeAsm(text, AsmOpts{}, source, data);
        benchmark::DoNotOptimize(source.Text().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_CheckAsmTextSize(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    const CalcKind kind = static_cast<CalcKind>(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(CheckAsmTextSize(text, kind));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_HexTokens(benchmark::State& state) {
    const std::string code(static_cast<std::size_t>(state.range(0)), '\xA7');
    for (auto _ : state) benchmark::DoNotOptimize(HexTokens(code));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * code.size()));
}

void BM_AsmProgramTokens(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    const CalcKind kind = static_cast<CalcKind>(state.range(1));
    std::string tokens;
    for (auto _ : state) {
        const Status r = AsmProgramTokens(text, AsmOpts{}, kind, tokens);
        if (!r.ok()) state.SkipWithError(r.message.c_str());
        benchmark::DoNotOptimize(tokens.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_GnuAsSource)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);
// The second argument is the calculator: 0 the TI-83, 1 the TI-83 Plus.
BENCHMARK(BM_CheckAsmTextSize)->Args({10 << 20, 0})->Args({10 << 20, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexTokens)->Arg(27865)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AsmProgramTokens)
    ->Args({4 << 10, 0})
    ->Args({8 << 10, 0})
    ->Args({4 << 10, 1})
    ->Args({8 << 10, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

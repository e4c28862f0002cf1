// SPDX-License-Identifier: GPL-3.0-or-later
// The screen model and renderer on book-sized prose: what the Preview window
// pays after a pause in typing (the index) and per page turn (one screen).
#include <benchmark/benchmark.h>

#include "prose.h"
#include "tavrilo/screens/lcd.h"
#include "tavrilo/screens/screens.h"

namespace {

using namespace tavrilo;
using bench::Prose;

void BM_ScreenModelAsm(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    std::size_t count = 0;
    for (auto _ : state) {
        ScreenModel m = ScreenModel::ForAsm(text, AsmOpts{});
        count = m.Count();
        benchmark::DoNotOptimize(count);
    }
    state.counters["screens"] = double(count);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ScreenModelBasic(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(ScreenModel::ForBasic(text).Count());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ScreenModelCe(benchmark::State& state) {
    const std::string& text = Prose(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(ScreenModel::ForCe(text).Count());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// One screen from the middle of the text, laid out and drawn.
void BM_ScreenAtAndRender(benchmark::State& state) {
    const ScreenModel m = ScreenModel::ForAsm(Prose(static_cast<std::size_t>(state.range(0))), AsmOpts{});
    const std::size_t middle = m.Count() / 2;
    for (auto _ : state) benchmark::DoNotOptimize(Render(m.At(middle)).image.Pixels().data());
}

constexpr int64_t kTenMiB = 10 << 20;

}  // namespace

BENCHMARK(BM_ScreenModelAsm)->Arg(1 << 20)->Arg(kTenMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenModelBasic)->Arg(kTenMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenModelCe)->Arg(1 << 20)->Arg(kTenMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenAtAndRender)->Arg(kTenMiB)->Unit(benchmark::kMicrosecond);

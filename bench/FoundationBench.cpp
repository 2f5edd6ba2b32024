// Per-sample costs of the series every frame passes through.

#include "foundation/DataArray.h"
#include "foundation/Extended.h"

#include <benchmark/benchmark.h>

namespace marevo {
namespace {

void BM_LinearAppend(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TLinearArray a;
        for (int i = 0; i < n; ++i)
            a.AddFV(TFlaggedValue{float(i), 0});
        benchmark::DoNotOptimize(a.LastIndice);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_LinearAppend)->Arg(71'325)->Arg(2'764'800);

void BM_RingAddAndLookBack(benchmark::State& state) {
    TCyclicArray ring(2000);
    float sum = 0;
    for (auto _ : state) {
        ring.AddFV(TFlaggedValue{sum, 0});
        sum += ring.PrecValue(24);
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RingAddAndLookBack);

void BM_ExtendedRoundTrip(benchmark::State& state) {
    double x = 1.2345;
    for (auto _ : state) {
        x = TExtended::FromDouble(x).ToDouble() + 1e-9;
        benchmark::DoNotOptimize(x);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExtendedRoundTrip);

} // namespace
} // namespace marevo

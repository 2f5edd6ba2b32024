// Cost per sample of the seawater formulas over a million samples: the pure functions in long
// double (as the parameters evaluate them) and in double, and the salinity parameter's series
// form with its limits and flags. The counter ns_per_sample is the figure to compare;
// bench/gsw_compare.py sets it against the reference Python library on the same samples.

#include "parameters/Parameter.h"
#include "parameters/Seawater.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using namespace marevo;
namespace sw = seawater;

constexpr int SampleCount = 1'000'000;

// Sample i spreads over the oceanic range by the fractional parts of i times irrational steps;
// gsw_compare.py forms the same samples: t -2..35 degC, C 20..65 mS/cm, S 2..42, p 0..10000 dbar.
double Spread(long long i, double step) {
    const double x = static_cast<double>(i) * step;
    return x - std::floor(x);
}

struct TSamples {
    std::vector<double> t, C, S, p;
    TSamples() {
        for (long long i = 0; i < SampleCount; ++i) {
            t.push_back(-2 + 37 * Spread(i, 0.6180339887498949));
            C.push_back(20 + 45 * Spread(i, 0.4142135623730950));
            S.push_back(2 + 40 * Spread(i, 0.7320508075688772));
            p.push_back(10000 * Spread(i, 0.2360679774997897));
        }
    }
};

const TSamples& Samples() {
    static const TSamples samples;
    return samples;
}

void PerSample(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * SampleCount);
    state.counters["ns_per_sample"] =
        benchmark::Counter(SampleCount * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                   benchmark::Counter::kInvert);
}

template <class Real, class F> void RunOverSamples(benchmark::State& state, F f) {
    const TSamples& s = Samples();
    for (auto _ : state) {
        Real sum = 0;
        for (int i = 0; i < SampleCount; ++i)
            sum += f(i, s);
        benchmark::DoNotOptimize(sum);
    }
    PerSample(state);
}

template <class Real> void BM_SalinityPSS78(benchmark::State& state) {
    RunOverSamples<Real>(state, [](int i, const TSamples& s) {
        return sw::SalinityPSS78<Real>(s.C[i], s.t[i], s.p[i]);
    });
}

template <class Real> void BM_SigmaEOS80(benchmark::State& state) {
    RunOverSamples<Real>(state, [](int i, const TSamples& s) {
        return sw::SigmaEOS80<Real>(s.S[i], s.t[i], s.p[i]);
    });
}

template <class Real> void BM_PotentialTemperature(benchmark::State& state) {
    RunOverSamples<Real>(state, [](int i, const TSamples& s) {
        return sw::PotentialTemperature<Real>(s.S[i], s.t[i], s.p[i], 0);
    });
}

template <class Real> void BM_SoundSpeed(benchmark::State& state) {
    RunOverSamples<Real>(state, [](int i, const TSamples& s) {
        return sw::SoundSpeedChenMillero<Real>(s.S[i], s.t[i], s.p[i]);
    });
}

// The salinity parameter over binned series, as CalculateAll extends it.
void BM_SalinityParameterSeries(benchmark::State& state) {
    const TSamples& s = Samples();
    TLinearArray pres, temp, cond;
    for (int i = 0; i < SampleCount; ++i) {
        pres.Add(static_cast<float>(s.p[i]), 0);
        temp.Add(static_cast<float>(s.t[i]), 0);
        cond.Add(static_cast<float>(s.C[i]), 0);
    }
    TParameter salinity;
    salinity.SetDefPara(404);
    const TPFVA series{&pres, &temp, &cond};
    const TFormulaSettings settings;
    for (auto _ : state) {
        float sum = 0;
        for (int i = 0; i < SampleCount; ++i)
            sum += salinity.MainFunc(i, series, nullptr, settings).value;
        benchmark::DoNotOptimize(sum);
    }
    PerSample(state);
}

BENCHMARK(BM_SalinityPSS78<long double>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SalinityPSS78<double>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SigmaEOS80<long double>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SigmaEOS80<double>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PotentialTemperature<long double>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PotentialTemperature<double>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SoundSpeed<long double>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SoundSpeed<double>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SalinityParameterSeries)->Unit(benchmark::kMillisecond);

} // namespace

// Frames per second through the frame ring, from a raw file (DF6, 40-byte frames).

#include "foundation/Stream.h"
#include "probelink/InputBuffer.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace marevo {
namespace {

constexpr int FrameSize = 40;
constexpr int Frames = 100'000;

std::vector<std::uint8_t> RawStream() {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> channels(FrameSize);
    for (int k = 0; k < Frames; ++k) {
        TFrameHead head;
        head.counter = static_cast<std::uint16_t>(k);
        head.timeCount = 1000 + 42ull * static_cast<unsigned>(k);
        for (std::size_t i = 0; i < channels.size(); ++i)
            channels[i] = static_cast<std::uint8_t>(k + static_cast<int>(i));
        const auto f = EncodeFrame(TFrameFormat::DF6, head, channels, FrameSize);
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    return bytes;
}

std::int64_t Replay(TStream& in) {
    TRawBuffer frame{};
    TRingContext context;
    TCyclicInputBuffer ring(frame, FrameSize, context);
    TStreamByteSource source(in);
    std::int64_t accepted = 0;
    const std::int64_t size = in.Size();
    while (in.Position() < size)
        if (ring.ReadNewRawSet(source)) {
            ++accepted;
            ++context.RawIndex;
        }
    return accepted;
}

void BM_FrameRingFromRawFile(benchmark::State& state) {
    const auto file = std::filesystem::temp_directory_path() / "marevo-bench.raw";
    {
        TFileStream out(file, TFileMode::Create);
        const auto bytes = RawStream();
        out.Write(bytes.data(), bytes.size());
    }
    for (auto _ : state) {
        TFileStream in(file, TFileMode::OpenRead);
        benchmark::DoNotOptimize(Replay(in));
    }
    std::filesystem::remove(file);
    state.SetItemsProcessed(state.iterations() * Frames);
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()) * Frames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameRingFromRawFile)->Unit(benchmark::kMillisecond);

void BM_FrameRingFromMemory(benchmark::State& state) {
    const auto bytes = RawStream();
    for (auto _ : state) {
        TMemoryStream in(bytes);
        benchmark::DoNotOptimize(Replay(in));
    }
    state.SetItemsProcessed(state.iterations() * Frames);
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()) * Frames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameRingFromMemory)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace marevo

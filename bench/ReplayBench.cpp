// End-to-end replay of recorded casts: a DF6 raw file through the data source, frame ring,
// decoding and calibration, validation, post-processing, cast state and binning, the end of the
// cast, and the computed parameters of the binned table; then the text export of the binned
// table, and the same table as NetCDF and ODV files. Figures: frames per second, nanoseconds per
// frame (to see the cost grow linearly), peak memory against the stored series, and the exports'
// MB/s.

#include "app/AppContext.h"
#include "foundation/Stream.h"
#include "probelink/CnvCast.h"
#include "probelink/FrameFormat.h"
#include "probelink/RawStream.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "records/GenConfig.h"
#include "shell/Application.h"
#include "storage/ProfileExport.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace marevo {
namespace {

namespace fs = std::filesystem;

// The raw files of the run, removed when the program ends.
struct TBenchDir {
    fs::path path = fs::temp_directory_path() / ("marevo-bench-" + std::to_string(::getpid()));
    TBenchDir() { fs::create_directories(path); }
    ~TBenchDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};
const fs::path& BenchDir() {
    static const TBenchDir dir;
    return dir.path;
}

// Peak resident memory of the process [MB] since the last ResetPeak.
double PeakMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}
double CurrentMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The application objects of one replay.
struct TApp : TApplication {
    TCastInfo header;

    // A DF6 probe of these channels, each a single float, binned at 1 dbar by averaging.
    explicit TApp(const std::vector<int>& channels) : TApplication(BenchDir() / "data") {
        probe.DefaultParamCol();
        std::vector<int> numbers{6, 100};
        numbers.insert(numbers.end(), channels.begin(), channels.end());
        numbers.push_back(4);
        for (int n : numbers) {
            TParameter* p = cast.Add(std::make_unique<TParameter>());
            p->SetDefPara(n);
            p->SetPosInProbe(cast.Count());
            if (p->ParaType() == Pt_Raw) {
                p->paraRaw.ConvType = ParaConvSingle;
                p->paraRaw.CalibType = ParaCalibNone;
            }
        }
        cast.ProbeInfo.Protocol = 6;
        cast.BuildProbeInfo();
        TAcquiCfg& acq = config.AcquiCfg;
        acq.AcquiMode = AM_Pressure;
        acq.VertUnit = vu_dbar;
        acq.VertStep = acq.VertFirst = acq.VertMeanItv = acq.VertAlghMethod =
            TExtended::FromDouble(1);
        acq.VertMean = 1;
        acq.AutoStart = SM_Manual;
        cast.InitRoundBuffer();
        cast.InitLinearBuffer();
        cast.Loaded.CastHeader = &header;
    }

    // Replays the raw file, ends the cast and computes the binned table's computed parameters;
    // the number of frames taken in.
    std::int64_t Replay(const fs::path& file) {
        cast.SetSortInfo();
        auto source = TRawStream::Create(&cast);
        source->OpenFile(file);
        cast.ReservePostSeries(static_cast<std::int64_t>(fs::file_size(file)) /
                               std::max(1, source->FrameSize()));
        std::int64_t frames = 0;
        while (!source->EndOfStream())
            frames += cast.DoAcqui(*source);
        cast.DoAcquiEnd();
        const TValueContext ctx =
            ValueContextOf(cast, config.GenCfg, config.DataValidation, -17.98);
        for (const auto& p : cast)
            p->CalcUpdated(ctx);
        cast.DetachFrameSource();
        return frames;
    }

    // Bytes of every stored series (post-processed and binned).
    double SeriesMB() const {
        double bytes = 0;
        for (const auto& p : cast) {
            if (p->PostLinBuf)
                bytes += p->PostLinBuf->Count() * double(sizeof(TFlaggedValue));
            if (p->SortedBuffer)
                bytes += p->SortedBuffer->Count() * double(sizeof(TFlaggedValue));
        }
        return bytes / (1024.0 * 1024.0);
    }
};

const std::vector<int> RealChannels{101, 110, 111, 120, 121, 130, 147, 140};
const std::vector<int> SyntheticChannels{101, 110, 111, 120, 121, 130,
                                         147, 140, 135, 146, 132, 134};

// The real 24 Hz cast as a DF6 raw file.
const fs::path& RealCastRaw() {
    static const fs::path file = [] {
        const fs::path out = BenchDir() / "real.raw";
        const TCnvCast table = ReadCnvCast(fs::path(MAREVO_SOURCE_DIR) / "data" / "real-casts" /
                                           "south-atlantic-2011-24hz.cnv.bz2");
        const char* names[] = {"prDM",  "t090C",   "t190C", "c0S/m",
                               "c1S/m", "sbeox0V", "par",   "altM"};
        const double scale[] = {1, 1, 1, 10, 10, 1, 1, 1};
        int columns[std::size(names)];
        for (std::size_t i = 0; i < std::size(names); ++i)
            columns[i] = table.Column(names[i]);
        const std::size_t time = static_cast<std::size_t>(table.Column("timeS"));
        TApp app(RealChannels);
        TFileStream stream(out, TFileMode::Create);
        TSingleFrameWriter writer(stream, TFrameFormat::DF6, app.cast.FrameInfo.RawSize);
        std::vector<double> values(std::size(names));
        for (std::size_t s = 0; s < table.ScanCount(); ++s) {
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] = table.At(s, static_cast<std::size_t>(columns[i])) * scale[i];
            TFrameHead head;
            head.counter = static_cast<std::uint16_t>(s);
            head.timeCount = static_cast<std::uint64_t>(std::llround(table.At(s, time) * 1000));
            writer.Write(head, values);
        }
        writer.Flush();
        return out;
    }();
    return file;
}

// A slow synthetic cast at 32 Hz: down to 2000 dbar in the first half, back up in the second,
// with 12 channels; hours of it.
fs::path SyntheticRaw(double hours) {
    const fs::path out = BenchDir() / ("synthetic-" + std::to_string(int(hours * 100)) + ".raw");
    if (fs::exists(out))
        return out;
    TApp app(SyntheticChannels);
    TFileStream stream(out, TFileMode::Create);
    TSingleFrameWriter writer(stream, TFrameFormat::DF6, app.cast.FrameInfo.RawSize);
    const std::int64_t frames = std::llround(hours * 3600 * 32);
    std::vector<double> v(SyntheticChannels.size());
    for (std::int64_t k = 0; k < frames; ++k) {
        const double t = k / 32.0;
        const double half = frames / 64.0;
        const double p = 2 + 1998 * (t < half ? t / half : (2 * half - t) / half) +
                         0.3 * std::sin(t * 0.8); // the ship's heave
        const double temp = 2 + 18 / (1 + std::exp((p - 150) / 60));
        v = {p,
             temp,
             temp + 0.001,
             33 + 0.2 * temp,
             33.01 + 0.2 * temp,
             2.4 - p / 5000,
             1000 * std::exp(-p / 30),
             std::max(0.0, 2010 - p),
             95,
             0.1,
             150,
             0.5};
        TFrameHead head;
        head.counter = static_cast<std::uint16_t>(k);
        head.timeCount = static_cast<std::uint64_t>(std::llround(1000 + t * 1000));
        writer.Write(head, v);
    }
    writer.Flush();
    return out;
}

void Report(benchmark::State& state, std::int64_t frames, double peak, double before,
            double series) {
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["frames"] = double(frames);
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()) * double(frames),
                                                    benchmark::Counter::kIsRate);
    state.counters["ns/frame"] =
        benchmark::Counter(double(state.iterations()) * double(frames),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peakMB"] = peak - before;
    state.counters["seriesMB"] = series;
}

void BM_ReplayRealCast(benchmark::State& state) {
    const fs::path& file = RealCastRaw();
    std::int64_t frames = 0;
    double peak = 0, before = 0, series = 0;
    for (auto _ : state) {
        before = CurrentMB();
        ResetPeak();
        TApp app(RealChannels);
        frames = app.Replay(file);
        peak = PeakMB();
        series = app.SeriesMB();
    }
    Report(state, frames, peak, before, series);
}
BENCHMARK(BM_ReplayRealCast)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arg: hundredths of an hour (24, 240, 2400: 1x, 10x and 100x; the last is the 24-hour cast).
void BM_ReplaySynthetic(benchmark::State& state) {
    const fs::path file = SyntheticRaw(state.range(0) / 100.0);
    std::int64_t frames = 0;
    double peak = 0, before = 0, series = 0;
    for (auto _ : state) {
        before = CurrentMB();
        ResetPeak();
        TApp app(SyntheticChannels);
        frames = app.Replay(file);
        peak = PeakMB();
        series = app.SeriesMB();
    }
    Report(state, frames, peak, before, series);
}
BENCHMARK(BM_ReplaySynthetic)
    ->Arg(24)
    ->Arg(240)
    ->Arg(2400)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The 24-hour cast binned every second, with the export's columns (the 12 channels, the time
// counter and four computed columns) in both directions.
void BinDayCast(TApp& app) {
    const fs::path raw = SyntheticRaw(24);
    TAcquiCfg& acq = app.config.AcquiCfg;
    acq.AcquiMode = AM_Time;
    acq.TimeStep = acq.TimeMeanItv = 1.0 / 86400;
    acq.TimeFirst = 0;
    acq.TimeMean = 1;
    app.Replay(raw);
    TTextFileCfg& text = app.config.DataTextCfg;
    SetParaListNumbers(text.ParaList, {100, 101, 110, 111, 120, 121, 130, 147, 140, 135, 146, 132,
                                       134, 401, 403, 404, 599});
    text.Direction = 3;
}

// The text export of the 24-hour cast binned every second: 86 400 rows of the 12 channels, the
// time counter and four computed columns, both directions.
void BM_TextExport24h(benchmark::State& state) {
    TApp app(SyntheticChannels);
    BinDayCast(app);
    const fs::path out = BenchDir() / "export.txt";
    double bytes = 0;
    for (auto _ : state) {
        std::int32_t start = 0;
        app.cast.TxtSave(out, false, false, start);
        bytes = double(fs::file_size(out));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["rows"] = app.cast.Bin.SortInfo.MaxIndex + 1;
    state.counters["fileMB"] = bytes / (1024.0 * 1024.0);
}
BENCHMARK(BM_TextExport24h)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same table as a NetCDF-4 file (CF profile) and as an ODV spreadsheet: the table collected
// from the cast and the file written, per iteration. MB/s of the file written.
void BM_ProfileExport24h(benchmark::State& state) {
    const TExportFormat format = state.range(0) == 0 ? TExportFormat::NetCdf : TExportFormat::Odv;
    TApp app(SyntheticChannels);
    BinDayCast(app);
    const fs::path out = BenchDir() / (format == TExportFormat::NetCdf ? "export.nc" : "export_odv.txt");
    TCastInfo header;
    header.ID = 1;
    double bytes = 0;
    std::size_t levels = 0;
    for (auto _ : state) {
        std::string problem;
        const TProfile profile = CollectProfile(app.cast, header, nullptr, problem);
        if (!problem.empty()) {
            state.SkipWithError(problem.c_str());
            return;
        }
        levels = profile.Levels();
        WriteProfiles(out, {profile}, format, "bench");
        bytes = double(fs::file_size(out));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["rows"] = double(levels);
    state.counters["fileMB"] = bytes / (1024.0 * 1024.0);
}
BENCHMARK(BM_ProfileExport24h)
    ->ArgName("odv")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace
} // namespace marevo

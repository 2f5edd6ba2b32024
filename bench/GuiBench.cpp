// How long the main window's GUI thread goes without serving its events while casts are imported
// and opened: a 5 ms timer on the GUI thread notes the longest gap between its ticks. The real
// cast of data/real-casts (71 325 frames) is recorded as a logger recording, imported (long work
// on the worker) and opened again (its binary file read on the worker); for comparison the same
// opening straight on the GUI thread, as a window without a worker would do it.

#include "SimRecording.h"
#include "foundation/Runtime.h"
#include "platform/Clock.h"
#include "platform/Operator.h"
#include "records/CastInfo.h"
#include "shell/Application.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include <unistd.h>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The longest gap between two ticks of a 5 ms timer while work runs [ms].
template <class Work>
double LongestGap(Work&& work) {
    double longest = 0;
    auto last = Clock::now();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });
    tick.start(5);
    last = Clock::now();
    work();
    // The time since the last tick counts too: a blocking call shows there.
    return std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - last).count());
}

void BM_MainWindowGuiGaps(benchmark::State& state) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench_gui";
    char* argv[] = {name, nullptr};
    QApplication qapp(argc, argv);
    const fs::path dir = fs::temp_directory_path() / ("marevo-bench-gui-" + std::to_string(getpid()));
    TSilentOperator op;
    TRuntimeScope runtime({nullptr, &op, nullptr, nullptr});
    double importGap = 0, openGap = 0, blockingOpen = 0;
    for (auto _ : state) {
        fs::remove_all(dir);
        TApplication app(dir / "data");
        TMainForm form(app);
        if (!form.StartUp()) {
            state.SkipWithError("start-up failed");
            return;
        }
        sim::TSimRecording rec;
        rec.cnvCast = fs::path(MAREVO_SOURCE_DIR) / "data/real-casts/south-atlantic-2011-24hz.cnv.bz2";
        sim::TSimRecordingResult recorded;
        fs::create_directories(dir / "logger");
        {
            // The recording runs on a clock that moves only when it sleeps.
            TFakeClock fake;
            TRuntimeScope fakeTime({&fake, nullptr, nullptr, nullptr});
            if (!sim::RecordSimulatedCast(dir / "logger" / "REAL001.raw", rec, recorded)) {
                state.SkipWithError(recorded.error.c_str());
                return;
            }
        }
        form.Shell().NewCruise([](TCastInfo& c) {
            c.InfoStr[1].Set("B");
            c.InfoStr[2].Set("B");
            return true;
        });
        app.config.GenCfg.CruiseName.Set("B");
        form.LoggerFilesDialog = [&] { return std::vector<fs::path>{recorded.raw}; };
        importGap = LongestGap([&] {
            form.Action("ImportLoggersTool")->trigger();
            form.WaitLongWork();
        });
        openGap = LongestGap([&] {
            form.OpenCast("B", 1);
            form.WaitLongWork();
        });
        blockingOpen = LongestGap([&] { form.Shell().OpenCast("B", 1); });
        if (form.Shell().LoadedCastNumber() != 1)
            state.SkipWithError("the cast did not open");
    }
    fs::remove_all(dir);
    state.counters["import_gap_ms"] = importGap;
    state.counters["open_gap_ms"] = openGap;
    state.counters["open_on_gui_ms"] = blockingOpen;
}
BENCHMARK(BM_MainWindowGuiGaps)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace marevo

// A real-time cast through the main window's own actions, off screen, against the simulated
// probe on a pseudo-terminal: the acquisition mode while it runs, the link indicator and the live
// values handed over by the worker, Continue, then Save and Exit back to the normal mode with the
// cast stored in the cruise and shown.

#include "ui/MainForm.h"

#include "foundation/Runtime.h"
#include "platform/Clock.h"
#include "probelink/FileComm.h"
#include "probelink/RawStream.h"
#include "records/Environ.h"
#include "support/AppEnv.h"
#include "ui/PlotForm.h"
#include "ui/QtSeams.h"
#include "ui/SimulatedProbe.h"

#include <QAction>
#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <deque>

namespace marevo {
namespace {

namespace fs = std::filesystem;

using test::OpenDevice;
using test::RunUntil;

struct TAcquiUiTest : ::testing::Test {
    TAcquiUiTest() {
        form.OpenDataDialog = [] { return std::nullopt; };
        // "No Rosette connected" unless a test fires bottles.
        form.FirstBottleBox = [](const TRosetteInfo&) { return std::optional<std::int32_t>(); };
        form.NewCruiseDialog = [](TCastInfo& c) {
            c.InfoStr[1].Set("CR");
            c.InfoStr[2].Set("CR");
            return true;
        };
    }
    bool Enabled(const char* name) const { return form.Action(name)->isEnabled(); }

    test::TAppEnv env;
    // The probe answers in real time; the worker hands its steps to the GUI thread.
    TSystemClock wallClock;
    TQtMainThread mainThread;
    TRuntimeScope scope{{&wallClock, nullptr, &mainThread, nullptr}};
    TMainForm form{env};
};

TEST_F(TAcquiUiTest, ACastFromTheRecordButtonToSaveAndExit) {
    test::TSimulatorProcess sim{{"--rate", "32", "--bottom", "20", "--duration", "120"}};
    ASSERT_FALSE(sim.device.empty()) << "the simulator gave no probe device";
    ASSERT_TRUE(form.StartUp());
    form.PlotWindow()->resize(600, 500); // a plot window on the screen
    form.PlotWindow()->show();
    form.Action("FileNew")->trigger();
    env.config.GenCfg.CruiseName.Set("CR");
    form.NewCastDialog = [] { return true; };
    // Whether the GUI thread opened the port to wake and identify the probe.
    std::atomic<int> opens{0}, onGuiThread{0};
    form.PrepareCast = [&](TRTCast& cast) {
        cast.OpenProbePort = [&] {
            ++opens;
            onGuiThread += QThread::currentThread() == QCoreApplication::instance()->thread();
            return OpenDevice(sim.device);
        };
        cast.OpenSource = [&](const fs::path& raw, TParamCollection& col, bool& isOpen) {
            TRawStream::TPorts ports;
            ports.probe = OpenDevice(sim.device);
            return TRawStream::CreateOnPorts(std::move(ports), isOpen, raw, &col);
        };
    };
    std::deque<TCloseAnswer> answers{TCloseAnswer::Continue, TCloseAnswer::SaveAndExit};
    form.CloseAcquisitionDialog = [&] {
        const TCloseAnswer a = answers.front();
        answers.pop_front();
        return a;
    };

    form.Action("StartCast")->trigger();
    // The probe is woken and identified on the long-work worker: the window is free meanwhile
    // (the mode changes it hands over are served by the event loop).
    EXPECT_TRUE(form.LongWorkRunning());
    EXPECT_FALSE(form.CastRunning());
    form.WaitLongWork();
    ASSERT_TRUE(form.CastRunning()) << ::testing::PrintToString(env.LogMessages());
    EXPECT_GT(opens, 0);
    EXPECT_EQ(onGuiThread, 0);
    EXPECT_EQ(form.Shell().Mode(), TShellMode::Acquisition);
    EXPECT_TRUE(form.RecordButtonDown());
    EXPECT_FALSE(Enabled("StartCast"));
    EXPECT_TRUE(Enabled("StopCast"));
    EXPECT_FALSE(Enabled("FileMenu"));
    // Frames come: the values handed over and the probe's indicator green.
    ASSERT_TRUE(RunUntil([&] { return form.LastLive().frames > 64 && form.LinkState(0) == 1; }))
        << "frames " << form.LastLive().frames << ", CTD " << form.LinkState(0);
    // The plot's refresh takes the rows extracted so far: the profile grows while the cast runs.
    const TPlotScene& scene = form.PlotWindow()->PlotMainFrame->Scene();
    EXPECT_TRUE(scene.PlotVisible && scene.YScaleFrame.Visible);
    const TPlotFrame& plotted = scene.PlotFrame;
    EXPECT_TRUE(RunUntil(
        [&] { return plotted.Prepared && plotted.series.last > plotted.series.first; }))
        << "rows " << plotted.series.first << ".." << plotted.series.last << " "
        << ::testing::PrintToString(env.LogMessages());

    // Continue: the cast goes on, the button stays down.
    form.Action("StopCast")->trigger();
    EXPECT_TRUE(form.CastRunning());
    EXPECT_TRUE(form.RecordButtonDown());
    EXPECT_EQ(form.Shell().Mode(), TShellMode::Acquisition);

    // Save and Exit: the probe stopped and the cast stored on the long-work worker, then the
    // normal mode and the cast shown.
    form.Action("StopCast")->trigger();
    EXPECT_TRUE(answers.empty());
    EXPECT_TRUE(form.LongWorkRunning());
    form.WaitLongWork();
    EXPECT_FALSE(form.CastRunning());
    EXPECT_FALSE(form.RecordButtonDown());
    EXPECT_EQ(form.Shell().Mode(), TShellMode::Normal);
    EXPECT_TRUE(Enabled("StartCast"));
    EXPECT_FALSE(Enabled("StopCast"));
    const fs::path cruise = env.environ.DataRootPath() / "CR";
    EXPECT_TRUE(fs::exists(cruise / "bin" / "CR001.bin"));
    EXPECT_GT(fs::file_size(cruise / "raw" / "CR001.raw"), 40u * 64);
    EXPECT_EQ(form.Shell().Casts("CR").size(), 1u);
    EXPECT_EQ(form.Shell().LoadedCastNumber(), 1);
    EXPECT_EQ(form.PlotWindow()->windowTitle(), QStringLiteral("Cast: CR001.bin"));
    EXPECT_EQ(form.LinkState(0), 0);
}

TEST_F(TAcquiUiTest, ANewCastWindowCancelledLeavesTheButtonUpInNormalMode) {
    ASSERT_TRUE(form.StartUp());
    form.NewCastDialog = [&] {
        EXPECT_EQ(form.Shell().Mode(), TShellMode::Acquisition);
        return false;
    };
    form.Action("StartStopTool")->trigger();
    EXPECT_FALSE(form.CastRunning());
    EXPECT_FALSE(form.RecordButtonDown());
    EXPECT_EQ(form.Shell().Mode(), TShellMode::Normal);
}

} // namespace
} // namespace marevo

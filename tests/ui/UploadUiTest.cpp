// "Upload Memory Cast" off screen against the simulated probe on a pseudo-terminal: the list,
// the selection rule, an upload of two casts with its progress handed to the GUI thread, and the
// dialog and main window back to normal. With MAREVO_SCREENSHOT_DIR set, the dialog during the
// upload is saved there as the manual's picture (docs/manual/make-upload-screenshots.sh).

#include "ui/UploadDialog.h"

#include "foundation/Runtime.h"
#include "platform/Clock.h"
#include "probelink/FileComm.h"
#include "probelink/RawStream.h"
#include "storage/CruiseFile.h"
#include "support/AppEnv.h"
#include "ui/MainForm.h"
#include "ui/QtSeams.h"
#include "ui/SimulatedProbe.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

namespace marevo {
namespace {

namespace fs = std::filesystem;

using test::OpenDevice;
using test::RunUntil;

struct TUploadUiTest : ::testing::Test {
    TUploadUiTest() {
        form.NewCruiseDialog = [](TCastInfo& c) {
            c.InfoStr[1].Set("CR");
            c.InfoStr[2].Set("CR");
            return true;
        };
        form.NewCastDialog = [] { return true; };
    }
    test::TAppEnv env;
    TSystemClock wallClock;
    TQtMainThread mainThread;
    TRuntimeScope scope{{&wallClock, nullptr, &mainThread, nullptr}};
    TMainForm form{env};
};

TEST_F(TUploadUiTest, TwoSelectedCastsAreUploadedWithTheProgressInTheDialog) {
    test::TSimulatorProcess sim{
        {"--memory-casts", "3", "--memory-sets", "60", "--line-rate", "38400", "--duration", "120"}};
    ASSERT_FALSE(sim.device.empty()) << "the simulator gave no probe device";
    ASSERT_TRUE(form.StartUp());
    form.Action("FileNew")->trigger();
    env.config.GenCfg.CruiseName.Set("CR");

    TQvlUtil qvl(&env.cast);
    const TUploadList list = UpdateListBox(qvl, [&] { return OpenDevice(sim.device); });
    env.cast.Acqui.ProbeOnLine = false;
    ASSERT_TRUE(list.filled);
    ASSERT_EQ(list.items.size(), 3u);

    TUploadDialog dialog(form);
    // The port of each cast's identification, and whether the GUI thread opened it.
    int identifications = 0;
    std::atomic<int> onGuiThread{0};
    dialog.PrepareWorker = [&](TUploadMemoryThread& worker) {
        worker.OpenProbePort = [&] {
            ++identifications;
            onGuiThread += QThread::currentThread() == QCoreApplication::instance()->thread();
            return OpenDevice(sim.device);
        };
        worker.OpenSource = [&](const fs::path& raw, TParamCollection& col, bool& isOpen) {
            TRawStream::TPorts ports;
            ports.probe = OpenDevice(sim.device);
            return TRawStream::CreateOnPorts(std::move(ports), isOpen, raw, &col);
        };
    };
    dialog.SetCasts(list.items);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Upload Memory Cast");
    EXPECT_EQ(dialog.CastNb(), 1);
    auto* listBox = dialog.findChild<QListWidget*>("ListBox1");
    auto* upload = dialog.findChild<QPushButton*>("UploadBtn");
    auto* skip = dialog.findChild<QPushButton*>("SkipButton");
    auto* result = dialog.findChild<QLabel*>("ResultLabel");
    EXPECT_FALSE(upload->isEnabled());
    listBox->item(0)->setSelected(true);
    listBox->item(2)->setSelected(true);
    EXPECT_EQ(dialog.CastCount(), 2);
    EXPECT_TRUE(upload->isEnabled());

    upload->click();
    // During the transfer: the list and "Upload" disabled, "Skip" enabled, the progress text.
    ASSERT_TRUE(RunUntil([&] { return result->text().contains("Cast #3, Dataset #"); }, 6000));
    EXPECT_FALSE(listBox->isEnabled());
    EXPECT_TRUE(skip->isEnabled());
    EXPECT_TRUE(form.ProgressShown());
    if (const char* dir = std::getenv("MAREVO_SCREENSHOT_DIR")) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(dialog.grab().save(
            QString::fromStdString((fs::path(dir) / "upload-dialog.png").string())));
    }
    ASSERT_TRUE(RunUntil([&] { return listBox->isEnabled(); }, 6000));
    EXPECT_EQ(result->text(), "Upload cast: 2 of 2\nCast #3, Dataset #180 of #180");
    // The seconds of talk that identify each cast ran on the worker, the window free meanwhile.
    EXPECT_GE(identifications, 2);
    EXPECT_EQ(onGuiThread, 0);
    EXPECT_FALSE(skip->isEnabled());
    EXPECT_FALSE(form.ProgressShown());
    EXPECT_TRUE(listBox->selectedItems().isEmpty());
    EXPECT_TRUE(form.Action("StartStopTool")->isEnabled());
    TCruisefile cruise;
    ASSERT_TRUE(cruise.OpenCruiseFile(env.dir / "data" / "CR" / "CR.cru"));
    EXPECT_EQ(cruise.LastIndex, 2);
    ASSERT_TRUE(cruise.ReadCastNb1(2));
    EXPECT_EQ(cruise.CastInfoc.Cast.InfoStr[1].Get(), "CAST003");
    dialog.close();
    EXPECT_EQ(dialog.Worker(), nullptr);
}

} // namespace
} // namespace marevo

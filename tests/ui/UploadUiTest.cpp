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

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace marevo {
namespace {

namespace fs = std::filesystem;

// The simulated probe with recorded casts, as a child process on its own pseudo-terminal.
class TMemorySimulator {
public:
    TMemorySimulator() {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::execl(MAREVO_PROBESIM, MAREVO_PROBESIM, "--memory-casts", "3", "--memory-sets",
                    "60", "--line-rate", "38400", "--duration", "120", "--quiet",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        lines_ = ::fdopen(out[0], "r");
        char line[256];
        while (lines_ && std::fgets(line, sizeof line, lines_)) {
            const std::string text(line);
            if (text.starts_with("probe ")) {
                device = text.substr(6, text.find_last_not_of("\r\n") - 5);
                break;
            }
        }
    }
    ~TMemorySimulator() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (lines_)
            std::fclose(lines_);
    }
    std::string device;

private:
    pid_t pid_ = -1;
    FILE* lines_ = nullptr;
};

std::unique_ptr<TFileCOMM> OpenDevice(const std::string& device) {
    auto comm = std::make_unique<TFileCOMM>();
    comm->Open("CTD", "COM1:9600,n,8,1,n", [&](int) { return fs::path(device); });
    return comm;
}

bool RunUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 6000 && !done(); ++i) {
        ServeGuiSteps(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

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
    TMemorySimulator sim;
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
    dialog.PrepareWorker = [&](TUploadMemoryThread& worker) {
        worker.OpenProbePort = [&] { return OpenDevice(sim.device); };
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
    ASSERT_TRUE(RunUntil([&] { return result->text().contains("Cast #3, Dataset #"); }));
    EXPECT_FALSE(listBox->isEnabled());
    EXPECT_TRUE(skip->isEnabled());
    EXPECT_TRUE(form.ProgressShown());
    if (const char* dir = std::getenv("MAREVO_SCREENSHOT_DIR")) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(dialog.grab().save(
            QString::fromStdString((fs::path(dir) / "upload-dialog.png").string())));
    }
    ASSERT_TRUE(RunUntil([&] { return listBox->isEnabled(); }));
    EXPECT_EQ(result->text(), "Upload cast: 2 of 2\nCast #3, Dataset #180 of #180");
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

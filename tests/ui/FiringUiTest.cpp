// Bottle firing through the main window against the simulated probe: the first-bottle answer,
// the rosette homed, "Fire a Bottle" asking its question, the bottle closed and recorded, the
// controls released; then the dialogs themselves.

#include "ui/FiringDialogs.h"
#include "ui/MainForm.h"
#include "ui/RosetteConfigFrame.h"

#include "foundation/Runtime.h"
#include "platform/Clock.h"
#include "probelink/FileComm.h"
#include "probelink/RawStream.h"
#include "records/Environ.h"
#include "storage/CruiseFile.h"
#include "support/AppEnv.h"
#include "ui/QtSeams.h"
#include "ui/SimulatedProbe.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cstdio>

namespace marevo {
namespace {

namespace fs = std::filesystem;

using test::OpenDevice;
using test::RunUntil;

struct TFiringUiTest : ::testing::Test {
    TFiringUiTest() {
        form.OpenDataDialog = [] { return std::nullopt; };
        form.NewCruiseDialog = [](TCastInfo& c) {
            c.InfoStr[1].Set("CR");
            c.InfoStr[2].Set("CR");
            return true;
        };
    }
    bool Enabled(const char* name) const { return form.Action(name)->isEnabled(); }

    // Questions unanswered, as the silent operator; progress shown in the status bar as the
    // program's own operator does.
    struct TBarOperator final : IOperator {
        explicit TBarOperator(TMainForm& f) : form(f) {}
        void Message(std::string_view, std::string_view, TMessageKind) override {}
        bool Confirm(std::string_view, std::string_view) override { return false; }
        void ShowStatus(std::string_view) override {}
        void ClearStatus() override {}
        void Beep(int, int) override {}
        bool Progress(std::string_view, std::int64_t done, std::int64_t total) override {
            const int pos = total > 0 ? static_cast<int>(done * 100 / total) : 0;
            QMetaObject::invokeMethod(&form, [this, pos] { form.ShowProgress(pos); });
            return true;
        }
        TMainForm& form;
    };

    test::TAppEnv env;
    TSystemClock wallClock;
    TQtMainThread mainThread;
    TRuntimeScope scope{{&wallClock, nullptr, &mainThread, nullptr}};
    TMainForm form{env};
    TBarOperator bar{form};
    TRuntimeScope withBar{{&wallClock, &bar, &mainThread, nullptr}};
};

TEST_F(TFiringUiTest, FireABottleAsksFiresAndRecordsIt) {
    test::TSimulatorProcess sim{
        {"--rate", "32", "--bottom", "20", "--duration", "120", "--close-seconds", "1"}};
    ASSERT_FALSE(sim.device.empty());
    ASSERT_TRUE(form.StartUp());
    form.Action("FileNew")->trigger();
    env.config.GenCfg.CruiseName.Set("CR");
    for (int k = 0; k < 12; ++k)
        env.config.Rosette.BottleList[k] = 1;
    form.NewCastDialog = [] { return true; };
    std::vector<std::string> firstBottleLists;
    form.FirstBottleBox = [&](const TRosetteInfo& r) {
        firstBottleLists.push_back(std::to_string(FirstBottleContent(r).installed.size()));
        return std::optional<std::int32_t>(3);
    };
    std::vector<QString> questions;
    form.FireQuestionBox = [&](const QString& q) {
        questions.push_back(q);
        return true;
    };
    form.PrepareCast = [&](TRTCast& cast) {
        cast.OpenProbePort = [&] { return OpenDevice(sim.device); };
        cast.OpenSource = [&](const fs::path& raw, TParamCollection& col, bool& isOpen) {
            TRawStream::TPorts ports;
            ports.probe = OpenDevice(sim.device);
            return TRawStream::CreateOnPorts(std::move(ports), isOpen, raw, &col);
        };
    };
    form.CloseAcquisitionDialog = [] { return TCloseAnswer::SaveAndExit; };

    form.Action("StartCast")->trigger();
    form.WaitLongWork(); // the first-bottle dialog and the homing came from the worker
    ASSERT_TRUE(form.CastRunning()) << ::testing::PrintToString(env.LogMessages());
    EXPECT_EQ(firstBottleLists, std::vector<std::string>{"12"});
    EXPECT_FALSE(form.ProgressShown()) << "the homing's progress bar stays after the start";
    EXPECT_TRUE(Enabled("FireBottle"));
    ASSERT_TRUE(RunUntil([&] { return form.LastLive().frames > 32; }));

    form.Action("FireTool")->trigger();
    EXPECT_EQ(questions, std::vector<QString>{QStringLiteral("Are you sure you want to fire bottle 3?")});
    EXPECT_TRUE(form.Action("FireTool")->isChecked());
    EXPECT_FALSE(Enabled("FireBottle"));
    // A second request while it fires is refused.
    form.Action("FireBottle")->trigger();
    EXPECT_EQ(questions.size(), 1u);

    TBottlesCollection& bottles = form.RTCast()->Cruise().CastInfoc.Bottles;
    ASSERT_TRUE(RunUntil([&] { return bottles.Count() == 1; }));
    EXPECT_EQ(bottles.Items(0).BottleNb, 3);
    EXPECT_EQ(bottles.Items(0).BtlStatus, btl_Closed);
    EXPECT_FALSE(form.Action("FireTool")->isChecked());
    EXPECT_TRUE(Enabled("FireBottle"));

    form.Action("StopCast")->trigger();
    form.WaitLongWork();
    EXPECT_FALSE(form.CastRunning());
    EXPECT_FALSE(Enabled("FireBottle"));
}

TEST(FiringDialogs, FirstBottleDialogOffersTheInstalledPositions) {
    TRosetteInfo r{};
    r.RosetteType = ro_1015;
    r.MaxBottlePos = 12;
    r.BottleList[3] = r.BottleList[6] = 1;
    TFirstBottleDialog dialog(r);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ROSETTE: first bottle number"));
    ASSERT_EQ(dialog.InstalledLB->count(), 2);
    EXPECT_EQ(dialog.InstalledLB->item(1)->text(), QStringLiteral("07"));
    EXPECT_FALSE(dialog.OKBtn->isEnabled());
    dialog.show();
    EXPECT_TRUE(dialog.OKBtn->isEnabled());
    dialog.InstalledLB->setCurrentRow(1);
    dialog.OKBtn->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelNumber, 7);

    TRosetteInfo none{};
    none.RosetteType = ro_1014;
    none.MaxBottlePos = 12;
    TFirstBottleDialog empty(none);
    empty.show();
    EXPECT_FALSE(empty.OKBtn->isEnabled());
    empty.NoRosetteBtn->click();
    EXPECT_EQ(empty.result(), QDialog::Rejected);
}

TEST(FiringDialogs, OperatorDialogFiresTheItemItShows) {
    TOperatorAuthDlg dialog;
    int fired = -1;
    dialog.onFire = [&](int bottle) { fired = bottle; };
    dialog.ShowLabel(QStringLiteral("Click Fire to close bottle 4!"), 4);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Firing Bottle"));
    dialog.OKBtn->click();
    EXPECT_EQ(fired, 4);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(FiringDialogs, RosettePageEnablesAndChecksItsFields) {
    test::TAppEnv env;
    TConfig& config = env.config;
    std::fill(std::begin(config.Rosette.BottleList), std::end(config.Rosette.BottleList), 0);
    config.Rosette.BottleList[1] = 1;
    config.Rosette.SamplingType = 1;
    TRosetteConfigFrame page(config);
    EXPECT_TRUE(page.bottlePressEd[1]->isEnabled());
    EXPECT_FALSE(page.bottlePressEd[2]->isEnabled());
    page.SamplingTypeRG[0]->click();
    EXPECT_EQ(config.Rosette.SamplingType, 0);
    EXPECT_FALSE(page.bottlePressEd[1]->isEnabled());
    EXPECT_FALSE(page.StartPressEd->isEnabled());
    page.StartPressEd->setText(QStringLiteral("abc"));
    page.WaitOnSamplingEd->setText(QStringLiteral("5000"));
    EXPECT_TRUE(page.RestoreFields());
    EXPECT_EQ(page.StartPressEd->text(), QStringLiteral("1000.0"));
    EXPECT_EQ(page.WaitOnSamplingEd->text(), QStringLiteral("120"));
    EXPECT_EQ(config.Rosette.StartPressure.ToDouble(), 1000.0);
    EXPECT_EQ(config.Rosette.WaitOnSampling.ToDouble(), 120.0);
    EXPECT_EQ(env.op.Events().size(), 2u);
}

// With MAREVO_SCREENSHOT_DIR set, the two firing windows are saved there as the manual's
// pictures (docs/manual/make-firing-screenshots.sh).
TEST(FiringScreenshots, FirstBottleAndOperatorDialogs) {
    const char* dir = std::getenv("MAREVO_SCREENSHOT_DIR");
    if (!dir)
        GTEST_SKIP() << "MAREVO_SCREENSHOT_DIR not set";
    TRosetteInfo r{};
    r.RosetteType = ro_SBE;
    r.MaxBottlePos = 12;
    r.TimeOut = SecondsToDays(30);
    r.FireDelay = SecondsToDays(5);
    for (int k = 0; k < 12; ++k)
        r.BottleList[k] = k != 6;
    TFirstBottleDialog first(r);
    first.show();
    QCoreApplication::processEvents();
    const auto save = [&](QWidget& w, const char* name) {
        EXPECT_TRUE(w.grab().save(QString::fromStdString((fs::path(dir) / name).string())));
    };
    save(first, "firing-first-bottle.png");
    TOperatorAuthDlg op;
    op.ShowLabel(QString::fromStdString(ConfirmLabel(4)), 4);
    QCoreApplication::processEvents();
    save(op, "firing-operator.png");
    test::TAppEnv env;
    for (int k = 0; k < 12; ++k) {
        env.config.Rosette.BottleList[k] = 1;
        env.config.Rosette.BottleCheckList[k] = 1;
        env.config.Rosette.BottlePressList[k] = TExtended::FromDouble(60 - 5 * k);
    }
    env.config.Rosette.SamplingType = 1;
    env.config.Rosette.StartPressure = TExtended::FromDouble(65);
    TRosetteConfigFrame page(env.config);
    page.resize(900, 520);
    page.show();
    QCoreApplication::processEvents();
    save(page, "firing-rosette-page.png");
}

} // namespace
} // namespace marevo

// The remote depth repeater in the main window, off screen: switched on by the environment
// dialog's OK on a pseudo-terminal, the view showing what the worker wrote, an open failure
// switching it off; the view's 10 s message question; the Remote menu's probe commands and the
// terminal guard.

#include "ui/MainForm.h"

#include "acquisition/RDRLines.h"
#include "foundation/Runtime.h"
#include "platform/Clock.h"
#include "probelink/FileComm.h"
#include "records/Environ.h"
#include "support/AppEnv.h"
#include "support/Pty.h"
#include "ui/EnvironmentDialog.h"
#include "ui/QtSeams.h"
#include "ui/RemoteDepthView.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace marevo {
namespace {

namespace fs = std::filesystem;

bool RunUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) {
        ServeGuiSteps(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

bool HasEvent(const test::TAppEnv& env, const std::string& event) {
    const auto events = env.op.Events();
    return std::find(events.begin(), events.end(), event) != events.end();
}

// What the operator was told or asked, without the status texts.
std::vector<std::string> Said(const test::TAppEnv& env) {
    std::vector<std::string> said;
    for (const std::string& e : env.op.Events())
        if (!e.starts_with("Status"))
            said.push_back(e);
    return said;
}

// The main window on the wall clock (the worker waits its interval in real time) with the GUI's
// main-thread seam.
struct TRemoteDepthUiTest : ::testing::Test {
    TRemoteDepthUiTest() {
        form.OpenDataDialog = [] { return std::nullopt; };
        EXPECT_TRUE(form.StartUp());
    }
    // The environment dialog with its fields as edit leaves them, answered OK.
    void EnvironmentOk(const std::function<void(TEnvironmentDialog&)>& edit) {
        form.RunDialog = [&](QDialog& d) {
            auto& dialog = dynamic_cast<TEnvironmentDialog&>(d);
            edit(dialog);
            dialog.accept();
            return dialog.result() == QDialog::Accepted;
        };
        form.Action("Environment")->trigger();
    }
    // The environment dialog's OK with the repeater switched on, on device.
    void RepeaterOn(const std::string& device, int light = 10) {
        EnvironmentOk([&](TEnvironmentDialog& d) {
            d.Device(TInstrument::Repeater)->setEditText(QString::fromStdString(device));
            TRemoteDepthFrame* page = d.RemoteDepthFrame();
            page->RDREnable->setChecked(true);
            page->Refresh->setValue(3600); // only the requests write within the test
            page->UpDownLight->setValue(light);
        });
    }

    test::TAppEnv env;
    TSystemClock wallClock;
    TQtMainThread mainThread;
    TRuntimeScope scope{{&wallClock, nullptr, &mainThread, nullptr}};
    TMainForm form{env};
};

TEST_F(TRemoteDepthUiTest, EnvironmentOkStartsTheRepeaterAndTheViewShowsItsLines) {
    test::TPty pty;
    env.genCfg.AlarmChecked[al_down] = 1;
    env.genCfg.AlarmLimit[al_down] = TExtended::FromDouble(500);
    RepeaterOn(pty.path, 7);
    ASSERT_TRUE(form.RemoteDepthActive()) << ::testing::PrintToString(env.op.Events());
    EXPECT_EQ(env.environ.RemoteDepth.Enabled, 1);
    EXPECT_EQ(env.environ.RemoteDepth.LightLevel, 7);
    TRDRValues values; // what the display shows between casts, with the page's light
    values.pressure = InvalidFV;
    values.alarms = {false, 0, true, 500};
    values.light = 7;
    std::string init;
    for (const std::string& line : RDRInitSequence(values))
        init += line;
    EXPECT_TRUE(pty.Receive(init.size()) == init);

    form.Action("ViewRDR")->trigger();
    TRemoteDepthView* view = form.RemoteDepthView();
    ASSERT_TRUE(view->isVisible());
    view->InitRDR->click();
    std::string update;
    for (const std::string& line : RDRUpdateSequence(values))
        update += line;
    const std::string sent = init + update + RDRMessageLine("");
    EXPECT_TRUE(pty.Receive(sent.size()) == sent);
    // The worker posted what it wrote; the view shows it.
    ASSERT_TRUE(RunUntil([&] { return !view->depthlabel->text().isEmpty(); }));
    EXPECT_EQ(view->depthlabel->text().toStdString(), "------dbar");
    EXPECT_EQ(view->Alarm->text().toStdString(), "ALARM:");
    EXPECT_EQ(view->alarmLabel->text().toStdString(), "500.00dbar");
    EXPECT_EQ(view->StatusLabel->text().toStdString(), " STOP");

    // The selector reaches the worker: the next update shows the speed.
    view->Alarm_SpeedCB->setCurrentIndex(1);
    view->InitRDR->click();
    ASSERT_TRUE(RunUntil([&] { return view->Alarm->text() == QStringLiteral("SPEED:"); }));
    EXPECT_EQ(view->alarmLabel->text().toStdString(), "0.00m/s");

    // Disabled at the next OK, right after a request and with nothing served meanwhile: the
    // worker's refresh of the view is posted, so stopping it cannot wait on this thread.
    view->InitRDR->click();
    EnvironmentOk([](TEnvironmentDialog& d) { d.RepeaterEnabled()->setChecked(false); });
    EXPECT_FALSE(form.RemoteDepthActive());
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(env.environ.RemoteDepth.Enabled, 0);
}

TEST_F(TRemoteDepthUiTest, ClosingStopsTheRepeaterAndKeepsTheViewsPlaceForTheNextStart) {
    test::TPty pty;
    RepeaterOn(pty.path);
    ASSERT_TRUE(form.RemoteDepthActive());
    form.Action("ViewRDR")->trigger();
    form.RemoteDepthView()->setGeometry(150, 160, 380, 210);
    ASSERT_TRUE(form.close());
    EXPECT_FALSE(form.RemoteDepthActive());
    TEnviron stored(env.dir / "data");
    stored.Dir[FileTypeConfig].Set(env.environ.ConfigFolder().string());
    ASSERT_TRUE(stored.FileToEnv());
    EXPECT_EQ(stored.RDRShown, 1);
    EXPECT_EQ(stored.RemoteDepth.Enabled, 1);
    EXPECT_EQ(stored.RDRRect.Left, 150);
    EXPECT_EQ(stored.RDRRect.Right, 530);
}

TEST_F(TRemoteDepthUiTest, APortThatDoesNotOpenSwitchesTheRepeaterOff) {
    RepeaterOn((env.dir / "no-such-display").string());
    EXPECT_FALSE(form.RemoteDepthActive());
    EXPECT_TRUE(HasEvent(env, "Message Error [Error]: " + std::string(RDRPortError)));
    // Off in the environment, and so in the file the OK wrote.
    EXPECT_EQ(env.environ.RemoteDepth.Enabled, 0);
    TEnviron stored(env.dir / "data");
    stored.Dir[FileTypeConfig].Set(env.environ.ConfigFolder().string());
    ASSERT_TRUE(stored.FileToEnv());
    EXPECT_EQ(stored.RemoteDepth.Enabled, 0);
    // The menu item shows no view while the repeater is off.
    form.Action("ViewRDR")->trigger();
    EXPECT_FALSE(form.RemoteDepthView()->isVisible());
}

TEST_F(TRemoteDepthUiTest, TheTerminalBlocksTheProbeCommandsWhileItsProcessRuns) {
    EnvironmentOk([](TEnvironmentDialog& d) { d.TerminalCommand()->setText("sleep 5"); });
    EXPECT_EQ(ReadTerminalCommand(env.environ), "sleep 5");
    env.op.Clear();
    form.Action("Terminal")->trigger();
    ASSERT_TRUE(form.Terminal().Open());
    form.Action("Terminal")->trigger(); // one terminal at a time
    form.Action("StopDataFlow")->trigger();
    form.Action("ClearMemory")->trigger();
    EXPECT_FALSE(form.LongWorkRunning());
    form.Action("StartCast")->trigger();
    EXPECT_FALSE(form.CastRunning());
    EXPECT_FALSE(form.RecordButtonDown());
    const std::string closeFirst = "Message Warning [Warning]: Please close first the Terminal !";
    EXPECT_EQ(Said(env),
              (std::vector<std::string>{"Beep 0 0", closeFirst, closeFirst,
                                        "Message Warning [Warning]: Please, first close the "
                                        "Terminal !"}));

    // Closed: the command runs on the worker and says what became of it.
    form.Terminal().Close();
    env.op.Clear();
    form.ProbeCommandPort = [] { return std::unique_ptr<TFileCOMM>(); };
    form.Action("StopDataFlow")->trigger();
    EXPECT_TRUE(form.LongWorkRunning());
    form.WaitLongWork();
    EXPECT_TRUE(HasEvent(env, "Message Error [Error]: Opening CTD COM port"));
    EXPECT_FALSE(env.cast.Acqui.ProbeOnLine);
}

// Values the page cannot hold are brought into its ranges: an interval below 1 s would flood the
// display, a light level above 255 would not fit its byte.
TEST(RemoteDepthFrame, KeepsTheIntervalAndTheLightWithinTheirRanges) {
    test::TAppEnv env;
    struct TCase {
        std::int32_t interval, light, storedInterval, storedLight;
    };
    const TCase cases[] = {{0, -5, 1, 0}, {-10, 300, 1, 255}, {10, 10, 10, 10}, {99999, 0, 3600, 0}};
    for (const TCase& c : cases) {
        env.environ.RemoteDepth = {1, {}, c.interval, c.light, {}};
        TRemoteDepthFrame page;
        page.SetInfo(env.environ);
        page.RDREnable->setChecked(false);
        page.RestoreInfo(env.environ);
        EXPECT_EQ(env.environ.RemoteDepth.Enabled, 0);
        EXPECT_EQ(env.environ.RemoteDepth.RefreshInterval, c.storedInterval) << c.interval;
        EXPECT_EQ(env.environ.RemoteDepth.LightLevel, c.storedLight) << c.light;
    }
}

// The view alone on the fake clock: the question 10 s after the last edit.
TEST(RemoteDepthView, AsksTenSecondsAfterTheLastEditOkSendsCancelPutsTheLastMessageBack) {
    test::TTestEnv env;
    std::vector<unsigned> requests;
    TRemoteDepthView view([&](unsigned r) { requests.push_back(r); });
    view.FormCreate({100, 100, 472, 300});
    EXPECT_FALSE(view.RDRViewTimer->isActive());
    EXPECT_EQ(view.RDRViewTimer->interval(), 10000);
    EXPECT_EQ(view.EditMsg->maxLength(), 15);

    const auto type = [&](const char* text) {
        view.EditMsg->setText(QString::fromLatin1(text));
        emit view.EditMsg->textEdited(view.EditMsg->text());
    };
    type("HOL");
    env.clock.AdvanceMs(4000);
    type("HOLD");
    EXPECT_TRUE(view.RDRViewTimer->isActive());
    env.clock.AdvanceMs(9999);
    view.RDRViewTimerTimer(); // early: no question yet
    EXPECT_TRUE(env.op.Events().empty());
    env.clock.AdvanceMs(1);
    env.op.ScriptAnswers({true});
    view.RDRViewTimerTimer();
    EXPECT_FALSE(view.RDRViewTimer->isActive());
    EXPECT_EQ(requests, std::vector<unsigned>{rdr_Message});
    EXPECT_EQ(view.LastMsgSent(), "HOLD");

    type("HOLD ON");
    env.clock.AdvanceMs(10000);
    env.op.ScriptAnswers({false});
    view.RDRViewTimerTimer();
    EXPECT_EQ(view.EditMsg->text().toStdString(), "HOLD");
    EXPECT_EQ(view.Message(), "HOLD");
    EXPECT_EQ(env.op.Events(),
              (std::vector<std::string>{
                  "Confirm [Warning]: Do you want to send the inserted message?\n\rHOLD -> OK",
                  "Confirm [Warning]: Do you want to send the inserted message?\n\rHOLD ON -> "
                  "Cancel"}));

    // "Send MSG" sends at once and ends the wait; "Init RDR" asks for the initialisation.
    type("UP");
    view.SendMsg->click();
    EXPECT_FALSE(view.RDRViewTimer->isActive());
    view.InitRDR->click();
    EXPECT_EQ(requests, (std::vector<unsigned>{rdr_Message, rdr_Message, rdr_Init}));
    EXPECT_EQ(view.LastMsgSent(), "UP");
}

// With MAREVO_SCREENSHOT_DIR set: the view during a cast and the environment page, saved there as
// the manual's pictures (docs/manual/make-remote-screenshots.sh).
TEST(RemoteDepthScreenshots, ViewDuringACastAndTheEnvironmentPage) {
    const char* dir = std::getenv("MAREVO_SCREENSHOT_DIR");
    if (!dir)
        GTEST_SKIP() << "MAREVO_SCREENSHOT_DIR not set";
    test::TAppEnv env;
    TRemoteDepthView view([](unsigned) {});
    view.FormCreate({100, 100, 472, 300});
    TRDRValues values;
    values.pressure = {123.4f, 0};
    values.alarms = {false, 0, true, 500};
    values.castRunning = true;
    values.lastAlarm = "DOWN";
    view.ShowLines(RDRShownOf(values));
    view.EditMsg->setText(QStringLiteral("HOLD AT 120 M"));
    view.show();
    QCoreApplication::processEvents();
    const fs::path folder(dir);
    ASSERT_TRUE(view.grab().save(QString::fromStdString((folder / "remote-depth-view.png").string())));

    env.environ.RemoteDepth = {1, {}, 10, 10, {}};
    env.environ.RDRCommPort.CommCfgStr.Set("COM3:9600,n,8,1,n");
    TRemoteDepthFrame page;
    page.SetInfo(env.environ);
    page.resize(page.sizeHint());
    page.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(page.grab().save(QString::fromStdString((folder / "remote-depth-page.png").string())));
}

} // namespace
} // namespace marevo

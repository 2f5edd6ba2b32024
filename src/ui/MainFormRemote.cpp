// The main window's remote depth repeater (its switch at start-up, at the environment dialog's OK
// and at closing, and the "Remote Depth View"), the probe commands of the Remote menu outside a
// cast ("Stop Data Flow", "Clear Memory") and Tools › Terminal with its guard. The repeater's
// worker never waits for this window: what an update showed is posted to the view.

#include "ui/MainForm.h"
#include "ui/QtSeams.h"
#include "ui/RemoteDepthView.h"
#include "ui/WindowPlace.h"

#include "acquisition/ProbeCommands.h"
#include "foundation/EventLog.h"
#include "foundation/Runtime.h"
#include "platform/SerialDevice.h"
#include "probelink/FileComm.h"
#include "records/Config.h"
#include "records/Environ.h"

#include <QAction>
#include <QPointer>
#include <QTimer>

namespace marevo {

namespace {

// How often the copy the repeater's worker reads is taken afresh from the windows and settings
// (the record button, the alarm limits) [ms].
constexpr int RDRPanelPeriodMs = 500;

} // namespace

void TMainForm::InitRemote() {
    rdrSources_ = std::make_unique<TRDRSources>([this] { return app_.cast.Snapshot(); });
    rdrView_ = new TRemoteDepthView(
        [this](unsigned request) {
            TRemoteDepthThread* worker = RemoteDepthActive() ? rdrSwitch_->Worker() : nullptr;
            if (!worker)
                return;
            StoreRDRPanel(); // the worker sends the text as it stands now
            if (request & rdr_Init)
                worker->SendInitMessage();
            else if (request & rdr_Message)
                worker->SendMessage();
        },
        this);
    rdrView_->Changed = [this] { StoreRDRPanel(); };
    rdrPanelTimer_ = new QTimer(this);
    rdrPanelTimer_->setInterval(RDRPanelPeriodMs);
    connect(rdrPanelTimer_, &QTimer::timeout, this, [this] { StoreRDRPanel(); });
    terminal_ = std::make_unique<TTerminal>();
    ProbeCommandPort = [this] {
        auto port = std::make_unique<TFileCOMM>();
        const TEnviron& env = app_.environ;
        const std::filesystem::path device = env.PortDeviceName(env.ProbeCommPort);
        port->Open("CTD", env.ProbeCommPort.CommCfgStr.Get(), [&device](int) { return device; });
        return port;
    };
}

bool TMainForm::RemoteDepthActive() const { return rdrSwitch_ && rdrSwitch_->Active(); }

void TMainForm::StoreRDRPanel() {
    TRDRPanel panel;
    panel.castRunning = RecordButtonDown();
    panel.showSpeed = rdrView_->ShowSpeed();
    panel.SetMessage(rdrView_->Message());
    const TGenConfig& gen = app_.config.GenCfg;
    panel.alarms = {gen.AlarmChecked[al_up] != 0, gen.AlarmLimit[al_up].ToDouble(),
                    gen.AlarmChecked[al_down] != 0, gen.AlarmLimit[al_down].ToDouble()};
    panel.light = app_.environ.RemoteDepth.LightLevel;
    rdrSources_->SetPanel(panel);
}

void TMainForm::ApplyRemoteDepth() {
    TEnviron& env = app_.environ;
    if (!rdrSwitch_) {
        rdrSwitch_ = std::make_unique<TRemoteDepthSwitch>(
            *rdrSources_, [] { return std::make_unique<TPosixSerialDevice>(); }, Clock());
        // Posted, never waited for: the worker goes on at once, and a view closed meanwhile
        // is simply not refreshed.
        const QPointer<TRemoteDepthView> view = rdrView_;
        rdrSwitch_->Shown = [view](const TRDRShown& shown) {
            MainThread().Post([view, shown] {
                if (view)
                    view->ShowLines(shown);
            });
        };
    }
    StoreRDRPanel();
    // A new interval takes effect at once: the worker keeps the one it was started with.
    if (RemoteDepthActive() && env.RemoteDepth.Enabled != 0 &&
        env.RemoteDepth.RefreshInterval != rdrInterval_)
        rdrSwitch_->Stop();
    const bool wasActive = RemoteDepthActive();
    if (rdrSwitch_->Apply(env)) {
        rdrInterval_ = env.RemoteDepth.RefreshInterval;
        rdrPanelTimer_->start();
        return;
    }
    rdrPanelTimer_->stop();
    if (wasActive || env.RemoteDepth.Enabled == 0)
        rdrView_->close();
}

void TMainForm::ShowRemoteDepthView() {
    if (app_.environ.RemoteDepth.Enabled == 0) {
        StatusMessage("The remote depth repeater is not enabled (Environment, Remote Depth "
                      "Control)");
        return;
    }
    if (!rdrPlaced_) {
        rdrView_->FormCreate(app_.environ.RDRRect);
        rdrPlaced_ = true;
    }
    rdrView_->show();
    rdrView_->raise();
}

void TMainForm::CloseRemote() {
    TEnviron& env = app_.environ;
    env.RDRShown = rdrView_->isVisible() ? 1 : 0;
    if (rdrPlaced_)
        StoreWindowRect(rdrView_, env.RDRRect);
    rdrPanelTimer_->stop();
    if (rdrSwitch_)
        rdrSwitch_->Stop();
    rdrView_->close();
}

// ---- Terminal and the probe commands ---------------------------------------------------------------

bool TMainForm::TerminalClosed(std::string_view message) {
    if (!terminal_->Open())
        return true;
    Operator().Message(message, "Warning", TMessageKind::Warning);
    return false;
}

void TMainForm::StartTerminal() { terminal_->Start(app_.environ); }

void TMainForm::StopDataFlowCommand() {
    if (!TerminalClosed(TerminalOpenMessage))
        return;
    // The probe's answer takes up to its protocol delays: on the worker, the menus off meanwhile.
    RunLong([this] { StopDataFlow(shell_->Qvl(), app_.cast, ProbeCommandPort); });
}

void TMainForm::ClearMemoryCommand() {
    if (!TerminalClosed(TerminalOpenMessage))
        return;
    // Erasing takes up to a minute; the question is asked from the worker through the seam.
    RunLong([this] { ClearMemory(shell_->Qvl(), app_.cast, ProbeCommandPort); });
}

} // namespace marevo

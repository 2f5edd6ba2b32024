// The main window's real-time cast: the record button and the Acquisition menu, the new-cast
// window, the "Close Acquisition Dialog", the link indicators, the blinking buttons, the alarm
// button and the status bar's bottle and alarm panels. The cast itself is TRTCast's; its worker
// reaches these windows only through the steps it hands to the GUI thread, which keep copies.

#include "ui/AlarmSound.h"
#include "ui/HeaderForm.h"
#include "ui/MainForm.h"
#include "ui/PlotForm.h"
#include "ui/QtSeams.h"
#include "ui/BottlesForm.h"
#include "ui/ValuesForm.h"

#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "records/Environ.h"
#include "records/Settings.h"
#include "storage/CruiseFile.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace marevo {

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A picture left out: the button keeps its size and shows no text instead.
QIcon BlankIcon() {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

// The record button's pictures: a red disc to record, two bars while no data is recorded.
QIcon RecordIcon(TRecordPicture picture) {
    if (picture == TRecordPicture::None)
        return BlankIcon();
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (picture == TRecordPicture::Record) {
        painter.setBrush(QColor(0xd2, 0x2a, 0x2a));
        painter.drawEllipse(QRectF(3, 3, 14, 14));
    } else {
        painter.setBrush(QColor(0x44, 0x44, 0x44));
        painter.drawRect(QRectF(5, 4, 3.5, 12));
        painter.drawRect(QRectF(11.5, 4, 3.5, 12));
    }
    return QIcon(pixmap);
}

// "NewCastWindow": the cruise that takes the next cast, and that cast's name.
class TNewCastWindow final : public QDialog {
public:
    TNewCastWindow(TMainShell& shell, TConfig& config, std::function<void()> newCruise,
                   QWidget* parent)
        : QDialog(parent), shell_(shell), config_(config), newCruise_(std::move(newCruise)) {
        setWindowTitle(QStringLiteral("NewCastWindow"));
        setObjectName(QStringLiteral("NewCastWindow"));
        auto* layout = new QVBoxLayout(this);
        list_ = new QListWidget(this);
        list_->setObjectName(QStringLiteral("Cruises"));
        layout->addWidget(list_);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Next cast:"), this));
        next_ = new QLineEdit(this);
        next_->setObjectName(QStringLiteral("NextCast"));
        next_->setReadOnly(true);
        row->addWidget(next_);
        layout->addLayout(row);
        auto* buttons = new QDialogButtonBox(this);
        buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
        QPushButton* create =
            buttons->addButton(QStringLiteral("New Cruise"), QDialogButtonBox::ActionRole);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(create, &QPushButton::clicked, this, [this] {
            newCruise_();
            Fill();
        });
        connect(list_, &QListWidget::currentTextChanged, this, [this](const QString& cruise) {
            if (filling_ || cruise.isEmpty())
                return;
            config_.GenCfg.CruiseName.Set(cruise.left(40).toStdString());
            shell_.App().cast.Loaded.FileLoaded.clear();
            UpdateName();
        });
        Fill();
    }

private:
    void Fill() {
        filling_ = true;
        list_->clear();
        const std::string current = config_.GenCfg.CruiseName.Get();
        for (const std::string& cruise : shell_.Cruises()) {
            list_->addItem(Q(cruise));
            if (QString::compare(Q(cruise), Q(current), Qt::CaseInsensitive) == 0)
                list_->setCurrentRow(list_->count() - 1);
        }
        filling_ = false;
        UpdateName();
    }
    void UpdateName() {
        const std::string cruise = config_.GenCfg.CruiseName.Get();
        const int last = cruise.empty() ? 0 : static_cast<int>(shell_.Casts(cruise).size());
        next_->setText(last > 0 || !cruise.empty()
                           ? Q(cruise) + QStringLiteral("%1").arg(last + 1, 3, 10, QLatin1Char('0'))
                           : QString());
    }

    TMainShell& shell_;
    TConfig& config_;
    std::function<void()> newCruise_;
    QListWidget* list_;
    QLineEdit* next_;
    bool filling_ = false;
};

TCloseAnswer AskClose(QWidget* parent) {
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Close Acquisition Dialog"));
    box.setText(QStringLiteral("Close Acquisition Dialog"));
    QPushButton* go = box.addButton(QStringLiteral("Continue"), QMessageBox::RejectRole);
    QPushButton* save = box.addButton(QStringLiteral("Save and Exit"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Abort Cast"), QMessageBox::DestructiveRole);
    box.setDefaultButton(go);
    box.exec();
    if (box.clickedButton() == go || !box.clickedButton())
        return TCloseAnswer::Continue;
    return box.clickedButton() == save ? TCloseAnswer::SaveAndExit : TCloseAnswer::AbortCast;
}

} // namespace

void TMainForm::InitAcqui() {
    sound_ = std::make_unique<TQtAlarmSound>();
    SetRecordPicture(TRecordPicture::Record);
    NewCastDialog = [this] {
        TNewCastWindow window(*shell_, app_.config, [this] { FileNew(); }, this);
        return window.exec() == QDialog::Accepted;
    };
    CloseAcquisitionDialog = [this] { return AskClose(this); };
    // The worker keeps its own copy of the alarm button's state.
    connect(alarm_, &QToolButton::toggled, this, [this](bool down) {
        if (CastRunning())
            rtcast_->Worker()->SetAlarmButtonDown(down);
    });
    // Edits of the cast header window are written back by the worker's save period.
    for (QLineEdit* edit : headerForm_->findChildren<QLineEdit*>())
        connect(edit, &QLineEdit::textEdited, this, [this] { headerEdited_ = true; });
    // The pipeline's automatic stop (and a worker that ended on its own) stores the cast.
    castWatch_ = new QTimer(this);
    castWatch_->setInterval(200);
    connect(castWatch_, &QTimer::timeout, this, [this] {
        TAcquiThread* worker = CastRunning() ? rtcast_->Worker() : nullptr;
        if (worker && !stopping_ && (worker->AutoStopped() || worker->Finished()))
            EndCast(TCloseAnswer::SaveAndExit);
    });
}

bool TMainForm::RecordButtonDown() const { return Action("StartStopTool")->isChecked(); }

void TMainForm::SetRecordPicture(TRecordPicture picture) {
    recordPicture_ = picture;
    Action("StartStopTool")->setIcon(RecordIcon(picture));
}

void TMainForm::ReleaseRecordButton() {
    const QSignalBlocker quiet(Action("StartStopTool"));
    Action("StartStopTool")->setChecked(false);
    SetRecordPicture(TRecordPicture::Record);
}

void TMainForm::StartCast() {
    if (CastRunning() || LongWorkRunning())
        return;
    if (!TerminalClosed(TerminalOpenAtStart)) { // the terminal holds the probe's port
        ReleaseRecordButton();
        return;
    }
    TSafetyFiles files;
    bool prepared = false;
    Guarded("SpeedButtonRecordClick", "Starting or ending acquisition", [&] {
        shell_->SetAcquiEnv();
        if (!NewCastDialog()) {
            ReleaseRecordButton();
            shell_->SetNormalEnv();
            return;
        }
        // The cursor off, the windows emptied for the new cast: nothing on the screen reads the
        // collection while the identification rebuilds it.
        shell_->SetShowCursor(false);
        HidePlotCursor();
        ClearDataWindows();
        headerEdited_ = false;
        live_ = {};
        rtcast_ = std::make_unique<TRTCast>(shell_->CruiseFile(), *this);
        rtcast_->Sound = sound_.get();
        if (PrepareCast)
            PrepareCast(*rtcast_);
        const TEnviron& env = app_.environ;
        files = {env.EnvironFileName(), env.ConfigFileName(),
                 DefaultCruiseName(env.DataRootPath(), app_.config.GenCfg.CruiseName.Get())};
        prepared = true;
    });
    if (!prepared) {
        FinishStart(false);
        return;
    }
    // Waking and identifying the probe takes seconds, the rosette's homing longer: on the
    // long-work worker, the commands off and the plot still, the window alive meanwhile. Its
    // questions come through the operator seam, its mode changes through the main-thread seam.
    auto started = std::make_shared<bool>(false);
    TRTCast* cast = rtcast_.get();
    castWork_ = true;
    // Busy over the main window only: the questions the start asks keep their own pointer.
    setCursor(Qt::BusyCursor);
    if (!RunLong([cast, files, started] { *started = cast->Start(files); },
                 [this, started] { FinishStart(*started); })) {
        FinishStart(false);
        return;
    }
    // The panel shows the start's steps as text until the homing shows its progress.
    ShowProgress(-1);
}

void TMainForm::FinishStart(bool started) {
    unsetCursor();
    castWork_ = false;
    // The start's own progress (the rosette homing) is over: the panel shows text again.
    ShowProgress(-1);
    if (!started) {
        rtcast_.reset();
        ReleaseRecordButton();
        alarm_->setEnabled(false);
        if (shell_->Mode() != TShellMode::Normal)
            shell_->SetNormalEnv();
        return;
    }
    SetPlotCaption("Cast : " + rtcast_->RawFile().filename().string());
    // The plot shows its scales for the running cast; the worker's refreshes bring the curves.
    plot_->PlotMainFrame->SetPlot();
    RefreshHeader();
    headerForm_->SetEditable(true);
    values_->DrawFixedField();
    // Any alarm the configuration checks: the alarm button on and pressed.
    const auto& checked = app_.config.GenCfg.AlarmChecked;
    if (std::any_of(std::begin(checked), std::end(checked), [](auto c) { return c != 0; })) {
        alarm_->setEnabled(true);
        alarm_->setChecked(true);
        SetAction("AlarmStop", true);
    }
    StatusChanged();
    castWatch_->start();
}

void TMainForm::StopCast() {
    if (!CastRunning() || stopping_) {
        ReleaseRecordButton();
        return;
    }
    // The button stays down while the question is open, and after Continue.
    {
        const QSignalBlocker quiet(Action("StartStopTool"));
        Action("StartStopTool")->setChecked(true);
    }
    stopping_ = true;
    const TCloseAnswer answer = CloseAcquisitionDialog();
    stopping_ = false;
    if (answer != TCloseAnswer::Continue)
        EndCast(answer);
}

void TMainForm::EndCast(TCloseAnswer answer) {
    if (!CastRunning() || LongWorkRunning())
        return;
    const std::string cruise = app_.config.GenCfg.CruiseName.Get();
    const int cast = ExtractCastNumber(rtcast_->RawFile().filename().string());
    // The worker's join, the last save and the probe's stop take up to a second or two: on the
    // long-work worker, the window alive meanwhile.
    auto stored = std::make_shared<bool>(false);
    TRTCast* rt = rtcast_.get();
    castWork_ = true;
    const bool running = RunLong(
        [rt, answer, stored] {
            Guard({"Error in MainForm.SpeedButtonRecordClick", "Starting or ending acquisition"},
                  [&] { *stored = rt->Stop(answer); });
        },
        [this, answer, stored, cruise, cast] {
            castWork_ = false;
            FinishEnd(answer, *stored, cruise, cast);
        });
    if (!running)
        castWork_ = false;
}

void TMainForm::FinishEnd(TCloseAnswer answer, bool stored, const std::string& cruise, int cast) {
    if (!rtcast_ || rtcast_->Running())
        return; // an abort not confirmed: the cast goes on
    castWatch_->stop();
    rtcast_.reset();
    CloseOperatorDialog();
    SetFireButton(false);
    ReleaseRecordButton();
    {
        const QSignalBlocker quiet(alarm_);
        alarm_->setChecked(false);
    }
    alarm_->setEnabled(false);
    alarm_->setIcon(style()->standardIcon(QStyle::SP_MessageBoxCritical));
    alarmPanel_.clear();
    bottlePanel_.clear();
    headerEdited_ = false;
    headerForm_->SetEditable(false);
    if (shell_->Mode() != TShellMode::Normal)
        shell_->SetNormalEnv();
    StatusChanged();
    // The cast stored is shown as File › Open shows it; after an abort, the last file again.
    if (stored) {
        OpenCast(cruise, cast);
    } else if (answer == TCloseAnswer::AbortCast && !app_.environ.LastFile.Get().empty()) {
        const fs::path last = app_.environ.LastFile.Get();
        const TFileType type = app_.environ.LastType;
        RunLong([this, last, type] { shell_->OpenAndDisplay(last, type); });
    }
}

// ---- The host's modes ------------------------------------------------------------------------------

void TMainForm::SetAcquiEnv() { shell_->SetAcquiEnv(); }

void TMainForm::SetNormalEnv() { shell_->SetNormalEnv(); }

// ---- The worker's steps, run on the GUI thread -------------------------------------------------

void TMainForm::UpdatePlot() { plot_->PlotMainFrame->SetPlotA(); }

void TMainForm::UpdateCurValue(const TAcquiLive& live) {
    live_ = live;
    values_->UpdateCurValue();
}

void TMainForm::SetCastInfoFields() {
    // Fields the operator is editing are not overwritten; they are written back first.
    if (!headerEdited_)
        headerForm_->Show(app_.cast.Loaded.CastHeader, app_.cast.Loaded.CruiseHeader);
}

void TMainForm::UpdateCastInfo() {
    if (!headerEdited_ || !app_.cast.Loaded.CastHeader)
        return;
    std::string refusal;
    if (headerForm_->Take(*app_.cast.Loaded.CastHeader, refusal))
        headerEdited_ = false;
    else
        WriteLog("The cast header keeps its " + refusal + ": the field is refused");
}

void TMainForm::AcquiStatusStr(const std::string& text) { ShowStatusText(text); }

void TMainForm::BlinkButton(const TBlinkState& state) {
    SetRecordPicture(state.record);
    alarm_->setIcon(state.alarmPicture ? style()->standardIcon(QStyle::SP_MessageBoxCritical)
                                       : BlankIcon());
    alarmPanel_ = state.alarmPanel;
    ApplyAcquiPanels();
}

void TMainForm::ShowLinks(const TLinkStates& links) {
    for (int i = 0; i < LinkCount; ++i)
        SetLinkState(i, static_cast<int>(links[i]));
}

void TMainForm::ShowBottlePanel(const std::string& text) {
    bottlePanel_ = text;
    ApplyAcquiPanels();
}

void TMainForm::ShowError(const std::string& report) {
    // Not modal: the worker that handed the report over goes on at once.
    WriteLog(report);
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Error"), Q(report),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void TMainForm::ApplyAcquiPanels() {
    if (!CastRunning())
        return;
    if (!bottlePanel_.empty())
        panels_[7]->setText(Q(bottlePanel_));
    panels_[11]->setText(Q(alarmPanel_));
}

} // namespace marevo

#include "ui/MainForm.h"

#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "ui/ConfigForm.h"
#include "ui/BottlesForm.h"
#include "ui/DataDialogs.h"
#include "ui/CruiseEditorDialog.h"
#include "ui/EnvironmentDialog.h"
#include "ui/HeaderForm.h"
#include "ui/HelpViewer.h"
#include "ui/ParameterEditor.h"
#include "ui/ParaListDialog.h"
#include "ui/PlotForm.h"
#include "ui/PrintDialogs.h"
#include "ui/QtSeams.h"
#include "ui/UploadDialog.h"
#include "ui/ValuesForm.h"
#include "ui/WindowPlace.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <fmt/core.h>

namespace marevo {

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

const QString ConfigFilter = QStringLiteral("Marevo Configuration files (*.cfg *.CFG)");

// The cast export's filters, in the order of TExportFormat.
const QStringList& ExportFilters() {
    static const QStringList filters{QStringLiteral("Text (*.txt)"), QStringLiteral("NetCDF (*.nc)"),
                                     QStringLiteral("ODV spreadsheet (*.txt)")};
    return filters;
}

// The link indicator colours by state: offline, good, error, white.
const char* const LinkColours[] = {"#9a9a9a", "#1fa83a", "#d22a2a", "#ffffff"};

} // namespace

TMainForm::TMainForm(TApplication& app, QWidget* parent)
    : QMainWindow(parent), app_(app), shell_(std::make_unique<TMainShell>(app, *this)) {
    setWindowTitle(QStringLiteral("Real Time Data Aquisition"));
    // Width: the screen's, but 1000 on a screen wider than 1100; at the top left.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1000;
    resize(screenWidth > 1100 ? 1000 : screenWidth, 120);
    move(0, 0);
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    BuildWindows();
    InitBatch();
    InitAcqui();
    InitRemote();

    // The dialogs; tests replace them.
    OpenDataDialog = [this]() -> std::optional<std::pair<std::string, int>> {
        TOpenDataDialog dialog(
            shell_->Cruises(), [this](const std::string& c) { return shell_->Casts(c); },
            app_.config.GenCfg.CruiseName.Get(), shell_->LoadedCastNumber(), this);
        if (dialog.exec() != QDialog::Accepted || dialog.Cast() <= 0)
            return std::nullopt;
        return std::make_pair(dialog.Cruise(), dialog.Cast());
    };
    FileDialog = [this](bool save, const QString& title, const fs::path& proposed,
                        const QString& filter) -> fs::path {
        const QString chosen = save ? QFileDialog::getSaveFileName(this, title, Q(proposed), filter)
                                    : QFileDialog::getOpenFileName(this, title, Q(proposed), filter);
        return chosen.toStdString();
    };
    ExportCastDialog = [this](const fs::path& proposed)
        -> std::optional<std::pair<fs::path, TExportFormat>> {
        const std::unique_ptr<QFileDialog> dialog = NewExportCastDialog(this, proposed);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return std::nullopt;
        const auto format = static_cast<TExportFormat>(
            std::max<qsizetype>(0, ExportFilters().indexOf(dialog->selectedNameFilter())));
        return std::pair{fs::path(dialog->selectedFiles().front().toStdString()), format};
    };
    LoggerFilesDialog = [this]() {
        std::vector<fs::path> files;
        const QStringList chosen = QFileDialog::getOpenFileNames(
            this, QStringLiteral("Open MicroMarevo/Vandrel files"),
            Q(shell_->DataRoot() / "uMvo"),
            QStringLiteral("MicroMarevo/Vandrel files (*.raw *.RAW)"));
        for (const QString& f : chosen)
            files.emplace_back(f.toStdString());
        return files;
    };
    RunDialog = [](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
    NewCruiseDialog = [this](TCastInfo& header) {
        TNewCruiseForm dialog(header, shell_->DataRoot(), this);
        return dialog.exec() == QDialog::Accepted;
    };
    ParaListDialog = [this](const QString& title, TParaList& list) {
        // The values window may show the derived columns of the binned table.
        const bool values = &list == &app_.config.GenCfg.CurParaList;
        TParaListDialog dialog(title, list, app_.probe, app_.cast, this, values);
        return dialog.exec() == QDialog::Accepted;
    };
    InitFiring();
}

TMainForm::~TMainForm() {
    // An upload still running ends (and its worker with it) before the windows it uses go.
    upload_.reset();
    // A cast still running ends unstored before the windows its worker refreshes go.
    rtcast_.reset();
    if (worker_.joinable())
        WaitLongWork();
}

// ---- Building -------------------------------------------------------------------------------------

QAction* TMainForm::Add(QMenu* menu, const QString& name, const QString& text,
                        std::function<void()> slot, const QKeySequence& key) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    connect(a, &QAction::triggered, this, [slot] { slot(); });
    menu->addAction(a);
    actions_[name] = a;
    return a;
}

void TMainForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    const auto menu = [&](const QString& name, const QString& title) {
        QMenu* m = bar->addMenu(title);
        m->menuAction()->setObjectName(name);
        menus_[name] = m;
        actions_[name] = m->menuAction();
        return m;
    };
    QMenu* file = menu("FileMenu", "&File");
    Add(file, "FileNew", "&New Cruise", [this] { FileNew(); }, QKeySequence(Qt::CTRL | Qt::Key_N));
    Add(file, "FileOpen", "&Open", [this] { FileOpen(); }, QKeySequence(Qt::CTRL | Qt::Key_O));
    Add(file, "FileSave", "&Save", [this] { FileSave(); }, QKeySequence(Qt::CTRL | Qt::Key_S));
    QMenu* exportMenu = file->addMenu("Export As &Text");
    QMenu* current = exportMenu->addMenu("Current Cast");
    Add(current, "ExportCast", "Extract cast data", [this] { ExportCast(); });
    Add(current, "ExportSmoothed", "Smoothed cast data", [] {})->setEnabled(false);
    Add(current, "ExportRaw", "Raw cast data", [] {})->setEnabled(false);
    Add(exportMenu, "ExportHeader", "Header", [this] { ExportHeader(); });
    Add(exportMenu, "ExportBottles", "Bottle List", [this] { ExportBottles(); });
    QMenu* import = file->addMenu("&Import");
    Add(import, "ImportRaw", "Raw", [this] { OpenRawFile(); });
    Add(import, "ImportLoggers", "MicroMarevo/Vandrel files", [this] { ImportLoggers(); });
    file->addSeparator();
    Add(file, "PrinterSetup", "Printer Setup", [this] { PrinterSetup(this); });
    Add(file, "PlotSetup", "Plot Setup", [this] {
        EditPlotSetup(app_, [this] { ShowManual(QStringLiteral("printing.md")); }, this);
    });
    QMenu* print = file->addMenu("&Print");
    Add(print, "PrintPlotItem", "Plot", [this] { PrintPlot(); });
    Add(print, "PrintBottles", "Bottles", [this] {
        Guarded("PrintBottlesClick", "Print Bottle",
                [this] { PrintBottlesCommand(app_, *shell_, PdfChooser()); });
    });
    file->addSeparator();
    Add(file, "Quit", "&Quit", [this] { close(); });

    QMenu* view = menu("ViewMenu", "&View");
    Add(view, "ViewPlot", "Plot", [this] { plot_->show(), plot_->raise(); });
    Add(view, "ViewHeader", "Header", [this] { header_->show(), header_->raise(); });
    Add(view, "ViewBottles", "Bottles", [this] { bottles_->show(), bottles_->raise(); });
    Add(view, "ViewValues", "Values", [this] { values_->show(), values_->raise(); });
    Add(view, "ViewProbe", "Probe", [this] {
        TParameterEditor view(app_.cast, false, this);
        RunDialog(view);
    });
    Add(view, "ViewRDR", "RDR", [this] { ShowRemoteDepthView(); });
    view->addSeparator();
    Add(view, "ResetPosition", "Reset position", [this] { ResetPositions(); });

    QMenu* tools = menu("ToolsMenu", "&Tools");
    Add(tools, "CastEditor", "Cast Editor", [this] { EditCruises(); });
    Add(tools, "ParameterEditor", "Parameter Editor", [this] { EditParameters(); });
    Add(tools, "Terminal", "Terminal", [this] { StartTerminal(); });
    Add(tools, "ClearLogs", "Clear log files", [this] { ClearLogs(); });
    Add(tools, "RebuildCruise", "Rebuild Cruise File", [this] { RebuildCruise(); });

    QMenu* acq = menu("AcquisitionMenu", "&Acquisition");
    Add(acq, "AlarmSet", "Alarm Set", [this] { alarm_->setChecked(true); });
    Add(acq, "AlarmStop", "Alarm Stop", [this] { alarm_->setChecked(false); });
    acq->addSeparator();
    // The items press and release the record button.
    Add(acq, "StartCast", "Start Cast", [this] {
        if (!RecordButtonDown())
            Action("StartStopTool")->trigger();
    });
    Add(acq, "StopCast", "Stop Cast", [this] {
        if (RecordButtonDown())
            Action("StartStopTool")->trigger();
    });
    Add(acq, "FireBottle", "Fire Bottle", [this] { SBFireClick(); }, QKeySequence(Qt::Key_F8));

    QMenu* cfg = menu("ConfigurationMenu", "&Configuration");
    Add(cfg, "Configuration", "Configuration", [this] { EditConfiguration(); });
    Add(cfg, "ValuesParameters", "Values Window", [this] { ValueParameters(); });
    Add(cfg, "BottlesParameters", "Bottles Window", [this] { BottleParameters(); });
    cfg->addSeparator();
    Add(cfg, "OpenConfig", "Open Config", [this] { OpenConfig(); });
    Add(cfg, "SaveConfigAs", "Save Config As", [this] { SaveConfigAs(); });
    cfg->addSeparator();
    Add(cfg, "Environment", "Environment", [this] { EditEnvironment(); });

    QMenu* remote = menu("RemoteMenu", "&Remote");
    Add(remote, "UploadCast", "Upload cast", [this] { UploadCast(); });
    Add(remote, "ClearMemory", "Clear Memory", [this] { ClearMemoryCommand(); });
    Add(remote, "StopDataFlow", "Stop Data Flow", [this] { StopDataFlowCommand(); });

    QMenu* batch = menu("BatchMenu", "&Batch");
    Add(batch, "BatchCastList", "Cast List", [this] { BatchCastList(); });
    Add(batch, "BatchCommandList", "Command List", [this] { BatchCommandList(); });
    Add(batch, "BatchExecute", "Execute", [this] { RunBatch(); });
    Add(batch, "Overlay", "Overlay", [this] { RunBatch(true); })->setVisible(false);

    QMenu* help = menu("HelpMenu", "&Help");
    Add(help, "HelpContent", "Content", [this] { ShowManual(); }, QKeySequence(Qt::CTRL | Qt::Key_H));
    Add(help, "About", "About", [this] { About(); });
}

QAction* TMainForm::Tool(const QString& name, const QString& tip, const QIcon& icon,
                         std::function<void(bool)> slot, bool checkable) {
    auto* a = new QAction(icon, tip, this);
    a->setObjectName(name);
    a->setToolTip(tip);
    a->setCheckable(checkable);
    connect(a, &QAction::triggered, this, [slot](bool on) { slot(on); });
    actions_[name] = a;
    return a;
}

void TMainForm::BuildToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Tools"));
    bar->setObjectName("ToolBar");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setIconSize(QSize(20, 20));
    QStyle* s = style();
    const auto add = [&](QAction* a, const QString& text) {
        a->setIconText(text);
        bar->addAction(a);
    };
    add(Tool("OpenTool", "Open a Binary File", s->standardIcon(QStyle::SP_DialogOpenButton),
             [this](bool) { FileOpen(); }),
        "Open");
    add(Tool("SaveTool", "Save as Binary file", s->standardIcon(QStyle::SP_DialogSaveButton),
             [this](bool) { FileSave(); }),
        "Save");
    add(Tool("ImportRawTool", "Import Current Raw File", s->standardIcon(QStyle::SP_BrowserReload),
             [this](bool) { ImportRaw(); }),
        "Raw");
    add(Tool("ImportLoggersTool", "Import MicroMarevo/Vandrel files",
             s->standardIcon(QStyle::SP_DriveHDIcon), [this](bool) { ImportLoggers(); }),
        "Import");
    add(Tool("PrintPlotTool", "Print plot", s->standardIcon(QStyle::SP_FileDialogDetailedView),
             [this](bool) { PrintPlot(); }),
        "Print");
    bar->addSeparator();
    add(Tool("StartStopTool", "Start/Stop Cast", QIcon(),
             [this](bool down) { down ? StartCast() : StopCast(); }, true),
        "Cast");
    add(Tool("FireTool", "Fire a Bottle", s->standardIcon(QStyle::SP_MediaSeekForward),
             [this](bool) { SBFireClick(); }, true),
        "Fire");
    bar->addSeparator();
    add(Tool("CfgTool", "Cfg", QIcon(), [this](bool) { EditConfiguration(); }),
        "Cfg");
    add(Tool("SaveConfigTool", "Save Configuration", QIcon(), [this](bool) {
                 Guarded("SaveConfigurationClick", "Saving configuration",
                         [this] { shell_->SaveConfiguration(); });
             }),
        "Save Cfg");
    add(Tool("OpenConfigTool", "Open Configuration", QIcon(), [this](bool) { OpenConfig(); }),
        "Open Cfg");
    bar->addSeparator();
    add(Tool("PrecTool", "Prec Cast", s->standardIcon(QStyle::SP_ArrowLeft),
             [this](bool) { RunLong([this] { shell_->Previous(); }); }),
        "Prec");
    add(Tool("NextTool", "Next Cast", s->standardIcon(QStyle::SP_ArrowRight),
             [this](bool) { RunLong([this] { shell_->Next(); }); }),
        "Next");
    add(Tool("DownTool", "Down Cast", s->standardIcon(QStyle::SP_ArrowDown),
             [this](bool) { shell_->SetDirection(Direction_Down); }, true),
        "Down");
    add(Tool("UpTool", "Up Cast", s->standardIcon(QStyle::SP_ArrowUp),
             [this](bool) { shell_->SetDirection(Direction_Up); }, true),
        "Up");
    add(Tool("BothTool", "Up & Down", QIcon(), [this](bool) { shell_->SetDirection(Direction_Both); }, true),
        "Both");
    bar->addSeparator();
    add(Tool("AutoXTool", "Auto Scales (horizontal)", QIcon(), [this](bool on) { shell_->SetAutoScale(true, on); }, true),
        "Auto X");
    add(Tool("AutoYTool", "Auto Scales (vertical)", QIcon(), [this](bool on) { shell_->SetAutoScale(false, on); }, true),
        "Auto Y");
    add(Tool("SmoothTool", "Smooth", QIcon(), [this](bool on) { shell_->SetSmooth(on); }, true),
        "Smooth");
    add(Tool("BottlesTool", "Show Bottles", QIcon(), [this](bool on) { shell_->SetShowBottles(on); }, true),
        "Bottles");
    add(Tool("CursorTool", "Show Cursor", QIcon(), [this](bool on) { shell_->SetShowCursor(on); }, true),
        "Cursor");
    add(Tool("FlaggedTool", "Change 'Show' flagged data filter",
             QIcon(), [this](bool on) { shell_->SetFlaggedFilter(on); }, true),
        "Flagged");
    bar->addSeparator();
    alarm_ = new QToolButton(this);
    alarm_->setObjectName("AlarmButton");
    alarm_->setText(QStringLiteral("Alarm"));
    alarm_->setToolTip(QStringLiteral("Alarm"));
    alarm_->setIcon(s->standardIcon(QStyle::SP_MessageBoxCritical));
    alarm_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    alarm_->setCheckable(true);
    alarm_->setEnabled(false);
    bar->addWidget(alarm_);
}

void TMainForm::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < StatusPanelCount; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i));
        if (i % 2 == 0) {
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            label->setStyleSheet(QStringLiteral("color: #555"));
        } else {
            label->setFrameShape(QFrame::StyledPanel);
            label->setMinimumWidth(i == 1 || i == 5 ? 70 : 24);
        }
        panels_.push_back(label);
        if (i == StatusTextPanel) {
            lastPanel_ = new QStackedWidget(this);
            progress_ = new QProgressBar(this);
            progress_->setRange(0, 100);
            progress_->setTextVisible(false);
            progress_->setStyleSheet(
                QStringLiteral("QProgressBar::chunk { background-color: #1e5bd8; }"));
            lastPanel_->addWidget(label);
            lastPanel_->addWidget(progress_);
            bar->addWidget(lastPanel_, 1);
        } else {
            bar->addWidget(label);
        }
    }
    const char* names[] = {"CTD", "GPS", "PAR"};
    for (int i = 0; i < 3; ++i) {
        auto* box = new QWidget(this);
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(4, 0, 0, 0);
        layout->setSpacing(3);
        links_[i] = new QLabel(box);
        links_[i]->setFixedSize(12, 12);
        layout->addWidget(links_[i]);
        layout->addWidget(new QLabel(QString::fromLatin1(names[i]), box));
        bar->addPermanentWidget(box);
        SetLinkState(i, 0);
    }
}

void TMainForm::BuildWindows() {
    plot_ = new TPlotForm(app_.config, app_.cast, *this, &app_.environ, this);
    plot_->resize(620, 720);
    const auto onLine = [this] { return app_.cast.Acqui.ProbeOnLine; };
    values_ = new TValuesForm(
        app_.config, app_.cast,
        {onLine, [this] { return shell_->Tools().cursor; },
         [this] { return shell_->Tools().flaggedFilter; },
         [this](int row) { plot_->PlotMainFrame->SetCursor(row); },
         [this] { ValueParameters(); }, [this] { ExportCast(); }},
        &app_.environ, this);
    bottles_ = new TBottlesForm(
        app_.config, app_.cast,
        {onLine, [this] { return Action("FireBottle")->isEnabled(); },
         [this](bool again, int bottle) { FireRequest(again, bottle); },
         [this] { FireControls(); }, [this] { Action("PrintBottles")->trigger(); },
         [this] { ExportBottles(); }, [this] { BottleParameters(); },
         [this] { plot_->PlotMainFrame->SetPlot(); }},
        &app_.environ, this);
    header_ = new QWidget(this, Qt::Window);
    header_->setWindowTitle(QStringLiteral("Header"));
    auto* layout = new QVBoxLayout(header_);
    headerForm_ = new THeaderForm(header_);
    layout->addWidget(headerForm_);
    header_->resize(380, 520);
}

THelpViewer* TMainForm::Manual() {
    if (!manual_)
        manual_ = new THelpViewer(ManualFolder(), this);
    return manual_;
}

// ---- Start and end ---------------------------------------------------------------------------------

bool TMainForm::StartUp() {
    const TStartUpResult r = shell_->StartUp();
    if (!r.completed)
        return false;
    setWindowTitle(Q(TMainShell::Caption()));
    batch_->FromEnviron();
    StatusChanged();
    return true;
}

void TMainForm::PlaceWindows() {
    const TEnviron& env = app_.environ;
    // Never over the main window's own bar.
    const int below = frameGeometry().bottom() + 4;
    PlaceWindow(plot_, env.PlotRect, {420, 420}, below);
    PlaceWindow(values_, env.ValueRect, {300, 160}, below);
    PlaceWindow(bottles_, env.BottlesRect, {300, 160}, below);
    PlaceWindow(header_, env.HeaderRect, {300, 200}, below);
}

void TMainForm::FirstShow() {
    PlaceWindows();
    const TEnviron& env = app_.environ;
    if (env.HeaderShown)
        header_->show();
    if (env.ValueShown)
        values_->show();
    if (env.BottleShown)
        bottles_->show();
    // A new workstation shows the plot too.
    if (env.PlotShown || env.LastFile.Get().empty())
        plot_->show();
    ApplyRemoteDepth();
    if (env.RDRShown && env.RemoteDepth.Enabled != 0)
        ShowRemoteDepthView();
    // Reopening the last cast reads its file on the worker, as every opening does.
    RunLong([this] { shell_->FirstShow(); });
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (LongWorkRunning() || !shell_->CanClose()) {
        if (LongWorkRunning())
            QApplication::beep();
        event->ignore();
        return;
    }
    TEnviron& env = app_.environ;
    env.PlotShown = plot_->isVisible();
    env.ValueShown = values_->isVisible();
    env.BottleShown = bottles_->isVisible();
    env.HeaderShown = header_->isVisible();
    CloseRemote();
    shell_->Close();
    for (QWidget* w : std::initializer_list<QWidget*>{plot_, values_, bottles_, header_})
        w->close();
    if (manual_)
        manual_->close();
    event->accept();
}

// ---- Long work -------------------------------------------------------------------------------------

bool TMainForm::RunLong(std::function<void()> work, std::function<void()> done) {
    if (worker_.joinable())
        return false;
    menuBar()->setEnabled(false);
    for (QToolBar* bar : findChildren<QToolBar*>())
        bar->setEnabled(false);
    plot_->PlotMainFrame->Freeze(true);
    ShowProgress(0);
    worker_ = std::thread([this, work = std::move(work), done = std::move(done)] {
        Guard({"Error in MainForm.LongWork "}, work);
        // The ending runs on the GUI thread once the worker is joined.
        QMetaObject::invokeMethod(this, [this, done] {
            if (worker_.joinable())
                worker_.join();
            plot_->PlotMainFrame->Freeze(false, !keepPlotImage_);
            menuBar()->setEnabled(true);
            for (QToolBar* bar : findChildren<QToolBar*>())
                bar->setEnabled(true);
            ShowProgress(-1);
            ModeChanged();
            if (done)
                done();
        }, Qt::QueuedConnection);
    });
    return true;
}

void TMainForm::WaitLongWork() {
    // The ending joins the worker on the GUI thread, so the loop serves events until then.
    while (worker_.joinable())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// ---- Commands --------------------------------------------------------------------------------------

void TMainForm::Guarded(const char* handler, const char* box, const std::function<void()>& body) {
    const std::string prefix = std::string("Error in MainForm.") + handler;
    Guard({prefix, box}, body);
}

void TMainForm::FileNew() {
    Guarded("FileNew1Execute", "Create new cruise", [this] { shell_->NewCruise(NewCruiseDialog); });
}

void TMainForm::FileOpen() {
    Guarded("FileOpenExecute", "Opening file", [this] {
        const auto chosen = OpenDataDialog();
        if (chosen)
            OpenCast(chosen->first, chosen->second);
    });
}

bool TMainForm::OpenCast(const std::string& cruise, int cast) {
    return RunLong([this, cruise, cast] { shell_->OpenCast(cruise, cast); });
}

void TMainForm::FileSave() {
    Guarded("FileSave1Execute", "Saving binary file", [this] { shell_->Save(); });
}

void TMainForm::ExportText(const char* handler, bool needsCast, const fs::path& proposed,
                           bool (TMainShell::*write)(const fs::path&)) {
    Guarded(handler, "Exporting data as text", [&] {
        if (needsCast && !shell_->CastLoaded()) {
            Operator().Message("No Data Loaded!", "", TMessageKind::Information);
            return;
        }
        const fs::path file = FileDialog(true, QStringLiteral("Save As Text File"), proposed,
                                         QStringLiteral("Marevo Text files (*.txt *.TXT)"));
        if (!file.empty() && (shell_.get()->*write)(file))
            StatusMessage("Exported " + file.string());
    });
}

std::unique_ptr<QFileDialog> NewExportCastDialog(QWidget* parent, const fs::path& proposed) {
    auto dialog = std::make_unique<QFileDialog>(parent, QStringLiteral("Save As Text File"),
                                                Q(proposed.parent_path()));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilters(ExportFilters());
    dialog->selectFile(Q(proposed.filename()));
    return dialog;
}

void TMainForm::ExportCast() {
    Guarded("SaveAsTextClick", "Exporting data as text", [&] {
        if (!shell_->CastLoaded()) {
            Operator().Message("No Data Loaded!", "", TMessageKind::Information);
            return;
        }
        const fs::path proposed = shell_->ProposedCastText();
        const auto chosen = ExportCastDialog(proposed);
        if (!chosen)
            return;
        fs::path file = chosen->first;
        const TExportFormat format = chosen->second;
        if (format == TExportFormat::Text) {
            if (shell_->ExportCastText(file))
                StatusMessage("Exported " + file.string());
            return;
        }
        // The name the dialog proposed is the text export's: the other formats get their own.
        if (format == TExportFormat::NetCdf && file.extension() != ".nc")
            file.replace_extension(".nc");
        if (format == TExportFormat::Odv && file == proposed)
            file.replace_filename(proposed.stem().string() + "_odv.txt");
        auto written = std::make_shared<bool>(false);
        RunLong([this, file, format, written] { *written = shell_->ExportCast(file, format); },
                [this, file, written] {
                    if (*written)
                        StatusMessage("Exported " + file.string());
                });
    });
}

void TMainForm::ExportHeader() {
    ExportText("HeaderTextClick", false, shell_->ProposedHeaderText(),
               &TMainShell::ExportHeaderText);
}

void TMainForm::ExportBottles() {
    ExportText("BottleTextClick", true, shell_->ProposedBottleText(),
               &TMainShell::ExportBottleText);
}

void TMainForm::ImportRaw() {
    RunLong([this] { shell_->ImportCurrentRaw(); });
}

void TMainForm::ImportLoggers() {
    const std::vector<fs::path> files = LoggerFilesDialog();
    if (files.empty())
        return;
    RunLong([this, files] { shell_->ImportLoggerFiles(files); });
}

void TMainForm::RebuildCruise() {
    const fs::path file = FileDialog(false, QStringLiteral("Rebuild cruise file"),
                                     shell_->DataRoot(), QStringLiteral("Cruise file (*.cru *.CRU)"));
    if (file.empty())
        return;
    RunLong([this, file] { shell_->RebuildCruise(file); });
}

void TMainForm::OpenRawFile() {
    const auto chosen = OpenDataDialog();
    if (!chosen)
        return;
    RunLong([this, chosen] { shell_->OpenRawCast(chosen->first, chosen->second); });
}

void TMainForm::ClearLogs() {
    Guarded("ClearLogFilesClick", "Clear log files", [this] {
        const int n = shell_->ClearLogFiles();
        if (n >= 0)
            StatusMessage(std::to_string(n) + " log files deleted");
    });
}

void TMainForm::OpenConfig() {
    Guarded("OpenConfigClick", "Open configuration", [this] {
        const fs::path file = FileDialog(false, QStringLiteral("Open Configuration File"),
                                         app_.environ.ConfigFolder(),
                                         ConfigFilter);
        if (!file.empty())
            shell_->OpenConfig(file);
    });
}

void TMainForm::SaveConfigAs() {
    Guarded("SaveConfigAsClick", "Save configuration", [this] {
        const fs::path file = FileDialog(true, QStringLiteral("Save Configuration"),
                                         app_.environ.ConfigFileName(),
                                         ConfigFilter);
        if (!file.empty())
            shell_->SaveConfigAs(file);
    });
}

void TMainForm::ShowManual(const QString& chapter) {
    THelpViewer* viewer = Manual();
    viewer->ShowChapter(chapter);
    viewer->show();
    viewer->raise();
}

void TMainForm::About() {
    QMessageBox::about(this, QStringLiteral("About Marevo"),
                       Q(TMainShell::Caption()) +
                           QStringLiteral("\n\nCTD profiling: real-time acquisition, processing, "
                                          "display and storage of oceanographic casts."));
}

void TMainForm::EditParameters() {
    Guarded("ParameterListClick", "Parameter list", [this] {
        TParameterEditor editor(app_.probe, true, this);
        if (RunDialog(editor)) // a failure to write is told by the collection
            app_.probe.SaveToStreamName(app_.environ.ParamColFileName());
    });
}

void TMainForm::EditCruises() {
    const std::string cruise = app_.config.GenCfg.CruiseName.Get();
    const int loaded = shell_->LoadedCastNumber();
    ClearDataWindows();
    {
        TCruiseEditor editor(app_);
        TCruiseEditorDialog dialog(editor, this);
        RunDialog(dialog);
    }
    // The cast in hand again, with the header as edited.
    if (loaded > 0)
        OpenCast(cruise, loaded);
}

void TMainForm::EditConfiguration() {
    std::unique_ptr<TSettingsForm> form(NewConfigForm(app_.config, ParaListDialog, this));
    if (!RunDialog(*form))
        return;
    app_.config.UpdateAllParaPtr(app_.Collections()); // the export lists may be new
    // With "Config Auto Save" the settings reach their file at once, not only at closing.
    if (app_.environ.Preferences.AutoCfgCheck == 1)
        shell_->SaveConfiguration();
    shell_->ConfigurationChanged();
}

void TMainForm::EditEnvironment() {
    const bool ports = At(shell_->States(), TModeElement::EnvironmentPortPages).enabled;
    TEnvironmentDialog dialog(app_.environ, ports, [] { return DetectSerialDevices(); }, this);
    if (RunDialog(dialog)) {
        ApplyRemoteDepth(); // before the environment is written: a port that fails disables it
        shell_->EnvironmentChanged();
    }
}

void TMainForm::ResetPositions() {
    shell_->ResetWindowPlaces();
    PlaceWindows();
}

// ---- What the shell asks -----------------------------------------------------------------------------

void TMainForm::ClearDataWindows() {
    RunOnGuiThread([this] {
        headerForm_->Show(nullptr);
        values_->Clear();
        bottles_->Clear();
        plot_->setWindowTitle(QStringLiteral("Plot"));
    });
}

void TMainForm::SetBusy(bool busy) {
    RunOnGuiThread([busy] {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    });
}

void TMainForm::HidePlotCursor() {
    RunOnGuiThread([this] {
        // The plot draws its cursor only while the host allows it (the button is down).
        plot_->PlotMainFrame->update();
        actions_["CursorTool"]->setChecked(false);
    });
}

void TMainForm::ShowPlotCursor(int row) {
    RunOnGuiThread([this, row] {
        app_.config.GenCfg.CursorOn = 1;
        plot_->PlotMainFrame->SetCursor(row);
    });
}

void TMainForm::SetPlotCaption(const std::string& caption) {
    RunOnGuiThread([this, caption] { plot_->setWindowTitle(Q(caption)); });
}

void TMainForm::RebuildPlot() {
    RunOnGuiThread([this] { plot_->PlotMainFrame->myresize(); });
}

void TMainForm::RedrawPlot() {
    RunOnGuiThread([this] { plot_->PlotMainFrame->SetPlot(); });
}

void TMainForm::RefreshHeader() {
    RunOnGuiThread([this] {
        const TCastInfo* cast = app_.cast.Loaded.CastHeader;
        headerForm_->Show(shell_->CastLoaded() || app_.cast.Loaded.TypeLoaded != FileTypeNone
                              ? cast
                              : nullptr,
                          app_.cast.Loaded.CruiseHeader);
    });
}

void TMainForm::RefreshValues(bool reloadRows) {
    RunOnGuiThread([this, reloadRows] {
        if (reloadRows)
            values_->ShowData();
        else
            values_->DrawFixedField();
    });
}

void TMainForm::RefreshBottles() {
    RunOnGuiThread([this] { bottles_->UpdateCurValue(); });
}

int TMainForm::ValuesSelectedRow() const { return values_->SelectedRow(); }
int TMainForm::ValuesFirstRow() const { return values_->FirstRow(); }
void TMainForm::ShowValuesRow(int row) { values_->ShowCursorValue(row); }
int TMainForm::BottlesSelectedRow() const { return bottles_->SelectedRow(); }

void TMainForm::ValueParameters() {
    Guarded("ParameterClick", "Values parameters", [this] {
        if (!ParaListDialog(QStringLiteral("Values Window"), app_.config.GenCfg.CurParaList))
            return;
        if (app_.cast.Count() > 0)
            app_.cast.BuildCalcList();
        app_.config.UpdateAllParaPtr(app_.Collections());
        if (app_.cast.Acqui.ProbeOnLine)
            values_->DrawFixedField();
        else
            values_->ShowData();
    });
}

void TMainForm::BottleParameters() {
    Guarded("BottleParametersClick", "Bottles parameters", [this] {
        if (!ParaListDialog(QStringLiteral("Bottles Window"), app_.config.GenCfg.BottleParaList))
            return;
        if (app_.cast.Count() > 0)
            app_.cast.BuildCalcList();
        app_.config.UpdateAllParaPtr(app_.Collections());
        bottles_->UpdateCurValue();
    });
}

void TMainForm::ToolsChanged() {
    RunOnGuiThread([this] {
        const TToolState& t = shell_->Tools();
        actions_["DownTool"]->setChecked(t.direction == Direction_Down);
        actions_["UpTool"]->setChecked(t.direction == Direction_Up);
        actions_["BothTool"]->setChecked(t.direction == Direction_Both);
        actions_["AutoXTool"]->setChecked(t.autoX);
        actions_["AutoYTool"]->setChecked(t.autoY);
        actions_["SmoothTool"]->setChecked(t.smooth);
        actions_["BottlesTool"]->setChecked(t.bottles);
        actions_["CursorTool"]->setChecked(t.cursor);
        actions_["FlaggedTool"]->setChecked(t.flaggedFilter);
        if (shell_->Mode() == TShellMode::Normal) {
            actions_["PrecTool"]->setEnabled(t.precEnabled);
            actions_["NextTool"]->setEnabled(t.nextEnabled);
            actions_["SaveTool"]->setVisible(t.saveVisible);
        }
    });
}

void TMainForm::SetAction(const QString& name, bool enabled, bool visible) {
    if (QAction* a = Action(name)) {
        a->setEnabled(enabled);
        a->setVisible(visible);
    }
}

void TMainForm::ModeChanged() {
    RunOnGuiThread([this] {
        const TModeStates& s = shell_->States();
        const auto st = [&](TModeElement e) { return At(s, e); };
        const auto apply = [&](TModeElement e, std::initializer_list<const char*> names) {
            for (const char* n : names)
                SetAction(n, st(e).enabled, st(e).visible);
        };
        using E = TModeElement;
        apply(E::FileMenu, {"FileMenu"});
        apply(E::ViewMenu, {"ViewMenu"});
        apply(E::ToolsMenu, {"ToolsMenu"});
        apply(E::AcquisitionMenu, {"AcquisitionMenu"});
        apply(E::StartCastItem, {"StartCast"});
        apply(E::StopCastItem, {"StopCast"});
        apply(E::AlarmItems, {"AlarmSet", "AlarmStop"});
        apply(E::ConfigurationMenu, {"ConfigurationMenu"});
        apply(E::OpenConfigItem, {"OpenConfig"});
        apply(E::EnvironmentItem, {"Environment"});
        apply(E::RemoteMenu, {"RemoteMenu"});
        apply(E::BatchMenu, {"BatchMenu"});
        apply(E::OpenCommand, {"FileOpen", "OpenTool"});
        apply(E::PrintPlot, {"PrintPlotItem", "PrintPlotTool"});
        apply(E::Terminal, {"Terminal"});
        apply(E::ShowCursor, {"CursorTool"});
        apply(E::SaveButton, {"SaveTool"});
        apply(E::PrecNext, {"PrecTool", "NextTool"});
        apply(E::AutoScales, {"AutoXTool", "AutoYTool"});
        apply(E::CfgButton, {"CfgTool"});
        apply(E::SaveConfigButton, {"SaveConfigTool"});
        apply(E::OpenConfigButton, {"OpenConfigTool"});
        apply(E::StartStopButton, {"StartStopTool"});
        apply(E::Fire, {"FireBottle", "FireTool"});
        apply(E::RawImport, {"ImportRawTool", "ImportLoggersTool"});
        alarm_->setEnabled(st(E::AlarmItems).enabled);
        if (!st(E::LinkIndicators).enabled)
            for (int i = 0; i < 3; ++i)
                SetLinkState(i, 0);
        if (shell_->Mode() == TShellMode::Normal) {
            const TToolState& t = shell_->Tools();
            SetAction("PrecTool", t.precEnabled);
            SetAction("NextTool", t.nextEnabled);
            SetAction("SaveTool", true, t.saveVisible);
        }
    });
}

void TMainForm::StatusChanged() {
    RunOnGuiThread([this] {
        const auto texts = shell_->Panels(statusText_);
        for (int i = 0; i < StatusPanelCount; ++i)
            panels_[i]->setText(Q(texts[i]));
        ApplyAcquiPanels();
    });
}

void TMainForm::ShowStatusText(const std::string& text) {
    statusText_ = text;
    panels_[StatusTextPanel]->setText(Q(text));
    panels_[StatusTextPanel]->repaint();
}

void TMainForm::ShowProgress(int pos) {
    if (pos < 0) {
        lastPanel_->setCurrentIndex(0);
    } else {
        progress_->setValue(std::min(pos, 100));
        lastPanel_->setCurrentIndex(1);
    }
}

bool TMainForm::ProgressShown() const { return lastPanel_->currentIndex() == 1; }
int TMainForm::ProgressValue() const { return progress_->value(); }
QString TMainForm::PanelText(int panel) const { return panels_.at(panel)->text(); }

QAction* TMainForm::Action(const QString& name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void TMainForm::SetLinkState(int link, int state) {
    if (link < 0 || link > 2)
        return;
    state = std::clamp(state, 0, 3);
    linkStates_[link] = state;
    links_[link]->setStyleSheet(
        QStringLiteral("background-color: %1; border: 1px solid #555; border-radius: 6px;")
            .arg(QLatin1String(LinkColours[state])));
}

// ---- What the plot asks --------------------------------------------------------------------------

bool TMainForm::AutoScaleButtonDown() const { return shell_->Tools().autoX; }
bool TMainForm::CursorAllowed() const { return shell_->Tools().cursor; }
// Without a print queue a print goes into the PDF the operator chooses.
std::function<fs::path(const fs::path&)> TMainForm::PdfChooser() {
    return [this](const fs::path& proposed) {
        return FileDialog(true, QStringLiteral("Save as PDF"), proposed,
                          QStringLiteral("PDF files (*.pdf *.PDF)"));
    };
}

void TMainForm::PrintPlot() {
    Guarded("PrintPlotClick", "Print Plot", [this] {
        // The plot picture is the plot window's client size and 2 pixels more each way.
        const bool window = plot_ && plot_->isVisible();
        PrintPlotCommand(app_, *shell_, window ? plot_->PlotMainFrame->width() : 731,
                         window ? plot_->PlotMainFrame->height() : 704, PdfChooser());
    });
}

} // namespace marevo

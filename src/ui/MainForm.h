#pragma once
// The main window ("MAREVO x.y"): menus, tool bar, alarm button and status bar, the windows it
// opens (plot, values, bottles, header, manual) and the dialogs of its data commands. Its logic
// lives in TMainShell; the window shows what the shell asks through the view seam and applies
// the mode table to its actions. Long work (imports, the rebuild, a raw file replay) runs on a
// worker while the menus and the tool bar are disabled and the last status panel is a bar.

#include "acquisition/ProbeCommands.h"
#include "acquisition/RDRControl.h"
#include "acquisition/RTCast.h"
#include "display/PlotHost.h"
#include "shell/Batch.h"
#include "shell/MainShell.h"
#include "shell/Terminal.h"

#include <QMainWindow>

class QFileDialog;

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QStackedWidget;
class QTimer;
class QToolButton;

namespace marevo {

class TBottlesForm;
class TOperatorAuthDlg;
class TPlotForm;
class TRemoteDepthView;
class THeaderForm;
class THelpViewer;
class TBatchTool;
class TValuesForm;
class TUploadDialog;

// The file dialog of the cast export (File › Export As Text › Current Cast): the folder and name
// proposed, the filters "Text (*.txt)", "NetCDF (*.nc)" and "ODV spreadsheet (*.txt)" in the
// order of TExportFormat.
std::unique_ptr<QFileDialog> NewExportCastDialog(QWidget* parent,
                                                 const std::filesystem::path& proposed);

class TMainForm : public QMainWindow, public IShellView, public IPlotHost, public IBatchPlot,
                  public ICastHost, public IAcquiView {
public:
    explicit TMainForm(TApplication& app, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The start-up sequence; false when the program must end (the operator was told why).
    bool StartUp();
    // The first showing: the windows the environment marks shown, the last cast reopened.
    void FirstShow();
    TMainShell& Shell() { return *shell_; }

    // The action with that object name (menus and tool bar), for the tests and the manual's
    // screenshots; null when there is none.
    QAction* Action(const QString& name) const;
    QString PanelText(int panel) const;
    bool ProgressShown() const;
    int ProgressValue() const;
    // The three link indicators (CTD, GPS, PAR): 0 offline, 1 good, 2 error, 3 white.
    void SetLinkState(int link, int state);
    int LinkState(int link) const { return linkStates_[link]; }
    TPlotForm* PlotWindow() const { return plot_; }
    TValuesForm* ValuesWindow() const { return values_; }
    TBottlesForm* BottlesWindow() const { return bottles_; }
    QWidget* HeaderWindow() const { return header_; }
    THelpViewer* Manual();

    // Shows text in the last status panel (the operator seam's status).
    void ShowStatusText(const std::string& text);
    // The last panel as a bar of pos percent; -1 shows its text again.
    void ShowProgress(int pos);

    // Opens a cast of a cruise as File › Open does: its file is read on the worker.
    bool OpenCast(const std::string& cruise, int cast);
    // Long work on a worker: the commands are disabled and the plot frozen until it ends; then
    // done runs on the GUI thread. False when other long work is still running.
    bool RunLong(std::function<void()> work, std::function<void()> done = {});
    bool LongWorkRunning() const { return worker_.joinable(); }
    // Waits (serving the event loop) until the long work has ended.
    void WaitLongWork();

    // ---- Batch (MainFormBatch.cpp) --------------------------------------------------------------
    TBatchTool& Batch() { return *batch_; }
    // Batch › Execute (or the overlay) on the worker in batch mode, normal mode again after it
    // whatever happened. False when other long work is running.
    bool RunBatch(bool overlay = false);
    // The run stops before its next cast.
    void CancelBatch();
    bool BatchRunning() const { return batchRunning_; }
    void DisplayOpen() override;
    void DrawPlot() override;

    // ---- Real-time cast (MainFormAcqui.cpp) -----------------------------------------------------
    // The record button pressed ("Start Cast") and released ("Stop Cast"). The start asks the
    // new-cast window, then wakes and identifies the probe on the long-work worker and returns:
    // CastRunning() once that work has ended well (WaitLongWork waits for it).
    void StartCast();
    void StopCast();
    // A cast runs (not while its start is still on the worker).
    bool CastRunning() const { return rtcast_ && !castWork_ && rtcast_->Running(); }
    TRTCast* RTCast() { return rtcast_.get(); }
    // Whether the record button is down, and the picture it shows now.
    bool RecordButtonDown() const;
    TRecordPicture RecordPicture() const { return recordPicture_; }
    // The values of the last value period handed over.
    const TAcquiLive& LastLive() const { return live_; }
    // The new-cast window ("NewCastWindow"): true when confirmed.
    std::function<bool()> NewCastDialog;
    // The "Close Acquisition Dialog": Continue, Save and Exit or Abort Cast.
    std::function<TCloseAnswer()> CloseAcquisitionDialog;
    // Called with a cast about to start, before its probe is woken (the ports can be set there).
    std::function<void(TRTCast&)> PrepareCast;

    // ---- Memory upload (UploadDialog.cpp) -------------------------------------------------------
    // "Upload cast": the probe woken and its cast list read on the worker, then the dialog.
    void UploadCast();
    // The dialog, once the command made it (null before).
    TUploadDialog* UploadDialog() const { return upload_.get(); }

    // ---- Remote depth repeater, probe commands, terminal (MainFormRemote.cpp) -------------------
    TRemoteDepthView* RemoteDepthView() const { return rdrView_; }
    bool RemoteDepthActive() const;
    // Switches the repeater as the environment says (start-up, the environment dialog's OK): a
    // port that does not open shows its box and switches the repeater off in the environment.
    void ApplyRemoteDepth();
    TTerminal& Terminal() { return *terminal_; }
    // The terminal guard: false, with message shown, while the terminal program runs.
    bool TerminalClosed(std::string_view message);
    // Opens the probe's port for "Stop Data Flow" and "Clear Memory" (by default the
    // environment's); tests replace it.
    TProbePortOpener ProbeCommandPort;

    // ---- ICastHost and IAcquiView (all on the GUI thread) ---------------------------------------
    void SetAcquiEnv() override;
    void SetNormalEnv() override;
    IAcquiView& View() override { return *this; }
    void UpdatePlot() override;
    void UpdateCurValue(const TAcquiLive& live) override;
    void SetCastInfoFields() override;
    bool CastInfoModified() override { return headerEdited_; }
    void UpdateCastInfo() override;
    void AcquiStatusStr(const std::string& text) override;
    void BlinkButton(const TBlinkState& state) override;
    void ShowLinks(const TLinkStates& links) override;
    void ShowBottlePanel(const std::string& text) override;
    void ShowError(const std::string& report) override;

    // ---- Bottle firing (MainFormFiring.cpp) ---------------------------------------------------
    // SBFireClick / FireBottleClick: fire the next bottle (asks first).
    void SBFireClick();
    // Asks the operator and starts the firing requested (fireAgain_, requestedBottle_).
    void SetFireBottleControls();
    void PressFireButton() override;
    void SetFireButton(bool enable) override;
    void ShowOperatorDialog(const std::string& label, int bottle) override;
    void CloseOperatorDialog() override;
    void BottleFired(int bottle, int status) override;
    std::optional<std::int32_t> FirstBottleDialog(const TRosetteInfo& rosette) override;
    // The operator dialog, made on first use.
    TOperatorAuthDlg* OperatorDialog();
    // The question before a manual firing (true: OK) and the first-bottle dialog; tests
    // replace them.
    std::function<bool(const QString& question)> FireQuestionBox;
    std::function<std::optional<std::int32_t>(const TRosetteInfo&)> FirstBottleBox;

    // The dialogs the commands open; tests replace them. An empty answer is Cancel.
    // OpenData: the cruise and cast chosen in the open-data dialog.
    std::function<std::optional<std::pair<std::string, int>>()> OpenDataDialog;
    // FileDialog(save, title, proposed file or folder, filter) → the file chosen.
    std::function<std::filesystem::path(bool save, const QString& title,
                                        const std::filesystem::path& proposed,
                                        const QString& filter)>
        FileDialog;
    std::function<std::vector<std::filesystem::path>()> LoggerFilesDialog;
    // File › Save As Text: the file and the format of the filter chosen ("Text (*.txt)",
    // "NetCDF (*.nc)", "ODV spreadsheet (*.txt)").
    std::function<std::optional<std::pair<std::filesystem::path, TExportFormat>>(
        const std::filesystem::path& proposed)>
        ExportCastDialog;
    TNewCruiseDialog NewCruiseDialog;
    // Shows a settings editor (environment, configuration, parameters, cruise) modally; true for
    // OK. By default the dialog's own event loop.
    std::function<bool(QDialog&)> RunDialog;
    // The value- and bottle-parameter dialogs on a window's list: true on OK.
    std::function<bool(const QString& title, TParaList& list)> ParaListDialog;
    // The bottle firing: the request a bottles-window click sets (fire again, position) and the
    // firing controls that ask the operator and start it.
    std::function<void(bool again, int bottle)> FireRequest;
    std::function<void()> FireControls;

    // ---- IShellView ----------------------------------------------------------------------------
    void ClearDataWindows() override;
    void SetBusy(bool busy) override;
    void HidePlotCursor() override;
    void ShowPlotCursor(int row) override;
    void SetPlotCaption(const std::string& caption) override;
    void RebuildPlot() override;
    void RedrawPlot() override;
    void RefreshHeader() override;
    void RefreshValues(bool reloadRows) override;
    void RefreshBottles() override;
    int ValuesSelectedRow() const override;
    void ToolsChanged() override;
    void ModeChanged() override;
    void StatusChanged() override;

    // ---- IPlotHost -----------------------------------------------------------------------------
    bool AutoScaleButtonDown() const override;
    bool CursorAllowed() const override;
    void PrintPlot() override;
    int ValuesFirstRow() const override;
    void ShowValuesRow(int row) override;
    int BottlesSelectedRow() const override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The end of a start on the GUI thread: the windows set for the cast, or back to normal.
    void FinishStart(bool started);
    // The end of a stop: the windows back to normal and the stored cast shown, unless an abort
    // was not confirmed.
    void FinishEnd(TCloseAnswer answer, bool stored, const std::string& cruise, int cast);
    // The start or the end of the cast is on the long-work worker: rtcast_ is that worker's
    // until it ends.
    bool castWork_ = false;
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void BuildWindows();
    // The windows at their stored bounds.
    void PlaceWindows();
    QAction* Add(QMenu* menu, const QString& name, const QString& text,
                 std::function<void()> slot, const QKeySequence& key = {});
    QAction* Tool(const QString& name, const QString& tip, const QIcon& icon,
                  std::function<void(bool)> slot, bool checkable = false);
    void SetAction(const QString& name, bool enabled, bool visible = true);
    void Guarded(const char* handler, const char* box, const std::function<void()>& body);

    // Commands.
    void FileNew();
    void FileOpen();
    void FileSave();
    void ExportText(const char* handler, bool needsCast, const std::filesystem::path& proposed,
                    bool (TMainShell::*write)(const std::filesystem::path&));
    void ExportCast();
    void ExportHeader();
    void ExportBottles();
    void ImportRaw();
    void ImportLoggers();
    void RebuildCruise();
    void OpenRawFile();
    void ClearLogs();
    void OpenConfig();
    void SaveConfigAs();
    void ShowManual(const QString& chapter = {});
    void About();
    void ResetPositions();
    void EditEnvironment();
    void EditConfiguration();
    void EditCruises();
    void EditParameters();
    // Configuration › Values Window / Bottles Window and the windows' "Parameter(s)".
    void ValueParameters();
    void BottleParameters();
    void InitBatch();
    void InitAcqui();
    void InitFiring();
    void SetRecordPicture(TRecordPicture picture);
    void ReleaseRecordButton();
    // The acquisition's own panels (bottle, alarm) over the shell's texts while a cast runs.
    void ApplyAcquiPanels();
    // Stores the cast (Save and Exit) and shows it; the cast is over either way.
    void EndCast(TCloseAnswer answer);
    void BatchCastList();
    void BatchCommandList();
    std::function<std::filesystem::path(const std::filesystem::path&)> PdfChooser();

    TApplication& app_;
    std::unique_ptr<TMainShell> shell_;
    std::map<QString, QAction*> actions_;
    std::map<QString, QMenu*> menus_;
    std::vector<QLabel*> panels_;
    QStackedWidget* lastPanel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* links_[3] = {};
    int linkStates_[3] = {};
    QToolButton* alarm_ = nullptr;
    TPlotForm* plot_ = nullptr;
    TValuesForm* values_ = nullptr;
    TBottlesForm* bottles_ = nullptr;
    QWidget* header_ = nullptr;
    THeaderForm* headerForm_ = nullptr;
    THelpViewer* manual_ = nullptr;
    std::string statusText_;
    std::thread worker_;
    std::unique_ptr<TBatchTool> batch_;
    bool batchRunning_ = false;
    // The batch draws the plot itself: the end of the work keeps its image.
    bool keepPlotImage_ = false;
    QWidget* batchCancel_ = nullptr;
    // The real-time cast, its watch for the automatic stop and the copies its steps handed over.
    std::unique_ptr<TRTCast> rtcast_;
    std::unique_ptr<TUploadDialog> upload_;
    // The firing request the bottles window sets (main thread only) and the operator dialog.
    bool fireAgain_ = false;
    int requestedBottle_ = 0;
    TOperatorAuthDlg* operatorDlg_ = nullptr;
    std::unique_ptr<IAlarmSound> sound_;
    QTimer* castWatch_ = nullptr;
    TAcquiLive live_;
    TRecordPicture recordPicture_ = TRecordPicture::Record;
    std::string alarmPanel_;
    std::string bottlePanel_;
    bool headerEdited_ = false;
    bool stopping_ = false;

    // The remote depth repeater and the terminal (MainFormRemote.cpp). Declared last: the worker
    // is stopped before anything it reads goes.
    void InitRemote();
    void StoreRDRPanel();
    void ShowRemoteDepthView();
    void CloseRemote();
    void StartTerminal();
    void StopDataFlowCommand();
    void ClearMemoryCommand();
    std::unique_ptr<TRDRSources> rdrSources_;
    std::unique_ptr<TRemoteDepthSwitch> rdrSwitch_;
    TRemoteDepthView* rdrView_ = nullptr;
    QTimer* rdrPanelTimer_ = nullptr;
    std::int32_t rdrInterval_ = 0;
    bool rdrPlaced_ = false;
    std::unique_ptr<TTerminal> terminal_;
};

} // namespace marevo

#pragma once
// The main window without its widgets: the application's start-up and closing, opening and
// showing a cast, the data and configuration commands, the tool-bar buttons, the operating
// modes and the status bar. The window (src/ui/MainForm) owns one, forwards its menu and tool
// commands here and shows what the view seam asks; tests drive it with a recording view.
//
// Everything here runs on the thread that owns the shell (the GUI thread, or a worker the window
// hands long work to while its commands are disabled); the view is called from that thread.

#include "processing/OfflineFiltering.h"
#include "records/CollectionTypes.h"
#include "records/GenConfig.h"
#include "shell/Application.h"
#include "shell/Modes.h"
#include "shell/StatusBar.h"
#include "storage/CastImport.h"
#include "storage/CruiseFile.h"
#include "storage/ProfileExport.h"

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

class TQvlUtil;

// The windows of the main window, as the shell needs them. Every step does nothing by default.
class IShellView {
public:
    virtual ~IShellView() = default;
    // Values, header, bottles and plot windows emptied (a cast is about to be opened).
    virtual void ClearDataWindows() {}
    virtual void SetBusy(bool /*busy*/) {}
    // The plot cursor hidden and "Show Cursor" released.
    virtual void HidePlotCursor() {}
    // The plot cursor shown on row of the values window.
    virtual void ShowPlotCursor(int /*row*/) {}
    virtual void SetPlotCaption(const std::string& /*caption*/) {}
    // The plot's layout rebuilt for the cast in hand, then redrawn.
    virtual void RebuildPlot() {}
    virtual void RedrawPlot() {}
    virtual void RefreshHeader() {}
    // The values window: its fixed columns, and the binned rows when reloadRows.
    virtual void RefreshValues(bool /*reloadRows*/) {}
    virtual void RefreshBottles() {}
    virtual void RefreshParameters() {}
    // The selected row of the values window (the plot cursor goes there).
    virtual int ValuesSelectedRow() const { return 0; }
    // The tool buttons, the mode states or the status panels changed: read them again.
    virtual void ToolsChanged() {}
    virtual void ModeChanged() {}
    virtual void StatusChanged() {}
};

// The toggle buttons of the tool bar and the previous / next buttons.
struct TToolState {
    TDisplayDirection direction = Direction_Down;
    bool autoX = false, autoY = false;
    bool smooth = false;
    bool bottles = false;
    bool cursor = false;
    // "Change 'Show' flagged data filter": down inverts the configuration's choice.
    bool flaggedFilter = false;
    bool precEnabled = true, nextEnabled = true;
    bool saveVisible = false; // "Save as Binary file", after a raw file was opened
};

// What a first start found and did, for the window and its tests.
struct TStartUpResult {
    TStartSettingsResult settings;
    bool completed = false;
};

class TMainShell {
public:
    TMainShell(TApplication& app, IShellView& view);
    ~TMainShell();
    TMainShell(const TMainShell&) = delete;
    TMainShell& operator=(const TMainShell&) = delete;

    // ---- Start and end --------------------------------------------------------------------------
    // The start-up sequence without the windows: environment (recovery copy, reading), the probe
    // collection from Param.col, the configuration (recovery copy, reading or defaults), the tool
    // bar from the configuration, the protocol object with its delays, the offline filtering.
    // Nothing is written after a failure: the caller ends the program.
    TStartUpResult StartUp();
    bool Started() const { return started_; }
    // The cruise file's current cast header, bottles and cruise header lent to the cast
    // collection (start-up does it; a program that opens casts without it calls it first).
    void AttachCast();
    // "MAREVO " + major.minor.
    static std::string Caption();
    // The first showing: status cleared, the last file reopened when it names a cast of a
    // cruise, else cleared ("Fail to open last data file" when it does not open).
    void FirstShow();
    // False (with a beep) while the probe is on line.
    bool CanClose();
    // Closing: the configuration's file type binary, the configuration saved when "Config Auto
    // Save" is set, the environment written with the cast in hand. Nothing after a start-up
    // that did not complete: its defaults would overwrite good files.
    void Close();

    // ---- Opening a cast -------------------------------------------------------------------------
    bool OpenDataFile(const std::filesystem::path& file, TFileType type);
    // The cast of a data file (its last three characters) read from the current cruise file and
    // the cast collection prepared for it.
    bool InitRTMC(const std::filesystem::path& file);
    // The cast header's extraction fields from the configuration and the binned rows.
    void SetCastExtract();
    bool OpenAndDisplay(const std::filesystem::path& file, TFileType type);

    // ---- File commands --------------------------------------------------------------------------
    bool NewCruise(const TNewCruiseDialog& dialog);
    std::vector<std::string> Cruises();
    // The casts of cruise (header 0 excluded) for the open-data dialog; invalid casts disabled.
    std::vector<TCastListItem> Casts(const std::string& cruise);
    // File › Open on cast castNb of cruise.
    bool OpenCast(const std::string& cruise, int castNb);
    // File › Save: after "Save Current Data as: ", the binary file and the cast rewritten.
    bool Save();
    // Folders and names the export dialogs propose.
    std::filesystem::path CastTextFolder();
    std::filesystem::path CruiseTextFolder();
    std::filesystem::path ProposedCastText();
    std::filesystem::path ProposedHeaderText();
    std::filesystem::path ProposedBottleText();
    bool ExportCastText(const std::filesystem::path& file);
    // File › Save As Text in one of the formats: the text export, or the loaded cast as a NetCDF
    // file or an ODV spreadsheet (ProfileExport.h), complete under its name or not at all.
    bool ExportCast(const std::filesystem::path& file, TExportFormat format);
    bool ExportHeaderText(const std::filesystem::path& file);
    bool ExportBottleText(const std::filesystem::path& file);
    // File › Import › Raw: the loaded cast's raw file processed again.
    bool ImportCurrentRaw();
    // File › Import (small loggers): the recordings as new casts of the current cruise.
    bool ImportLoggerFiles(const std::vector<std::filesystem::path>& rawFiles);
    // File › Import › Raw: cast castNb's raw file replayed under the current settings.
    bool OpenRawCast(const std::string& cruise, int castNb);
    // Tools › Rebuild Cruise File on cruiseFile (the cruise file of a cruise of the data root).
    TRebuildResult RebuildCruise(const std::filesystem::path& cruiseFile);
    // Tools › Clear log files, after the question. The number of files deleted; -1 when refused.
    int ClearLogFiles();

    // ---- Configuration commands -----------------------------------------------------------------
    // Configuration › Open Config. Only a file of the configuration folder can become current
    // (the environment keeps its base name only). invalidText: the box shown when the file cannot
    // be read (the menu command's own when empty).
    bool OpenConfig(const std::filesystem::path& file, std::string_view invalidText = {});
    bool SaveConfigAs(const std::filesystem::path& file);
    bool SaveConfiguration();
    // After the configuration window's OK: time units, duplicate links, plot.
    void ConfigurationChanged();
    // After the environment dialog's OK: the protocol delays into the probe protocol, the
    // environment written.
    bool EnvironmentChanged();
    // View › Reset position: the default places of the windows, into the environment.
    void ResetWindowPlaces();

    // ---- Tool buttons ---------------------------------------------------------------------------
    void Previous();
    void Next();
    void SetDirection(TDisplayDirection direction);
    void SetAutoScale(bool horizontal, bool on);
    void SetSmooth(bool on);
    void SetShowBottles(bool on);
    void SetShowCursor(bool on);
    void SetFlaggedFilter(bool down);
    TToolState& Tools() { return tools_; }
    // The configuration's tool-bar flags into the buttons.
    void SetToolBar();

    // ---- Modes and status -----------------------------------------------------------------------
    void SetNormalEnv();
    void SetAcquiEnv();
    void SetBatchEnv();
    TShellMode Mode() const { return mode_; }
    const TModeStates& States() const { return states_; }
    // The 14 panels; status: the last status message (the operator seam shows it).
    std::array<std::string, StatusPanelCount> Panels(std::string_view status = {}) const;

    // ---- State ----------------------------------------------------------------------------------
    bool CastLoaded() const;
    // The cast number of the loaded file; 0 when none.
    int LoadedCastNumber() const;
    std::filesystem::path DataRoot() const;
    TCruisefile& CruiseFile() { return *cruise_; }
    TApplication& App() { return app_; }
    TQvlUtil& Qvl() { return *qvl_; }

private:
    std::filesystem::path CastBinFile(const std::string& cruise, int castNb) const;
    void ClearLoaded();
    void ResolveLists();
    void Navigate(bool forward);
    // A text export into file by write, under the guard prefix; refused without a cast when
    // needsCast, and when file is the cruise's own data or settings.
    bool WriteExport(const char* prefix, bool needsCast, const std::filesystem::path& file,
                     const std::function<bool()>& write);
    bool SmoothRefused();
    bool CursorAllowed();
    void ApplyMode(TShellMode mode);

    TApplication& app_;
    IShellView& view_;
    std::unique_ptr<TCruisefile> cruise_;
    std::unique_ptr<TQvlUtil> qvl_;
    std::unique_ptr<TOfflineFiltering> filtering_;
    TToolState tools_;
    TShellMode mode_ = TShellMode::Normal;
    TModeStates states_{};
    bool started_ = false;
};

} // namespace marevo

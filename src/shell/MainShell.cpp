#include "shell/MainShell.h"

#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "parameters/ParaNumbers.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "processing/Collections.h"
#include "processing/ConfigAuto.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "shell/CastNavigation.h"
#include "shell/DataFiles.h"
#include "storage/ProfileExport.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#ifndef MAREVO_VERSION_MAJOR
#define MAREVO_VERSION_MAJOR 0
#define MAREVO_VERSION_MINOR 0
#endif

namespace marevo {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view NoDataText = "No Data Loaded!";
constexpr std::string_view SmoothRefusedText =
    "Smoothing not applicable on some parameter, because samples to average are more than the "
    "extracted ones!\n\rChange the mean type filter \"samples to average\" number to a less value!";

int CastNumberOfFile(const fs::path& file) { return ExtractCastNumber(file.filename().string()); }
std::string CruiseOfFile(const fs::path& file) { return ExtractCruise(file.filename().string()); }

std::string LowerCase(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Left(const std::string& s, std::size_t n) { return s.substr(0, n); }

} // namespace

TMainShell::TMainShell(TApplication& app, IShellView& view)
    : app_(app), view_(view), cruise_(std::make_unique<TCruisefile>(app.cast)) {
    states_ = ModeStates(TShellMode::Normal, false, states_);
}

TMainShell::~TMainShell() = default;

void TMainShell::AttachCast() {
    TCastInfoC& holder = cruise_->CastInfoc;
    app_.cast.Loaded.CastHeader = &holder.Cast;
    app_.cast.Loaded.CruiseHeader = &holder.Cruise;
    app_.cast.Loaded.Bottles = &holder.Bottles;
}

std::string TMainShell::Caption() {
    return "MAREVO " + std::to_string(MAREVO_VERSION_MAJOR) + "." +
           std::to_string(MAREVO_VERSION_MINOR);
}

// ---- Start and end -------------------------------------------------------------------------------

TStartUpResult TMainShell::StartUp() {
    TStartUpResult result;
    result.settings = app_.Start();
    if (!result.settings.completed)
        return result;
    const bool ok = Guard({"Error in TMainForm.FormCreate ", "Creating the application window"}, [&] {
        AttachCast();
        SetToolBar();
        qvl_ = std::make_unique<TQvlUtil>(&app_.cast);
        qvl_->SetDelay(app_.environ.CommDelay);
        filtering_ = std::make_unique<TOfflineFiltering>(app_.cast);
    });
    started_ = result.completed = ok;
    SetNormalEnv();
    view_.StatusChanged();
    return result;
}

void TMainShell::FirstShow() {
    ClearStatusMessage();
    TEnviron& env = app_.environ;
    const std::string last = env.LastFile.Get();
    const std::optional<TCastName> name = LastFileCast(last);
    if (env.LastType != FileTypeNone && name) {
        if (!OpenAndDisplay(CastBinFile(name->cruise, name->cast), FileTypeBinary)) {
            StatusMessage("Fail to open last data file");
            env.LastFile.Set("");
            env.LastType = FileTypeNone;
        }
    } else {
        if (!last.empty() && !name)
            WriteLog("the stored last file \"" + last + "\" names no cast; it is forgotten");
        env.LastFile.Set("");
        env.LastType = FileTypeNone;
    }
    view_.StatusChanged();
}

bool TMainShell::CanClose() {
    if (app_.cast.Acqui.ProbeOnLine) {
        Operator().Beep();
        return false;
    }
    return true;
}

void TMainShell::Close() {
    if (!started_)
        return;
    Guard({"Error in TMainForm.FormClose ", "Closing the application"}, [&] {
        TConfig& config = app_.config;
        config.GenCfg.FileType = FileTypeBinary;
        if (app_.environ.Preferences.AutoCfgCheck == 1) {
            const fs::path file = app_.environ.ConfigFileName();
            if (!file.empty())
                config.SaveToFile(file, app_.Collections());
        }
        app_.environ.EnvToFile(app_.cast.Loaded.FileLoaded);
    });
    started_ = false;
}

// ---- Opening a cast ------------------------------------------------------------------------------

fs::path TMainShell::DataRoot() const { return app_.environ.DataRootPath(); }

fs::path TMainShell::CastBinFile(const std::string& cruise, int castNb) const {
    return DataRoot() / cruise / "bin" / (cruise + CastNumberText(castNb) + ".bin");
}

bool TMainShell::InitRTMC(const fs::path& file) {
    return Guard({"Error in MainForm.InitRTMC ", "Start Acquisition"}, [&] {
        const int castNb = CastNumberOfFile(file);
        if (castNb <= 0)
            Raise("no cast number in " + file.filename().string());
        const fs::path cruiseFile = app_.config.CruisePathName(DataRoot());
        if (!cruise_->ReadCast(cruiseFile, castNb))
            Raise("cannot read cast " + std::to_string(castNb) + " of " + cruiseFile.string());
        TParamCollection& cast = app_.cast;
        if (!cast.BuildProbeInfo() || !cast.InitRoundBuffer() || !cast.InitLinearBuffer())
            Raise("the cast's buffers cannot be prepared");
        ResolveLists();
    });
}

void TMainShell::ResolveLists() {
    // The configuration's lists point at the parameters of the cast in hand, which reading a
    // cast replaces.
    app_.config.UpdateAllParaPtr(app_.Collections());
}

void TMainShell::SetCastExtract() { marevo::SetCastExtract(cruise_->CastInfoc.Cast, app_.cast); }

bool TMainShell::OpenDataFile(const fs::path& given, TFileType type) {
    TConfig& config = app_.config;
    const fs::path file = FindIgnoringCase(given);
    const std::string cruise = CruiseOfFile(file);
    if (!IsSafeSettingsName(cruise)) {
        WriteLog("OpenDataFile: no cruise in the file name " + file.string());
        return false;
    }
    config.GenCfg.CruiseName.Set(cruise);
    OfferCruiseRecoveryCopy(config.CruisePathName(DataRoot()));
    view_.ClearDataWindows();
    TParamCollection& cast = app_.cast;
    ClearLoaded();
    std::error_code ec;
    bool ok = false;
    switch (type) {
    case FileTypeRaw:
        // The raw file is replayed with the layout of its own cast, never the previous one's.
        if (fs::exists(file, ec) && InitRTMC(file)) {
            view_.RefreshHeader();
            view_.SetBusy(true);
            ok = ReplayRawFile(cast, file);
            view_.SetBusy(false);
            if (ok) {
                SetCastExtract();
                tools_.saveVisible = true;
                view_.ToolsChanged();
            }
        }
        break;
    case FileTypeBinary:
        ok = fs::exists(file, ec) && InitRTMC(file) && cast.BinRead(file);
        break;
    case FileTypeText:
        ok = fs::exists(file, ec) && InitRTMC(file) && cast.TxtRead(file);
        break;
    default:
        cast.Loaded.FileLoaded = file;
        return false;
    }
    if (!ok) {
        ClearLoaded();
        ResolveLists();
        return false;
    }
    cast.Loaded.TypeLoaded = type;
    cast.Loaded.FileLoaded = file;
    app_.environ.LastFile.Set(Left(file.stem().string(), 80));
    app_.environ.LastType = type;
    return true;
}

bool TMainShell::OpenAndDisplay(const fs::path& file, TFileType type) {
    TParamCollection& cast = app_.cast;
    bool result = false;
    const bool ok = Guard({"Error in MainForm.OpenAndDisplay ", "Opening and displaying data"}, [&] {
        view_.SetBusy(true);
        view_.HidePlotCursor();
        tools_.cursor = false;
        if (!OpenDataFile(file, type)) {
            view_.SetBusy(false);
            StatusMessage("Unable to open Data File: " + file.string());
            view_.SetPlotCaption("Plot");
            view_.StatusChanged();
            return;
        }
        TConfig& config = app_.config;
        config.GenCfg.DrawAutoX = tools_.autoX;
        config.GenCfg.DrawAutoY = tools_.autoY;
        if (tools_.autoX || tools_.autoY)
            ScanForAuto(config, cast, tools_.autoY, tools_.autoX);
        view_.SetPlotCaption("Cast: " + cast.Loaded.FileLoaded.filename().string());
        view_.RebuildPlot();
        if (tools_.smooth && SmoothRefused()) {
            tools_.smooth = false;
            config.GenCfg.DrawSmooth = 0;
        }
        view_.ToolsChanged();
        view_.RefreshHeader();
        view_.StatusChanged();
        view_.RefreshValues(true);
        view_.RefreshBottles();
        view_.RefreshParameters();
        view_.SetBusy(false);
        result = cast.Loaded.TypeLoaded != FileTypeNone;
    });
    if (!ok)
        view_.SetBusy(false);
    return ok && result;
}

void TMainShell::ClearLoaded() {
    app_.cast.Loaded.TypeLoaded = FileTypeNone;
    app_.cast.Loaded.FileLoaded.clear();
    tools_.saveVisible = false;
}

bool TMainShell::CastLoaded() const { return app_.cast.Loaded.TypeLoaded != FileTypeNone; }

int TMainShell::LoadedCastNumber() const {
    return CastLoaded() ? CastNumberOfFile(app_.cast.Loaded.FileLoaded) : 0;
}

// ---- File commands -------------------------------------------------------------------------------

bool TMainShell::NewCruise(const TNewCruiseDialog& dialog) {
    bool created = false;
    Guard({"Error in MainForm.FileNew1Execute", "Create new cruise"},
          [&] { created = cruise_->NewCruise(DataRoot(), dialog); });
    view_.StatusChanged();
    return created;
}

std::vector<std::string> TMainShell::Cruises() {
    std::vector<std::string> list;
    cruise_->BuildCruiseList(list);
    return list;
}

std::vector<TCastListItem> TMainShell::Casts(const std::string& cruise) {
    std::vector<TCastListItem> list;
    if (!IsSafeSettingsName(cruise))
        return list;
    const std::string current = app_.config.GenCfg.CruiseName.Get();
    app_.config.GenCfg.CruiseName.Set(cruise);
    cruise_->BuildCastList1(list, TCastListDialog::OpenData);
    app_.config.GenCfg.CruiseName.Set(current);
    return list;
}

bool TMainShell::OpenCast(const std::string& cruise, int castNb) {
    bool opened = false;
    Guard({"Error in MainForm.FileOpenExecute", "Opening file"}, [&] {
        tools_.precEnabled = tools_.nextEnabled = true;
        opened = OpenAndDisplay(CastBinFile(cruise, castNb), FileTypeBinary);
        if (opened) {
            app_.config.GenCfg.FileType = FileTypeBinary;
        } else {
            StatusMessage("Fail to open last data file");
            ClearLoaded();
        }
        view_.ToolsChanged();
        view_.StatusChanged();
    });
    return opened;
}

bool TMainShell::OpenRawCast(const std::string& cruise, int castNb) {
    if (!IsSafeSettingsName(cruise))
        return false;
    app_.config.GenCfg.FileType = FileTypeRaw;
    const fs::path raw = DataRoot() / cruise / "raw" / (cruise + CastNumberText(castNb) + ".raw");
    const bool opened = OpenAndDisplay(raw, FileTypeRaw);
    view_.ToolsChanged();
    return opened;
}

bool TMainShell::Save() {
    TParamCollection& cast = app_.cast;
    if (!CastLoaded()) {
        Operator().Message(NoDataText, "", TMessageKind::Information);
        return false;
    }
    bool saved = false;
    Guard({"Error in MainForm.FileSave1Execute", "Saving binary file"}, [&] {
        fs::path shown = cast.Loaded.FileLoaded.filename();
        shown.replace_extension(".BIN");
        if (!Operator().Confirm("Save Current Data as: " + shown.string(), "Save As Binary File"))
            return;
        // The cast entry is rewritten only over a binary file that was written.
        const fs::path bin = CastBinFile(app_.config.GenCfg.CruiseName.Get(), LoadedCastNumber());
        if (cast.BinSave(bin) != ParaOk)
            return;
        if (!cruise_->UpdateLast())
            return;
        tools_.saveVisible = false;
        saved = true;
    });
    view_.ToolsChanged();
    return saved;
}

fs::path TMainShell::CruiseTextFolder() {
    return app_.config.TxtDir(DataRoot());
}

fs::path TMainShell::CastTextFolder() {
    const TExtractionTextFoldersCfg& folders = app_.config.ExtractionFoldersCfg;
    const std::string manual = folders.ManualExtractionFolderName.Get();
    if (folders.ManualExtractionFolderEnabled && !manual.empty())
        return manual;
    return CruiseTextFolder();
}

fs::path TMainShell::ProposedCastText() {
    fs::path name = app_.cast.Loaded.FileLoaded.filename();
    name.replace_extension(".txt");
    return CastTextFolder() / name;
}

fs::path TMainShell::ProposedHeaderText() {
    return CruiseTextFolder() / (app_.config.GenCfg.CruiseName.Get() + ".txt");
}

fs::path TMainShell::ProposedBottleText() {
    return CruiseTextFolder() / (app_.cast.Loaded.FileLoaded.stem().string() + "_btl.txt");
}

bool TMainShell::WriteExport(const char* prefix, bool needsCast, const fs::path& file,
                             const std::function<bool()>& write) {
    if (needsCast && !CastLoaded()) {
        Operator().Message(NoDataText, "", TMessageKind::Information);
        return false;
    }
    bool written = false;
    Guard({prefix, "Exporting data as text"}, [&] {
        // An export may not replace the cruise's own data or settings.
        if (const std::string refused = ProtectedOutputError(file); !refused.empty()) {
            Operator().Message(refused, "Exporting data as text", TMessageKind::Warning);
            return;
        }
        fs::create_directories(file.parent_path());
        written = write();
    });
    return written;
}

bool TMainShell::ExportCastText(const fs::path& file) {
    return WriteExport("Error in MainForm.SaveAsTextClick", true, file, [&] {
        std::int32_t start = 0;
        return app_.cast.TxtSave(file, false, false, start);
    });
}

bool TMainShell::ExportCast(const fs::path& file, TExportFormat format) {
    if (format == TExportFormat::Text)
        return ExportCastText(file);
    return WriteExport("Error in MainForm.SaveAsTextClick", true, file, [&] {
        TParamCollection& cast = app_.cast;
        if (!cast.Loaded.CastHeader)
            Raise("the cast has no header");
        std::string problem;
        std::vector<TProfile> profiles{
            CollectProfile(cast, *cast.Loaded.CastHeader, cast.Loaded.CruiseHeader, problem)};
        if (!problem.empty()) {
            Operator().Message("Cannot export parameters!\r\n" + problem, "Warning",
                               TMessageKind::Warning);
            return false;
        }
        WriteProfiles(file, profiles, format, ExportHistory("Marevo: File, Save As Text"));
        return true;
    });
}

bool TMainShell::ExportHeaderText(const fs::path& file) {
    return WriteExport("Error in MainForm.HeaderTextClick", false, file, [&] {
        TCruisefile reader;
        return reader.TxtCICSave(app_.config.CruisePathName(DataRoot()), file);
    });
}

bool TMainShell::ExportBottleText(const fs::path& file) {
    return WriteExport("Error in MainForm.BottleTextClick", true, file, [&] {
        TCruisefile reader;
        return reader.TxtBottleSave(app_.config.CruisePathName(DataRoot()), LoadedCastNumber(),
                                    file);
    });
}

bool TMainShell::ImportCurrentRaw() {
    TCastImport import(*cruise_);
    view_.ClearDataWindows();
    const bool ok = import.ReprocessLoadedCast();
    ResolveLists();
    if (ok) {
        SetCastExtract();
        tools_.saveVisible = true;
    }
    view_.SetPlotCaption(ok ? "Cast: " + app_.cast.Loaded.FileLoaded.filename().string() : "Plot");
    view_.RebuildPlot();
    view_.ToolsChanged();
    view_.RefreshHeader();
    view_.RefreshValues(ok);
    view_.RefreshBottles();
    view_.StatusChanged();
    return ok;
}

bool TMainShell::ImportLoggerFiles(const std::vector<fs::path>& rawFiles) {
    view_.ClearDataWindows();
    ClearLoaded();
    TCastImport import(*cruise_);
    const bool ok = import.ImportMicroMarevoFiles(rawFiles);
    ResolveLists();
    Operator().Message(ok ? ImportAllText : ImportSomeText, ok ? "Success" : "Error",
                       ok ? TMessageKind::Information : TMessageKind::Warning);
    // The last cast imported is shown.
    if (!import.Appended().empty())
        OpenAndDisplay(CastBinFile(app_.config.GenCfg.CruiseName.Get(), import.Appended().back()),
                       FileTypeBinary);
    view_.StatusChanged();
    return ok;
}

TRebuildResult TMainShell::RebuildCruise(const fs::path& cruiseFile) {
    TRebuildResult result;
    // Only a cruise of the data root: N/N.cru.
    const std::string cruise = cruiseFile.stem().string();
    std::error_code ec;
    if (!IsSafeSettingsName(cruise) ||
        fs::weakly_canonical(cruiseFile, ec) !=
            fs::weakly_canonical(DefaultCruiseName(DataRoot(), cruise), ec)) {
        Operator().Message("Only the cruise file of a cruise folder of " + DataRoot().string() +
                               " can be rebuilt: " + cruiseFile.string(),
                           "Rebuild cruise file", TMessageKind::Warning);
        return result;
    }
    view_.ClearDataWindows();
    ClearLoaded();
    app_.config.GenCfg.CruiseName.Set(cruise);
    TCastImport import(*cruise_);
    result = import.RebuildCruiseFile(app_.config.CruisePathName(DataRoot()));
    ResolveLists();
    view_.StatusChanged();
    return result;
}

int TMainShell::ClearLogFiles() {
    if (!Operator().Confirm("Ready to delete all log files, are you sure?", "Warning"))
        return -1;
    return marevo::ClearLogFiles(app_.environ.TextFolder(), EventLog().FileName());
}

// ---- Configuration commands ----------------------------------------------------------------------

namespace {

// Only a .cfg of the configuration folder can be the current configuration: the environment
// keeps its base name, and the next start looks for it there.
bool InConfigFolder(const fs::path& file, const fs::path& folder, std::string_view caption) {
    std::error_code ec;
    const fs::path dir = fs::weakly_canonical(file.parent_path(), ec);
    const fs::path own = fs::weakly_canonical(folder, ec);
    if (dir == own && IsSafeSettingsName(file.stem().string()) &&
        LowerCase(file.extension().string()) == ".cfg")
        return true;
    Operator().Message("A configuration must be a .cfg file of the folder " + folder.string() +
                           ": " + file.string() + " is refused.",
                       caption, TMessageKind::Warning);
    return false;
}

} // namespace

bool TMainShell::OpenConfig(const fs::path& file, std::string_view invalidText) {
    TEnviron& env = app_.environ;
    TConfig& config = app_.config;
    if (!InConfigFolder(file, env.ConfigFolder(), "Open Configuration File"))
        return false;
    if (env.Preferences.AutoCfgCheck == 1 && !env.ConfigFileName().empty())
        config.SaveToFile(env.ConfigFileName(), app_.Collections());
    const TConfig kept = config;
    if (!config.ReadFromFile(file, app_.Collections())) {
        Operator().Message(!invalidText.empty() ? invalidText
                                                : "Invalid configuration file!\n\rThe current "
                                                  "configuration will be reloaded",
                           "Error", TMessageKind::Error);
        const fs::path current = env.ConfigFileName();
        if (current.empty() || !config.ReadFromFile(current, app_.Collections())) {
            config.Assign(kept);
            config.UpdateAllParaPtr(app_.Collections());
        }
        return false;
    }
    SetToolBar();
    env.ConfigName.Set(Left(file.stem().string(), 80));
    env.EnvToFile(app_.cast.Loaded.FileLoaded);
    ConfigurationChanged();
    return true;
}

bool TMainShell::SaveConfigAs(const fs::path& file) {
    TEnviron& env = app_.environ;
    if (!InConfigFolder(file, env.ConfigFolder(), "Save Configuration"))
        return false;
    fs::path name = file;
    name.replace_extension(".cfg");
    if (!app_.config.SaveToFile(name, app_.Collections()))
        return false;
    env.ConfigName.Set(Left(file.stem().string(), 80));
    env.EnvToFile(app_.cast.Loaded.FileLoaded);
    view_.StatusChanged();
    return true;
}

bool TMainShell::SaveConfiguration() {
    const fs::path file = app_.environ.ConfigFileName();
    return !file.empty() && app_.config.SaveToFile(file, app_.Collections());
}

void TMainShell::ConfigurationChanged() {
    app_.probe.UpdateTimeUnit();
    app_.probe.UpdateDup();
    view_.StatusChanged();
    view_.RefreshValues(CastLoaded());
    view_.RebuildPlot();
}

bool TMainShell::EnvironmentChanged() {
    qvl_->SetDelay(app_.environ.CommDelay);
    return app_.environ.EnvToFile(app_.cast.Loaded.FileLoaded);
}

void TMainShell::ResetWindowPlaces() { app_.environ.SetDefaultWindowPlaces(); }

// ---- Tool buttons --------------------------------------------------------------------------------

void TMainShell::SetToolBar() {
    const TGenConfig& g = app_.config.GenCfg;
    tools_.direction = g.Direction == Direction_None ? Direction_Down : g.Direction;
    tools_.autoX = g.DrawAutoX != 0;
    tools_.autoY = g.DrawAutoY != 0;
    tools_.smooth = g.DrawSmooth != 0;
    tools_.bottles = g.DrawBottles != 0;
    view_.ToolsChanged();
}

void TMainShell::Previous() { Navigate(false); }

void TMainShell::Next() { Navigate(true); }

void TMainShell::Navigate(bool forward) {
    const int n = LoadedCastNumber();
    const std::string cruise = app_.config.GenCfg.CruiseName.Get();
    const fs::path cruiseFile = app_.config.CruisePathName(DataRoot());
    const TCastValidity valid = [&](int k) -> std::optional<bool> {
        TCruisefile reader;
        if (!reader.ReadCast(cruiseFile, k))
            return std::nullopt;
        return reader.CastInfoc.Cast.InvalidCast == 0;
    };
    const TCastOpener open = [&](int k) {
        if (OpenAndDisplay(CastBinFile(cruise, k), FileTypeBinary))
            return true;
        ClearLoaded();
        return false;
    };
    TNavigationResult r;
    if (forward) {
        TCruisefile counter;
        int last = 0;
        if (counter.OpenCruiseFile(cruiseFile)) {
            last = counter.LastIndex;
            counter.CloseCruiseFile();
        }
        r = NavigateNext(n, last, valid, open);
    } else {
        r = NavigatePrevious(n, valid, open);
    }
    if (r.beep)
        Operator().Beep();
    if (r.precEnabled)
        tools_.precEnabled = *r.precEnabled;
    if (r.nextEnabled)
        tools_.nextEnabled = *r.nextEnabled;
    view_.ToolsChanged();
    view_.StatusChanged();
}

void TMainShell::SetDirection(TDisplayDirection direction) {
    tools_.direction = direction;
    app_.config.GenCfg.Direction = direction;
    if (!CastLoaded()) {
        Operator().Beep();
    } else {
        view_.RedrawPlot();
        if (!app_.cast.Acqui.ProbeOnLine)
            view_.RefreshValues(true);
        if (tools_.cursor)
            view_.ShowPlotCursor(0);
    }
    view_.ToolsChanged();
}

void TMainShell::SetAutoScale(bool horizontal, bool on) {
    bool& flag = horizontal ? tools_.autoX : tools_.autoY;
    if (!CastLoaded()) {
        flag = false;
        Operator().Beep();
        view_.ToolsChanged();
        return;
    }
    flag = on;
    TConfig& config = app_.config;
    (horizontal ? config.GenCfg.DrawAutoX : config.GenCfg.DrawAutoY) = on;
    if (!horizontal || on)
        ScanForAuto(config, app_.cast, tools_.autoY, tools_.autoX);
    view_.RebuildPlot();
    if (tools_.cursor)
        view_.ShowPlotCursor(0);
    view_.ToolsChanged();
}

bool TMainShell::SmoothRefused() {
    const TParamCollection& cast = app_.cast;
    const int rows = cast.Bin.SortInfo.MaxIndex + 1;
    for (TParameter* p : app_.config.CurParaPtr) {
        if (!p)
            continue;
        TParaSmooth& s = p->ParaSmooth;
        if (s.SmoothType == Smo_Mean && s.FilterLength(Smo_Mean) > rows)
            return true;
    }
    return false;
}

void TMainShell::SetSmooth(bool on) {
    if (!CastLoaded()) {
        tools_.smooth = false;
        Operator().Beep();
        view_.ToolsChanged();
        return;
    }
    if (on && SmoothRefused()) {
        tools_.smooth = false;
        Operator().Message(SmoothRefusedText, "Warning", TMessageKind::Warning);
        view_.ToolsChanged();
        return;
    }
    tools_.smooth = on;
    app_.config.GenCfg.DrawSmooth = on;
    view_.RedrawPlot();
    if (!app_.cast.Acqui.ProbeOnLine)
        view_.RefreshValues(true);
    view_.ToolsChanged();
}

void TMainShell::SetShowBottles(bool on) {
    tools_.bottles = on;
    app_.config.GenCfg.DrawBottles = on;
    if (CastLoaded())
        view_.RedrawPlot();
    view_.ToolsChanged();
}

bool TMainShell::CursorAllowed() {
    const TParamCollection& cast = app_.cast;
    if (!CastLoaded() || cast.Bin.SortInfo.MaxIndex < 1 || cast.Acqui.ProbeOnLine)
        return false;
    const TConfig& config = app_.config;
    if (cast.Acqui.RealTimeOn && config.AcquiCfg.AcquiMode == AM_All)
        return false;
    const int y = config.PlotCount() > 0 ? config.GenCfg.ParaPlotList.List[0] : 0;
    return y == PressurePara || y == TimePara || y == DepthPara;
}

void TMainShell::SetShowCursor(bool on) {
    if (on && !CursorAllowed()) {
        tools_.cursor = false;
        Operator().Beep();
    } else {
        tools_.cursor = on;
        if (on)
            view_.ShowPlotCursor(view_.ValuesSelectedRow());
        else
            view_.HidePlotCursor();
    }
    view_.ToolsChanged();
}

void TMainShell::SetFlaggedFilter(bool down) {
    tools_.flaggedFilter = down;
    if (!app_.cast.Acqui.ProbeOnLine)
        view_.RefreshValues(CastLoaded());
    view_.ToolsChanged();
}

// ---- Modes and status ----------------------------------------------------------------------------

void TMainShell::ApplyMode(TShellMode mode) {
    mode_ = mode;
    states_ = ModeStates(mode, app_.config.Rosette.RosetteType != ro_none, states_);
    At(states_, TModeElement::SaveButton).visible =
        mode != TShellMode::Batch && tools_.saveVisible && mode == TShellMode::Normal;
    view_.ModeChanged();
}

void TMainShell::SetNormalEnv() {
    ResetProbeRosette(app_.config);
    ApplyMode(TShellMode::Normal);
}

void TMainShell::SetAcquiEnv() { ApplyMode(TShellMode::Acquisition); }

void TMainShell::SetBatchEnv() { ApplyMode(TShellMode::Batch); }

std::array<std::string, StatusPanelCount> TMainShell::Panels(std::string_view status) const {
    TStatusInputs in;
    const TConfig& config = app_.config;
    in.cruiseName = config.GenCfg.CruiseName.Get();
    in.castNumber = CastLoaded() ? CastNumberOfFile(app_.cast.Loaded.FileLoaded) : 0;
    in.configName = app_.environ.ConfigName.Get();
    in.acquiring = mode_ == TShellMode::Acquisition;
    in.dupTempNb = config.GenCfg.DupTempNb;
    in.dupCondNb = config.GenCfg.DupCondNb;
    const auto& checked = config.GenCfg.AlarmChecked;
    in.alarmEnabled = std::any_of(std::begin(checked), std::end(checked), [](auto c) { return c != 0; });
    in.statusMessage = std::string(status);
    return StatusPanels(in);
}


} // namespace marevo

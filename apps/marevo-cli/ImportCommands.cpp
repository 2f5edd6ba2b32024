#include "ImportCommands.h"

#include "CliApp.h"

#include "SimRecording.h"

#include "app/AppContext.h"
#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "parameters/ParaNumbers.h"
#include "platform/Clock.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/ConfigFields.h"
#include "records/Environ.h"
#include "shell/Startup.h"
#include "storage/CastImport.h"
#include "storage/CruiseFile.h"

#include <fmt/core.h>

#include <algorithm>
#include <chrono>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

int Refused(const std::string& reason) {
    fmt::print(stderr, "marevo-cli: {}\n", reason);
    return 1;
}

std::string CastList(const std::string& cruise, const std::vector<int>& casts) {
    std::string text;
    for (int k : casts)
        text += (text.empty() ? "" : ", ") + cruise + CastNumberText(k);
    return text;
}

int Import(const TImportOptions& o, TCruisefile& file, const fs::path& root) {
    const fs::path path = DefaultCruiseName(root, o.cruise);
    if (!fs::exists(path))
        return Refused(
            fmt::format("no cruise {} under {}; see `cruise new`", o.cruise, root.string()));
    Config().GenCfg.CruiseName.Set(o.cruise);
    std::vector<fs::path> files;
    for (const std::string& f : o.files)
        files.push_back(fs::absolute(f).lexically_normal());
    TCastImport import(file);
    const bool all = import.ImportMicroMarevoFiles(files);
    if (all)
        Operator().Message(ImportAllText, "Success", TMessageKind::Information);
    else
        Operator().Message(ImportSomeText, "Error", TMessageKind::Warning);
    const std::vector<int>& casts = import.Appended();
    if (!casts.empty())
        fmt::print("imported {} of {} recordings into {}: {}\n", casts.size(), files.size(),
                   o.cruise, CastList(o.cruise, casts));
    if (!all)
        return Refused(fmt::format("{} of {} recordings not imported (see the warnings above)",
                                   files.size() - casts.size(), files.size()));
    return 0;
}

int Rebuild(const TImportOptions& o, TCruisefile& file, const fs::path& root) {
    const fs::path path = DefaultCruiseName(root, o.cruise);
    if (!fs::is_directory(path.parent_path() / "raw"))
        return Refused(
            fmt::format("no raw folder {} to rebuild from", (path.parent_path() / "raw").string()));
    TCastImport import(file);
    const TRebuildResult r = import.RebuildCruiseFile(path);
    if (!r.copy.empty())
        fmt::print("previous cruise file kept as {}\n", r.copy.string());
    switch (r.outcome) {
    case TRebuildOutcome::Rebuilt:
        fmt::print("rebuilt {}: {} casts\n", path.string(), r.casts);
        return 0;
    case TRebuildOutcome::Refused: return Refused(std::string(RebuildRefusedText));
    case TRebuildOutcome::Partial:
        return Refused(fmt::format("rebuilt {} with {} casts; {} transcripts failed (see the "
                                   "warnings above)",
                                   path.string(), r.casts, r.failed));
    case TRebuildOutcome::Restored:
        return Refused(
            fmt::format("{} transcripts failed; the previous cruise file was put back", r.failed));
    case TRebuildOutcome::Failed: break;
    }
    return Refused("rebuild failed: " + EventLog().LastMessage());
}

int Simulate(const TImportOptions& o, const fs::path& root) {
    fs::path raw = o.output.empty() ? root / "uMvo" / "SIM001.raw" : fs::path(o.output);
    std::error_code ec;
    if (raw.has_parent_path())
        fs::create_directories(raw.parent_path(), ec);
    sim::TSimRecording options;
    options.format = o.format;
    options.seconds = o.seconds;
    options.cnvCast = o.cast;
    options.bottomPressure = o.bottom;
    options.scanRate = o.rate;
    // The probe lives in simulated time: an hour's cast is recorded in seconds, dated now.
    TFakeClock clock;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    clock.Set(
        LocalDateTimeFromUnix(std::chrono::duration_cast<std::chrono::seconds>(now).count(), 0));
    TRuntimeScope fakeTime({&clock, nullptr, nullptr, nullptr});
    sim::TSimRecordingResult result;
    if (!sim::RecordSimulatedCast(raw, options, result))
        return Refused("simulate: " + result.error);
    fmt::print("recorded {} frames of {} bytes (DF{}, {:.0f} s of {}) into\n  {}\n  {}\n  {}\n",
               result.frames, result.frameSize, o.format, result.seconds,
               o.cast.empty() ? "a synthetic cast" : fs::path(o.cast).filename().string(),
               result.raw.string(), result.xfr.string(), result.ext.string());
    return 0;
}

// The cast in hand: its header and rows of its binned table (the first `rows`, or the rows whose
// pressure is one of `levels`), with the derived quantities computed from the binned inputs.
void PrintCastSummary(TParamCollection& cast, const TCastInfo& header, const TCastInfo& cruise,
                      int rows, const std::vector<int>& levels = {}) {
    const TFlaggedValue deepest = header.BottomValue[0];
    const auto when = [](TDateTime t) {
        return IsKnownValue(t) ? FormatDateTime("dd/MM/yyyy HH:mm:ss", t) : std::string("unknown");
    };
    fmt::print("cast           {} of cruise {}: {}\n", header.ID, cruise.InfoStr[1].Get(),
               header.InfoStr[1].Get());
    fmt::print("start          {}  {:.5f} {:.5f}\n", when(header.CastTime[0]),
               static_cast<double>(header.latitude[0].ToLongDouble()),
               static_cast<double>(header.longitude[0].ToLongDouble()));
    fmt::print("bottom         {}  {:.1f} dbar\n", when(header.CastTime[1]),
               static_cast<double>(deepest.value));
    fmt::print("end            {}\n", when(header.CastTime[2]));
    fmt::print("probe          {} firmware {}, DF{}, {} parameters\n", cast.ProbeInfo.UnitSN.Get(),
               cast.ProbeInfo.Firmware.Get(), cast.ProbeInfo.Protocol, cast.Count());
    fmt::print("frames         {} ({} rejected by the reader, {} by validation)\n",
               header.DataSetNb, header.FrameError, header.ValidateError);
    fmt::print("binned table   {} rows ({} binning, step {:g})\n", cast.Bin.SortInfo.MaxIndex + 1,
               AcquiModeName(header.ExtractMode),
               static_cast<double>(header.ExtractStep.ToLongDouble()));

    const TValueContext ctx =
        ValueContextOf(cast, GenCfg(), Config().DataValidation, header.latitude[0].ToLongDouble());
    std::vector<TParameter*> columns;
    for (int number : {TimePara, PressurePara, DepthPara, TemperaturePara, CondMsCmPara,
                       SalinityPara, SigmaTPara, SoundVelocityPara, ThetaPara})
        if (TParameter* p = cast.FindPara(number); p && p->SortedBuffer) {
            p->CalcUpdated(ctx);
            columns.push_back(p);
        }
    std::string line;
    for (const TParameter* p : columns)
        line += fmt::format(" {:>11}", p->HeaderPrompt());
    fmt::print("\n{}\n", line);
    const TParameter* pressure = cast.FindPara(PressurePara);
    // The levels are looked up in the down-cast, down to the deepest row.
    const int last = levels.empty()
                         ? cast.Bin.SortInfo.MaxIndex + 1
                         : std::min(cast.Bin.SortInfo.MaxIndex, cast.Bin.SortInfo.MaxDownIndex) + 1;
    for (int r = 0; r < (levels.empty() ? std::min(rows, last) : last); ++r) {
        if (!levels.empty()) {
            const TLinearArray* p = pressure ? pressure->SortedBuffer.get() : nullptr;
            const TFlaggedValue v = p && r <= p->LastIndice ? p->Data()[r] : InvalidFV;
            if (v.flag != 0 ||
                std::find(levels.begin(), levels.end(), std::lround(v.value)) == levels.end())
                continue;
        }
        line.clear();
        for (const TParameter* p : columns) {
            const TLinearArray& series = *p->SortedBuffer;
            const TFlaggedValue v = r <= series.LastIndice ? series.Data()[r] : InvalidFV;
            line += v.flag == 0 ? fmt::format(" {:>11.4f}", v.value) : fmt::format(" {:>11}", "**");
        }
        fmt::print("{}\n", line);
    }
}

// The settings the demo processes the real cast with. The recording is of another maker's
// probe: the conductivity lag compensation, tuned for this system's own sensors, would put
// spikes into its salinity, so it is off.
const std::vector<std::string>& DemoSettings() {
    static const std::vector<std::string> settings{
        // 1 dbar bins, averaged, of the down-cast.
        "AcquiCfg.AcquiMode=0", "AcquiCfg.VertUnit=0", "AcquiCfg.VertStep=1",
        "AcquiCfg.VertFirst=1", "AcquiCfg.VertMean=1", "AcquiCfg.VertMeanItv=1",
        // The surface soak and the heave loops are flagged before binning.
        "DataValidation.WarmupFilterEnable=1", "DataValidation.WarmupFilterThreshold=10",
        "DataValidation.WarmupFilterMinPressure=2", "DataValidation.WaveFilterEnable=1",
        "DataValidation.WaveFilterThreshold=0.1", "GenCfg.CondLagEffect=0",
        // Pressure, temperature, conductivity, salinity, sigma-t, depth, sound speed, theta.
        "DataTextCfg.ParaList=101,401,599,404,609,403,603,600", "DataTextCfg.Direction=1",
        "DataTextCfg.CondUnit=1",
        // The plot: temperature, salinity and sigma-t against pressure, scaled to the cast.
        "GenCfg.ParaPlotList=101,401,404,609", "GenCfg.Direction=1", "GenCfg.DrawAutoX=1",
        "GenCfg.DrawAutoY=1"};
    return settings;
}

bool UseDemoConfiguration(TCliApp& app) {
    TConfig& config = app.config;
    config.SetDefault();
    std::vector<std::string> refused;
    if (!SetConfigFields(config, DemoSettings(), refused)) {
        for (const std::string& r : refused)
            fmt::print(stderr, "marevo-cli: demo configuration: {}\n", r);
        return false;
    }
    const fs::path file = app.environ.ConfigFolder() / "Demo.cfg";
    if (!config.SaveToFile(file, app.Collections()) ||
        !config.ReadFromFile(file, app.Collections())) {
        fmt::print(stderr, "marevo-cli: the demo configuration cannot be written: {}\n",
                   EventLog().LastMessage());
        return false;
    }
    for (const std::string& s : DemoSettings())
        fmt::print("  {}\n", s);
    fmt::print("  (the lag compensation is off: it is tuned for this system's own probe, and this "
               "recording is of another)\n\n");
    return true;
}

} // namespace

int RunImportDemo(const fs::path& dataRoot, const fs::path& realCast) {
    TCliApp app(dataRoot);
    TParamCollection& cast = app.cast;
    TConfig& config = app.config;
    TEnviron& environ = app.environ;
    if (!app.Start({.writeMissingEnviron = true}))
        return 1;
    const fs::path root = environ.DataRootPath();

    // 0. The demo's own configuration, made as `config new/set` make one.
    fmt::print("== the demo's configuration ({})\n",
               (environ.ConfigFolder() / "Demo.cfg").string());
    if (!UseDemoConfiguration(app))
        return 1;

    // 1. A logger recording of the real cast, made with the simulated probe.
    fmt::print("== a logger recording, made with the simulated probe\n");
    TImportOptions o;
    o.format = 6;
    if (fs::exists(realCast))
        o.cast = realCast.string();
    else
        fmt::print("(no recorded cast at {}: a synthetic one)\n", realCast.string());
    const std::string stamp = FormatDateTime("yyyyMMddHHmmss", Clock().Now());
    o.output = (root / "uMvo" / ("DEMO" + stamp + ".raw")).string();
    if (Simulate(o, root) != 0)
        return 1;

    // 2. A new cruise receives it.
    o.cruise = "Demo" + stamp;
    fmt::print("\n== import into the new cruise {}\n", o.cruise);
    TCruisefile file(cast);
    if (!file.NewCruise(root, [&](TCastInfo& header) {
            header.InfoStr[1].Set(o.cruise);
            header.InfoStr[2].Set(o.cruise);
            header.InfoStr[3].Set("RV Simulated");
            return true;
        }))
        return Refused("the demo cruise cannot be created: " + EventLog().LastMessage());
    o.files = {o.output};
    if (Import(o, file, root) != 0)
        return 1;

    // 3. The imported cast, processed and stored, exported as text.
    TCastInfoC& holder = file.CastInfoc;
    const fs::path txt = config.TxtDir(root) / (o.cruise + CastNumberText(holder.Cast.ID) + ".txt");
    std::error_code ec;
    fs::create_directories(txt.parent_path(), ec);
    std::int32_t exported = 0;
    if (!cast.TxtSave(txt, false, false, exported))
        return Refused("the text export failed: " + EventLog().LastMessage());
    fmt::print("binary file    {}\ntext export    {} ({} rows)\n", file.BinPath().string(),
               txt.string(), exported);

    fmt::print("\n== the cast, its down-cast at a few levels\n");
    PrintCastSummary(cast, holder.Cast, holder.Cruise, 0, {10, 50, 100, 250, 500, 1000});
    // The desktop program opens this cast next, under the demo's configuration.
    environ.ConfigName.Set("Demo");
    environ.LastType = FileTypeBinary;
    if (!environ.EnvToFile(file.BinPath()))
        fmt::print(stderr, "marevo-cli: the environment could not be written\n");
    fmt::print("\nevent log      {}\n", EventLog().FileName().string());
    return 0;
}

void AddImportCommands(CLI::App& app, TImportOptions& o) {
    o.import = app.add_subcommand(
        "import", "Import logger recordings (.raw with its .xfr and .ext) as new casts of a "
                  "cruise; the recordings' files are moved into the cruise");
    // A missing file is the import's to report: it may be a recording that a run which did not
    // end has already imported.
    o.import->add_option("TRIPLET", o.files, "Raw file of each recording (NAME.raw)")->required();
    o.import->add_option("--cruise", o.cruise, "Cruise receiving the casts")->required();

    o.rebuild = app.add_subcommand(
        "rebuild", "Rebuild a cruise file from the transcripts and raw files of its raw folder "
                   "(the previous file is kept as a .bak copy)");
    o.rebuild->add_option("CRUISE", o.cruise, "Cruise name")->required();

    o.simulate = app.add_subcommand(
        "simulate", "Write a logger recording (.raw, .xfr, .ext) made with the simulated probe");
    o.simulate->add_option("OUTPUT", o.output,
                           "Raw file to write (default: DATA_ROOT/uMvo/SIM001.raw)");
    o.simulate->add_option("--format", o.format, "Data format: 5, 6 or 7")
        ->check(CLI::IsMember({5, 6, 7}))
        ->capture_default_str();
    o.simulate->add_option("--cast", o.cast, "Play a recorded cast (.cnv or .cnv.bz2)")
        ->check(CLI::ExistingFile);
    o.simulate->add_option("--seconds", o.seconds, "Seconds of data flow (default: the whole cast)")
        ->check(CLI::Range(0.0, 86400.0));
    o.simulate->add_option("--bottom", o.bottom, "Synthetic cast: deepest pressure [dbar]")
        ->check(CLI::Range(10.0, 6000.0))
        ->capture_default_str();
    o.simulate->add_option("--rate", o.rate, "Scan rate [Hz]")
        ->check(CLI::Range(1.0, 64.0))
        ->capture_default_str();
}

bool ImportCommandChosen(const TImportOptions& o) {
    return (o.import && *o.import) || (o.rebuild && *o.rebuild) || (o.simulate && *o.simulate);
}

int RunImportCommand(const TImportOptions& o, const fs::path& dataRoot) {
    if (!*o.simulate && !CruiseNameOk(o.cruise))
        return 2;
    TCliApp app(dataRoot);
    TParamCollection& cast = app.cast;
    TEnviron& environ = app.environ;
    if (!app.Start())
        return 1;
    const fs::path root = environ.DataRootPath();
    if (*o.simulate)
        return Simulate(o, root);
    TCruisefile file(cast);
    if (*o.import)
        return Import(o, file, root);
    return Rebuild(o, file, root);
}

} // namespace marevo::cli

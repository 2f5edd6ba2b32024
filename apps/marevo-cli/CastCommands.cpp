#include "CastCommands.h"

#include "CliApp.h"

#include "app/AppContext.h"
#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/SafeFiles.h"
#include "parameters/ParaNumbers.h"
#include "parameters/Units.h"
#include "probelink/RawStream.h"
#include "processing/CastFiles.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/ConfigFields.h"
#include "records/Environ.h"
#include "shell/Batch.h"
#include "shell/MainShell.h"
#include "shell/Startup.h"
#include "storage/CastImport.h"
#include "storage/CruiseFile.h"
#include "storage/ProfileExport.h"

#include <fmt/core.h>

#include <algorithm>
#include <charconv>
#include <vector>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

// A cast number 1..MaxCastNumber from its text; 0 for any other text.
int ParseCastNumber(std::string_view text) {
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    return ec == std::errc() && end == text.data() + text.size() && n >= 1 && n <= MaxCastNumber
               ? n
               : 0;
}

// Rows printed at each end of the table without --all.
constexpr int EdgeRows = 10;
constexpr int ColumnWidth = 11; // plus one blank before each column

// The cast's table as the data export's columns (those the cast holds or derives), in the
// terminal.
int PrintTable(TParamCollection& cast, const TCastInfo& header, bool all) {
    const TConfig& config = Config();
    const TTextFileCfg& cfg = config.DataTextCfg;
    const TValueContext ctx =
        ValueContextOf(cast, GenCfg(), config.DataValidation, header.latitude[0].ToLongDouble());
    // The derived columns (TEOS-10) are computed from the table as it is resolved.
    std::vector<TExportColumn> held;
    std::vector<TParameter*> columns;
    for (int i = 0; i < std::clamp(cfg.ParaList.count, 0, MaxParaListCount); ++i) {
        TExportColumn c = ResolveExportColumn(cast, cfg.ParaList.List[i]);
        TParameter* p = c.para;
        if (c.own && p->ParaType() != Pt_header && p->SortedBuffer) {
            if (!c.derived)
                p->CalcUpdated(ctx);
            columns.push_back(p);
            held.push_back(std::move(c));
        }
    }
    if (columns.empty()) {
        fmt::print(stderr, "marevo-cli: the data export lists no column of this cast\n");
        return 1;
    }
    std::string line;
    for (const TParameter* p : columns)
        line += fmt::format(" {:>{}}", p->HeaderPrompt(), ColumnWidth);
    fmt::print("{}\n", line);

    const int rows = cast.Bin.SortInfo.MaxIndex + 1;
    const long double timeFactor = TimeDivisor(GenCfg().TimeUnit);
    for (int r = 0; r < rows; ++r) {
        if (!all && r == EdgeRows && rows > 2 * EdgeRows) {
            fmt::print("... {} rows ...\n", rows - 2 * EdgeRows);
            r = rows - EdgeRows - 1;
            continue;
        }
        line.clear();
        for (const TParameter* p : columns) {
            const TLinearArray& s = *p->SortedBuffer;
            const TFlaggedValue v = r <= s.LastIndice ? s.Data()[r] : InvalidFV;
            std::string text =
                p->GetParaNb() == TimePara
                    ? ExportTimeText(v.value * timeFactor, cfg.TimeUnit, header.CastTime[0])
                    : ExportNumberText(v.value, p->ParaText.Decimal[txt_File]);
            if (v.flag != 0)
                text += "**";
            line += fmt::format(" {:>{}}", text, ColumnWidth);
        }
        fmt::print("{}\n", line);
    }
    fmt::print("{} rows, deepest at row {}\n", rows, cast.Bin.SortInfo.MaxDownIndex + 1);
    return 0;
}

} // namespace

void AddCastCommands(CLI::App& app, TCastOptions& o) {
    const auto addCast = [&](CLI::App* verb) {
        verb->add_option("CRUISE", o.cruise, "Cruise name")->required();
        verb->add_option("CAST", o.cast, "Cast number")
            ->required()
            ->check(CLI::Range(1, MaxCastNumber));
    };
    o.reprocess = app.add_subcommand(
        "reprocess", "Replay a cast's raw file under the current configuration and store its "
                     "binary file and cruise-file entry again");
    addCast(o.reprocess);
    o.exportText = app.add_subcommand(
        "export", "Write a cast's table from its binary file: text (data text settings), NetCDF "
                  "(CF profile) or ODV spreadsheet; NetCDF and ODV take every cast with CAST all");
    o.exportText->add_option("CRUISE", o.cruise, "Cruise name")->required();
    o.exportText->add_option("CAST", o.castText, "Cast number, or all (NetCDF and ODV)")
        ->required()
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                return text == "all" || ParseCastNumber(text) > 0
                           ? std::string()
                           : fmt::format("{} is neither a cast number (1 to {}) nor all",
                                         text, MaxCastNumber);
            },
            "1..999|all"));
    o.exportText->add_option("FILE", o.output,
                             "Output file (default: in the cruise's txt folder, CRUISE + cast "
                             "+ .txt, .nc or _odv.txt)");
    o.exportText
        ->add_option("--format", o.format,
                     "text, netcdf or odv (default: netcdf for a FILE ending in .nc, else text)")
        ->check(CLI::IsMember({"text", "netcdf", "odv"}, CLI::ignore_case));
    o.exportText->add_option("--columns", o.columns,
                             "Columns of this export only, e.g. 101,401,599,404 (default: the "
                             "configuration's data export columns)");
    o.show = app.add_subcommand("show", "Print a cast's binned table (first and last rows)");
    addCast(o.show);
    o.show->add_flag("--all", o.all, "Print every row");
}

bool CastCommandChosen(const TCastOptions& o) {
    return (o.reprocess && *o.reprocess) || (o.exportText && *o.exportText) || (o.show && *o.show);
}

// `export` in NetCDF or ODV: one cast, or every cast of the cruise (castNb 0) that has a binary
// file, written through a temporary name.
int ExportProfiles(TCliApp& app, const TCastOptions& o, int castNb, TExportFormat format) {
    TParamCollection& cast = app.cast;
    const fs::path root = app.environ.DataRootPath();
    if (!o.columns.empty()) {
        std::vector<std::string> refused;
        if (!SetConfigFields(app.config, {"DataTextCfg.ParaList=" + o.columns}, refused)) {
            fmt::print(stderr, "marevo-cli: --columns: {}\n", refused.front());
            return 2;
        }
    }
    int first = castNb, last = castNb;
    if (castNb == 0) {
        TCruisefile table(cast);
        const fs::path path = DefaultCruiseName(root, o.cruise);
        if (!table.OpenCruiseFile(path))
            return Fail("cannot open " + path.string());
        first = 1;
        last = table.LastIndex;
        if (last < 1) {
            fmt::print(stderr, "marevo-cli: cruise {} has no cast\n", o.cruise);
            return 1;
        }
    }
    std::vector<TProfile> profiles;
    for (int n = first; n <= last; ++n) {
        TCruisefile file(cast);
        if (!OpenCast(app, file, o.cruise, n))
            return 1;
        const fs::path bin = file.BinPath();
        if (!fs::exists(bin) && castNb == 0) {
            fmt::print(stderr, "marevo-cli: cast {} has no binary file ({}); left out\n", n,
                       bin.string());
            continue;
        }
        if (!cast.BinRead(bin))
            return Fail("cannot read " + bin.string());
        std::string problem;
        profiles.push_back(
            CollectProfile(cast, file.CastInfoc.Cast, &file.CastInfoc.Cruise, problem));
        if (!problem.empty()) {
            fmt::print(stderr, "marevo-cli: cast {}: {}; nothing is written\n", n, problem);
            return 1;
        }
    }
    if (profiles.empty()) {
        fmt::print(stderr, "marevo-cli: no cast of {} has a binary file; nothing is written\n",
                   o.cruise);
        return 1;
    }
    fs::path out = o.output;
    if (out.empty()) {
        const std::string stem =
            castNb == 0 ? o.cruise : o.cruise + CastNumberText(castNb);
        out = app.config.TxtDir(root) / (stem + (format == TExportFormat::NetCdf ? ".nc" : "_odv.txt"));
        fs::create_directories(out.parent_path());
    }
    if (const std::string refused = ProtectedOutputError(out); !refused.empty()) {
        fmt::print(stderr, "marevo-cli: {}; the export is refused\n", refused);
        return 1;
    }
    const std::string history =
        ExportHistory(fmt::format("marevo-cli export {} {}", o.cruise,
                                  castNb == 0 ? std::string("all") : std::to_string(castNb)));
    try {
        WriteProfiles(out, profiles, format, history);
    } catch (const std::exception& e) {
        fmt::print(stderr, "marevo-cli: cannot write {}: {}\n", out.string(), e.what());
        return 1;
    }
    std::size_t levels = 0;
    for (const TProfile& p : profiles)
        levels += p.Levels();
    fmt::print("wrote {} ({} cast{}, {} levels)\n", out.string(), profiles.size(),
               profiles.size() == 1 ? "" : "s", levels);
    return 0;
}

int RunCastCommand(const TCastOptions& given, const fs::path& dataRoot) {
    TCastOptions o = given;
    if (!CruiseNameOk(o.cruise))
        return 2;
    TExportFormat format = TExportFormat::Text;
    if (*o.exportText) {
        if (o.format.empty())
            format = ExportFormatOfName(o.output);
        else
            ParseExportFormat(o.format, format);
        const bool all = o.castText == "all";
        if (all && format == TExportFormat::Text) {
            fmt::print(stderr, "marevo-cli: export CRUISE all writes NetCDF or ODV only: give "
                               "--format netcdf or odv (or a FILE ending in .nc)\n");
            return 2;
        }
        o.cast = all ? 0 : ParseCastNumber(o.castText);
    }
    TCliApp app(dataRoot);
    TParamCollection& cast = app.cast;
    TConfig& config = app.config;
    TEnviron& environ = app.environ;
    if (!app.Start())
        return 1;

    const fs::path root = environ.DataRootPath();
    const fs::path path = DefaultCruiseName(root, o.cruise);
    if (!fs::exists(path)) {
        fmt::print(stderr, "marevo-cli: no cruise {} under {}\n", o.cruise, root.string());
        return 1;
    }
    // A reprocessing reads the cast and writes it back: no other program may write the cruise
    // in between.
    TFileLock lock;
    if (*o.reprocess) {
        try {
            LockCruise(path, lock);
        } catch (const EMarevoError& e) {
            fmt::print(stderr, "marevo-cli: {}\n", e.what());
            return 1;
        }
        CleanUpInterruptedImport(path);
    }
    if (*o.exportText && format != TExportFormat::Text)
        return ExportProfiles(app, o, o.cast, format);
    TCruisefile file(cast);
    if (!OpenCast(app, file, o.cruise, o.cast))
        return 1;
    TCastInfoC& holder = file.CastInfoc;

    if (*o.reprocess) {
        // The batch's "Read Raw" and "Save As Bin" on this one cast: the cast read from the
        // cruise file, its raw file replayed under the current settings, its extraction fields
        // set; the binary file written, and the cast's block only over a written file.
        IShellView view; // no windows
        TMainShell shell(app, view);
        shell.AttachCast();
        TBatchTool batch(shell);
        batch.FileList = {o.cruise + CastNumberText(o.cast)};
        if (!batch.BReadRaw(0)) {
            fmt::print(stderr, "marevo-cli: {}; cast {} is kept as it was\n",
                       EventLog().LastMessage(), o.cast);
            return 1;
        }
        const fs::path bin = batch.Entry(0)->bin;
        if (!batch.BSaveAsBin(0))
            return Fail("cannot write " + bin.string() + " and cast " + std::to_string(o.cast) +
                        " of " + path.string());
        fmt::print("cast {}: {} frames, {} rows; wrote {}\n", o.cast, cast.Acqui.RawIndex,
                   cast.Bin.SortInfo.MaxIndex + 1, bin.string());
        return 0;
    }

    const fs::path bin = file.BinPath();
    if (!cast.BinRead(bin))
        return Fail("cannot read " + bin.string());
    if (*o.exportText) {
        if (!o.columns.empty()) {
            std::vector<std::string> refused;
            if (!SetConfigFields(config, {"DataTextCfg.ParaList=" + o.columns}, refused)) {
                fmt::print(stderr, "marevo-cli: --columns: {}\n", refused.front());
                return 2;
            }
        }
        fs::path out = o.output;
        if (out.empty()) {
            out = config.TxtDir(root) / bin.filename();
            out.replace_extension(".txt");
            fs::create_directories(out.parent_path());
        }
        if (const std::string refused = ProtectedOutputError(out); !refused.empty()) {
            fmt::print(stderr, "marevo-cli: {}; the export is refused\n", refused);
            return 1;
        }
        std::int32_t start = 0;
        if (!cast.TxtSave(out, false, false, start))
            return Fail("cannot write " + out.string());
        fmt::print("wrote {} ({} rows)\n", out.string(), start);
        return 0;
    }
    return PrintTable(cast, holder.Cast, o.all);
}

} // namespace marevo::cli

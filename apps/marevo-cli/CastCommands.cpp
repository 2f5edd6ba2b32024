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

#include <fmt/core.h>

#include <algorithm>
#include <vector>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

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
        "export", "Write a cast's text export (data text settings) from its binary file");
    addCast(o.exportText);
    o.exportText->add_option("FILE", o.output, "Output file (default: txt/CRUISE + cast + .txt)");
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

int RunCastCommand(const TCastOptions& o, const fs::path& dataRoot) {
    if (!CruiseNameOk(o.cruise))
        return 2;
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

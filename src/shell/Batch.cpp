#include "shell/Batch.h"

#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "platform/Operator.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "shell/DataFiles.h"
#include "shell/MainShell.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <system_error>

namespace marevo {

namespace fs = std::filesystem;

const std::array<std::string_view, BatchCommandCount> BatchCommandNames = {
    "Display Clear", "Display Open", "Display Draw",       "Display Close", "Read Raw",
    "Read Bin",      "Read Text",    "Save As Bin",        "Save As Text",  "Save Bottle As Text",
    "Load Cfg1",     "Load Cfg2",    "Load Cfg3",          "Print Plot",    "Print Bottle",
    "Pause",         "BEGIN LOOP",   "END LOOP"};

namespace {

constexpr std::string_view ProgressActivity = "Batch";

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return std::string(s);
}

} // namespace

bool BatchCommandAvailable(int code) {
    switch (code) {
    case Bc_DisplayClear:
    case Bc_DisplayClose:
    case Bc_ReadText:
    case Bc_PrintPlot:
    case Bc_PrintBottle:
        return false;
    default:
        return code >= 0 && code < BatchCommandCount;
    }
}

bool ValidBatchList(const TBatchCmdArray& list) {
    if (list.count < 0 || list.count > MaxBatchCommands)
        return false;
    return std::all_of(list.Codes, list.Codes + list.count,
                       [](std::uint8_t c) { return c < BatchCommandCount; });
}

TBatchCmdArray DefaultBatchList() {
    TBatchCmdArray list;
    std::memset(&list, 0, sizeof list);
    list.Codes[0] = Bc_BeginLoop;
    list.Codes[1] = Bc_EndLoop;
    list.count = 2;
    return list;
}

std::string TBatchRunResult::Summary() const {
    return "Batch: " + std::to_string(entries) + " casts, " + std::to_string(failed.size()) +
           " failed";
}

TBatchTool::TBatchTool(TMainShell& shell) : shell_(shell) { Create(); }

void TBatchTool::Create() {
    list = DefaultBatchList();
    std::memset(&Savedlist, 0, sizeof Savedlist);
    FileList = {"qvtst001", "qvtst002", "qvtst003"};
    if (!shell_.App().environ.BatchFileList.empty())
        FileList = shell_.App().environ.BatchFileList;
}

void TBatchTool::FromEnviron() {
    const TEnviron& env = shell_.App().environ;
    if (ValidBatchList(env.BatchCmdList)) {
        list = env.BatchCmdList;
    } else {
        WriteLog("the environment's batch command list holds an unknown command; the default "
                 "list is used");
        list = DefaultBatchList();
    }
    FileList = env.BatchFileList;
}

void TBatchTool::CmdToEnviron() { shell_.App().environ.BatchCmdList = list; }

void TBatchTool::FilesToEnviron() { shell_.App().environ.BatchFileList = FileList; }

// ---- Editing ---------------------------------------------------------------------------------------

bool TBatchTool::Add(int code) {
    if (list.count >= MaxBatchCommands || code < 0 || code >= BatchCommandCount) {
        Operator().Beep();
        return false;
    }
    list.Codes[list.count++] = static_cast<std::uint8_t>(code);
    return true;
}

bool TBatchTool::insert(int position, int code) {
    return Guard({"FUNC: TBatchList insert ", "Batch function"}, [&] {
        if (position < 0 || position > list.count || code < 0 || code >= BatchCommandCount)
            Raise("Position out of bounds");
        if (list.count >= MaxBatchCommands)
            Raise("Position out of bounds: the list holds " + std::to_string(MaxBatchCommands) +
                  " commands");
        std::memmove(list.Codes + position + 1, list.Codes + position,
                     static_cast<std::size_t>(list.count - position));
        list.Codes[position] = static_cast<std::uint8_t>(code);
        ++list.count;
    });
}

bool TBatchTool::Delete(int position) {
    return Guard({"FUNC: TBatchList Delete ", "Batch function"}, [&] {
        if (position < 0 || position >= list.count)
            Raise("Position out of bounds");
        std::memmove(list.Codes + position, list.Codes + position + 1,
                     static_cast<std::size_t>(list.count - position - 1));
        --list.count;
        list.Codes[list.count] = 0;
    });
}

bool TBatchTool::SaveCmd(const fs::path& file) {
    return Guard({"FUNC: TBatchList SaveCmd ", "Save Batch list"}, [&] {
        const TBatchCmdArray image = list;
        WriteFileAtomically(file, [&](TStream& out) {
            if (out.Write(&image, sizeof image) != sizeof image)
                Raise("write error - " + file.string());
        });
    });
}

bool TBatchTool::LoadCmd(const fs::path& file) {
    return Guard({"FUNC: TBatchList LoadCmd ", "Open Batch File"}, [&] {
        std::error_code ec;
        const auto size = fs::file_size(file, ec);
        if (ec || !fs::is_regular_file(file, ec))
            Raise("cannot read " + file.string());
        if (size != sizeof(TBatchCmdArray))
            Raise(file.string() + " is no batch file: " + std::to_string(size) +
                  " bytes instead of " + std::to_string(sizeof(TBatchCmdArray)));
        TBatchCmdArray read;
        std::ifstream in(file, std::ios::binary);
        if (!in.read(reinterpret_cast<char*>(&read), sizeof read))
            Raise("cannot read " + file.string());
        if (!ValidBatchList(read))
            Raise(file.string() + " is no batch file: its count or a command code is out of "
                                  "range");
        list = read;
    });
}

int TBatchTool::IndexOfCmd(std::string_view name) {
    const auto at = std::find(BatchCommandNames.begin(), BatchCommandNames.end(), name);
    return at == BatchCommandNames.end() ? -1
                                         : static_cast<int>(at - BatchCommandNames.begin());
}

int TBatchTool::Occurrences(int code) const {
    return static_cast<int>(std::count(list.Codes, list.Codes + std::clamp(list.count, 0, 51),
                                       static_cast<std::uint8_t>(code)));
}

// ---- Entries ---------------------------------------------------------------------------------------

std::optional<TBatchEntry> TBatchTool::Entry(int i) const {
    if (i < 0 || i >= static_cast<int>(FileList.size()))
        return std::nullopt;
    // Only cruise + three digits, an extension allowed: never a folder of its own.
    std::string base = Trimmed(FileList[static_cast<std::size_t>(i)]);
    base = base.substr(0, base.find('.'));
    const std::optional<TCastName> name = LastFileCast(base);
    if (!name)
        return std::nullopt;
    const fs::path root = shell_.DataRoot();
    std::error_code ec;
    if (!fs::is_regular_file(FindIgnoringCase(DefaultCruiseName(root, name->cruise)), ec))
        return std::nullopt;
    TBatchEntry e;
    e.base = base;
    e.cruise = name->cruise;
    e.cast = name->cast;
    // The cruise's own folders; the names as the files stand there, whatever their case.
    e.raw = FindIgnoringCase(root / name->cruise / "raw" / (base + ".raw"));
    e.bin = FindIgnoringCase(root / name->cruise / "bin" / (base + ".bin"));
    return e;
}

bool TBatchTool::LoadedIs(int i) const {
    const std::optional<TBatchEntry> e = Entry(i);
    const TParamCollection& cast = shell_.App().cast;
    return e && shell_.CastLoaded() &&
           Lower(cast.Loaded.FileLoaded.stem().string()) == Lower(e->base) &&
           Lower(shell_.App().config.GenCfg.CruiseName.Get()) == Lower(e->cruise);
}

// ---- Commands --------------------------------------------------------------------------------------

bool TBatchTool::BDisplayOpen() {
    if (plot_)
        plot_->DisplayOpen();
    return true;
}

bool TBatchTool::BDrawPlot(int i) {
    if (!LoadedIs(i))
        return false;
    if (plot_)
        plot_->DrawPlot();
    return true;
}

bool TBatchTool::BReadRaw(int i) {
    const std::optional<TBatchEntry> e = Entry(i);
    if (!e || !shell_.OpenDataFile(e->raw, FileTypeRaw))
        return false;
    // A raw file that gives no frame or no row would replace the cast by an empty one.
    const TParamCollection& cast = shell_.App().cast;
    if (cast.Acqui.RawIndex == 0 || cast.Bin.SortInfo.MaxIndex < 0) {
        WriteLog(e->raw.string() + " holds no usable frame");
        return false;
    }
    return true;
}

bool TBatchTool::BReadBin(int i) {
    const std::optional<TBatchEntry> e = Entry(i);
    return e && shell_.OpenDataFile(e->bin, FileTypeBinary);
}

bool TBatchTool::BSaveAsBin(int i) {
    if (!LoadedIs(i))
        return false;
    const std::optional<TBatchEntry> e = Entry(i);
    // The cast's block is rewritten only over a binary file that was written.
    if (shell_.App().cast.BinSave(e->bin) != ParaOk)
        return false;
    return shell_.CruiseFile().UpdateLast();
}

bool TBatchTool::BSaveAsText(int i) {
    return LoadedIs(i) && shell_.ExportCastText(shell_.ProposedCastText());
}

bool TBatchTool::BSaveBottleAsText(int i) {
    return LoadedIs(i) && shell_.ExportBottleText(shell_.ProposedBottleText());
}

bool TBatchTool::BLoadCfg(const std::string& name) {
    const TEnviron& env = shell_.App().environ;
    const fs::path folder = env.ConfigFolder();
    fs::path file = FindIgnoringCase(folder / (name + "." + env.Ext[FileTypeConfig].Get()));
    if (!fs::exists(file))
        file = FindIgnoringCase(folder / (name + ".cfg"));
    const std::string box = "Invalid configuration file: " + file.string() +
                            "\n\rThe current configuration will be reloaded!";
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        Operator().Message(box, "Error", TMessageKind::Error);
        return false;
    }
    return shell_.OpenConfig(file, box);
}

bool TBatchTool::BPause() {
    Operator().Beep(4100, 1000);
    Operator().Message("Pause", "", TMessageKind::Information);
    return true;
}

bool TBatchTool::Run(int code, int i) {
    switch (code) {
    case Bc_DisplayOpen:
        return BDisplayOpen();
    case Bc_DisplayDraw:
        return BDrawPlot(i);
    case Bc_ReadRaw:
        return BReadRaw(i);
    case Bc_ReadBin:
        return BReadBin(i);
    case Bc_SaveAsBin:
        return BSaveAsBin(i);
    case Bc_SaveAsText:
        return BSaveAsText(i);
    case Bc_SaveBottleAsText:
        return BSaveBottleAsText(i);
    case Bc_LoadCfg1:
    case Bc_LoadCfg2:
    case Bc_LoadCfg3:
        if (!BLoadCfg("Marevo5Cfg" + std::to_string(code - Bc_LoadCfg1 + 1))) {
            configFailed_ = true;
            return false;
        }
        return true;
    case Bc_Pause:
        return BPause();
    default: // stored and shown, nothing to run
        return true;
    }
}

// ---- The run ---------------------------------------------------------------------------------------

void TBatchTool::SetLoop() {
    BeginPos = EndPos = 0;
    for (int p = 0; p < std::clamp(list.count, 0, MaxBatchCommands); ++p) {
        if (list.Codes[p] == Bc_BeginLoop)
            BeginPos = p;
        else if (list.Codes[p] == Bc_EndLoop)
            EndPos = p;
    }
}

bool TBatchTool::ExecuteStart() {
    configFailed_ = false;
    for (int p = 0; p < BeginPos; ++p) {
        const int code = list.Codes[p];
        if (code == Bc_DisplayOpen || code == Bc_LoadCfg1 || code == Bc_LoadCfg2 ||
            code == Bc_LoadCfg3) {
            // Every cast would be processed under the wrong configuration: nothing runs.
            if (!Run(code, -1) && configFailed_)
                return false;
        }
    }
    return true;
}

void TBatchTool::Fail(TBatchRunResult& result, const std::string& entry, const std::string& why) {
    result.failed.push_back(entry);
    WriteLog("Batch: " + entry + " failed: " + why);
}

void TBatchTool::ExecuteLoop(TBatchRunResult& result) {
    const int n = static_cast<int>(FileList.size());
    for (int i = 0; i < n; ++i) {
        const std::string name = Trimmed(FileList[static_cast<std::size_t>(i)]);
        if (!Operator().Progress(ProgressActivity, i, n) || cancel_) {
            result.cancelled = true;
            for (int k = i; k < n; ++k)
                Fail(result, Trimmed(FileList[static_cast<std::size_t>(k)]), "cancelled");
            return;
        }
        if (!Entry(i)) {
            Fail(result, name, "no cast of a cruise of " + shell_.DataRoot().string());
            continue;
        }
        for (int p = BeginPos + 1; p < EndPos; ++p) {
            const int code = list.Codes[p];
            if (Run(code, i))
                continue;
            // The entry's later commands would act on another cast.
            Fail(result, name, std::string(BatchCommandNames[static_cast<std::size_t>(code)]));
            break;
        }
        if (EntryDone)
            EntryDone(i);
        if (configFailed_) {
            for (int k = i + 1; k < n; ++k)
                Fail(result, Trimmed(FileList[static_cast<std::size_t>(k)]),
                     "not processed: no configuration");
            return;
        }
    }
    Operator().Progress(ProgressActivity, n, n);
}

TBatchRunResult TBatchTool::Execute() {
    cancel_ = false;
    TBatchRunResult result;
    result.entries = static_cast<int>(FileList.size());
    SetLoop();
    result.started = ExecuteStart();
    if (!result.started) {
        for (const std::string& e : FileList)
            result.failed.push_back(Trimmed(e));
        WriteLog("Batch: stopped before its first cast, a configuration could not be loaded");
    } else {
        ExecuteLoop(result);
        ExecuteEnd();
    }
    StatusMessage(result.Summary());
    return result;
}

bool TBatchTool::Overlay() {
    if (FileList.size() < 2)
        return false;
    SaveBatch();
    std::memset(&list, 0, sizeof list);
    for (int code : {Bc_DisplayOpen, Bc_BeginLoop, Bc_ReadBin, Bc_DisplayDraw, Bc_EndLoop})
        list.Codes[list.count++] = static_cast<std::uint8_t>(code);
    const TBatchRunResult result = Execute();
    RestoreBatch();
    return result.Ok();
}

} // namespace marevo

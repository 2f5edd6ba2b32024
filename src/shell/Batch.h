#pragma once
// The batch processor: one fixed list of commands applied to a list of casts, one cast after the
// other (read each raw file again under another configuration and store it, draw several casts
// over one another...). The command list is a TBatchCmdArray, also the whole of a ".bal" file;
// the cast list names casts as their files do, cruise name + three digits ("CR001").
//
// A run goes through the shell (OpenDataFile, the text exports, OpenConfig) on the thread that
// owns it; progress and Cancel go through the operator seam, between entries.

#include "records/Environ.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

class TMainShell;

enum TBatchCode : std::uint8_t {
    Bc_DisplayClear = 0,
    Bc_DisplayOpen = 1,
    Bc_DisplayDraw = 2,
    Bc_DisplayClose = 3,
    Bc_ReadRaw = 4,
    Bc_ReadBin = 5,
    Bc_ReadText = 6,
    Bc_SaveAsBin = 7,
    Bc_SaveAsText = 8,
    Bc_SaveBottleAsText = 9,
    Bc_LoadCfg1 = 10,
    Bc_LoadCfg2 = 11,
    Bc_LoadCfg3 = 12,
    Bc_PrintPlot = 13,
    Bc_PrintBottle = 14,
    Bc_Pause = 15,
    Bc_BeginLoop = 16,
    Bc_EndLoop = 17,
};
constexpr int BatchCommandCount = 18;

// The names the dialogs show, in code order.
extern const std::array<std::string_view, BatchCommandCount> BatchCommandNames;
// Whether a code does something when run; the others are stored and shown only.
bool BatchCommandAvailable(int code);
// count within 0..51 and every meaningful code within 0..17.
bool ValidBatchList(const TBatchCmdArray& list);
// "BEGIN LOOP", "END LOOP", count 2.
TBatchCmdArray DefaultBatchList();

// The plot as the batch draws on it; nothing happens until a plot is attached.
class IBatchPlot {
public:
    virtual ~IBatchPlot() = default;
    // Prepare the plot for a new drawing.
    virtual void DisplayOpen() {}
    // The curves of the loaded cast over what the plot shows.
    virtual void DrawPlot() {}
};

// The files of one entry of the cast list.
struct TBatchEntry {
    std::string base;   // cruise + three digits, e.g. "CR001"
    std::string cruise; // "CR"
    int cast = 0;
    std::filesystem::path raw, bin;
};

struct TBatchRunResult {
    bool started = false;   // the commands before the loop ran (a configuration loaded)
    bool cancelled = false; // the operator stopped the run between entries
    int entries = 0;        // entries of the cast list
    std::vector<std::string> failed; // failed or not processed, in list order
    // "Batch: n casts, k failed".
    std::string Summary() const;
    bool Ok() const { return started && !cancelled && failed.empty(); }
};

class TBatchTool {
public:
    explicit TBatchTool(TMainShell& shell);

    // The plot the display commands use (none: they do nothing).
    void SetPlot(IBatchPlot* plot) { plot_ = plot; }
    // Called after each entry of a run, with its position (the windows repaint).
    std::function<void(int entry)> EntryDone;
    // Asks the run to stop before its next entry (any thread); a new run clears it.
    void Cancel() { cancel_ = true; }

    TBatchCmdArray list{};
    TBatchCmdArray Savedlist{};
    std::vector<std::string> FileList;
    std::int32_t BeginPos = 0, EndPos = 0;

    // The default list, three sample entries replaced by the environment's file list when it
    // holds any.
    void Create();
    // Both lists from the environment; a command list it holds that is no valid list becomes the
    // default (logged).
    void FromEnviron();
    void CmdToEnviron();
    void FilesToEnviron();

    // ---- Editing ----------------------------------------------------------------------------
    // Appends code; false (a beep) on a full list or a code that is none.
    bool Add(int code);
    // Inserts code at position 0..count (count appends); anything else, or a full list, is
    // refused with the "Batch function" box and the list is unchanged.
    bool insert(int position, int code);
    bool Delete(int position);
    // The 56 bytes of list, replacing file whole or not at all.
    bool SaveCmd(const std::filesystem::path& file);
    // A file of exactly 56 bytes holding a valid list; anything else leaves list as it was and
    // says why.
    bool LoadCmd(const std::filesystem::path& file);
    void SaveBatch() { Savedlist = list; }
    void RestoreBatch() { list = Savedlist; }
    // The code of a command name; -1 when none.
    static int IndexOfCmd(std::string_view name);
    int Count() const { return list.count; }
    int Code(int position) const { return list.Codes[position]; }
    // How many times code occurs in list.
    int Occurrences(int code) const;

    // ---- The run ----------------------------------------------------------------------------
    // SetLoop, ExecuteStart, ExecuteLoop, ExecuteEnd; the status says how it went.
    TBatchRunResult Execute();
    void SetLoop();
    // The display and configuration commands before the loop; false when a configuration could
    // not be loaded (nothing of the loop runs then).
    bool ExecuteStart();
    void ExecuteLoop(TBatchRunResult& result);
    void ExecuteEnd() {}
    // "Display Open", then each entry's binary file drawn over the others. Needs two entries.
    bool Overlay();

    // The entry at position i of FileList, when it names a cast of an existing cruise.
    std::optional<TBatchEntry> Entry(int i) const;

    // One command each for entry i; false when it failed.
    bool BDisplayOpen();
    bool BDrawPlot(int i);
    bool BReadRaw(int i);
    bool BReadBin(int i);
    bool BSaveAsBin(int i);
    bool BSaveAsText(int i);
    bool BSaveBottleAsText(int i);
    bool BLoadCfg(const std::string& name);
    bool BPause();

private:
    // Whether the cast in hand is entry i's (a save or an export acts on nothing else).
    bool LoadedIs(int i) const;
    bool Run(int code, int i);
    void Fail(TBatchRunResult& result, const std::string& entry, const std::string& why);

    TMainShell& shell_;
    IBatchPlot* plot_ = nullptr;
    bool configFailed_ = false;
    std::atomic<bool> cancel_{false};
};

} // namespace marevo

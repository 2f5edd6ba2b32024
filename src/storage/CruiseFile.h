#pragma once
// The cruise file: one file per cruise, <data root>/N/N.cru, the index of the cruise. It starts
// with the number of the last cast and a table of 1000 block offsets, then holds one block per
// cast (0 = the cruise header): the header (864 bytes), the probe block of the cast's parameter
// collection and the bottles block. Beside it, raw/, bin/ and txt/ hold each cast's data files.
//
// The file is read in place but never written in place: every change (a rewritten cast, an
// appended cast) builds the whole new file beside the old one and renames it over it, so a crash
// or a full disk leaves the old or the new file whole. A file whose table or blocks do not fit
// together is refused for reading the damaged part and never written.

#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

class TFileStream;
class TFileLock;

// ---- Locks ---------------------------------------------------------------------------------------
// Every operation that reads a cruise file and then rewrites it (appending or rewriting a cast,
// creating the cruise, an import, a rebuild, a reprocessing) holds the cruise's lock, an exclusive
// lock on the file beside it, so two programs never write one cruise at once. The lock is
// re-entrant within a process.

// Raises EMarevoError when the cruise folder or its bin/, raw/ or txt/ is a symbolic link: the
// cruise's files are written only into folders of the data root itself.
void CheckCruiseFolders(const std::filesystem::path& cruiseFolder);
// <cruise file> + ".lock", e.g. "/d/Leg1/Leg1.cru.lock".
std::filesystem::path CruiseLockName(const std::filesystem::path& cruiseFile);
// How long a second writer waits for the lock before it gives up.
constexpr double CruiseLockWaitSeconds = 5.0;
// "cruise Leg1 is in use by another Marevo"
std::string CruiseInUseText(const std::filesystem::path& cruiseFile);
// Takes the lock of cruiseFile; raises EMarevoError with CruiseInUseText (or why the lock file
// cannot be used) when it stays held.
void LockCruise(const std::filesystem::path& cruiseFile, TFileLock& lock);

// Cast numbers of a cruise: 0 (the cruise header) .. 999.
constexpr int MaxCastNumber = 999;
constexpr int CastPointerCount = 1000;
// Given to the reading operations, stands for the last cast.
constexpr int LastCastRequest = 1000;
// LastIndex and the offset table; the cruise header block starts here.
constexpr std::int64_t CruiseTableSize = 4 + 4 * CastPointerCount;

// The table at the start of a cruise file, with the file's size.
struct TCruiseTable {
    std::int32_t last = 0;
    std::array<std::int32_t, CastPointerCount> pointer{};
    std::int64_t size = 0;

    // Where the block of cast k ends: where the next one starts, or at the end of the file.
    std::int64_t End(int k) const { return k < last ? pointer[k + 1] : size; }
};

// Why output cannot receive an export (a table, a text export): it is, or leads to through
// links, a cruise file (or a file kept beside it), a file of a cruise's bin/ or raw/ folder, or a
// settings file of the data root. Empty when it can.
std::string ProtectedOutputError(const std::filesystem::path& output);

// Why name cannot be the name of a new cruise; empty when it can. Besides what every cruise name
// must satisfy (IsSafeSettingsName), a new cruise may not be called "NewCruise" nor contain any
// of the characters the new-cruise dialog refuses.
std::string NewCruiseNameError(std::string_view name);
// The characters a new cruise name may not contain, as the dialog lists them.
constexpr std::string_view ForbiddenCruiseChars = "/\\:*?\"<>|+-.";

// Where printed text goes. The GUI connects a printer; tests record the lines. Each operation
// raises EMarevoError when the printer fails.
class ITextPrinter {
public:
    virtual ~ITextPrinter() = default;
    // Starts a document printed in colour (0x00BBGGRR) with a font of fontSize points.
    virtual void BeginDoc(std::uint32_t color, int fontSize) = 0;
    virtual void PrintLine(std::string_view line) = 0;
    virtual void EndDoc() = 0;
};

// The current cast: the cruise header as last read, the cast's header, parameter collection and
// bottles, and the collection stored with the cruise header.
class TCastInfoC {
public:
    // With a collection of its own.
    TCastInfoC();
    // With the application's cast collection lent to it (it must outlive the holder).
    explicit TCastInfoC(TParamCollection& castCollection);
    TCastInfoC(const TCastInfoC&) = delete;
    // Assigning one holder to another is refused with a beep.
    TCastInfoC& operator=(const TCastInfoC&);

private:
    std::unique_ptr<TParamCollection> ownProbe_;

public:
    TCastInfo Cruise;
    TCastInfo Cast;
    TParamCollection& Probe;
    TBottlesCollection Bottles;
    TParamCollection Probe0;
};

// One row of a printed header block: the parameter's print name (ParaStr[4]) and its header
// text.
struct THeaderRow {
    std::string Name, Value;
};
// The rows of a header list for the holder's cast, one per entry found in its collection (or
// else in the probe collection); entries found in neither are left out.
std::vector<THeaderRow> PrintHeaderRows(const TCastInfoC& holder, const TParaList& list);

// Writes a whole file through the stream it is given. The default is WriteFileAtomically; tests
// put a failing stream in between to show what a crash or a full disk leaves behind.
using TCruiseFileWriter =
    std::function<void(const std::filesystem::path&, const std::function<void(TStream&)>&)>;

// An entry of a cast list: its text and its check box.
struct TCastListItem {
    std::string text;
    bool checked = true;
    bool enabled = true;
};

// Which dialog a cast list is for: only the open-data dialog disables invalid casts.
enum class TCastListDialog { OpenData, Batch };

// The header fields of a new cruise chosen by the operator: edits the defaulted header (names,
// number, operator, vessel, dates, positions, comment); false for cancel.
using TNewCruiseDialog = std::function<bool(TCastInfo&)>;

class TCruisefile {
public:
    TCruisefile();
    explicit TCruisefile(TParamCollection& castCollection);
    ~TCruisefile();
    TCruisefile(const TCruisefile&) = delete;
    TCruisefile& operator=(const TCruisefile&) = delete;

    std::int32_t CurrentIndex = 0; // 0 after a cruise is created; not used otherwise
    // As in the file while it is open; AddNextCast raises it for the cast being prepared.
    std::int32_t LastIndex = 0;
    std::array<std::int32_t, CastPointerCount> CastPointer{};
    TCastInfoC CastInfoc;
    bool IsOpen = false;

    // ---- File access ----------------------------------------------------------------------------
    // Reads the table, the cruise header (Cruise) and its collection (Probe0). A table that does
    // not fit the file is refused.
    bool OpenCruiseFile(const std::filesystem::path& name);
    void CloseCruiseFile();
    // Cast n (LastCastRequest: the last) into Cast, Probe and Bottles. Out of range: Cast gets
    // an empty default header, Probe is cleared, false without a message.
    bool ReadCastNb1(int n);
    // As ReadCastNb1, but out of range is told to the operator and gives true; a stored number
    // other than n is corrected (and logged); for a cast the collection is prepared.
    bool ReadCastNb(int n);
    // Replaces the block of cast Cast.ID (0: the cruise header with Probe0) by the current one.
    // The open file is replaced whole; a block of another size moves the blocks after it.
    bool WriteCastNb();
    // WriteCastNb on the current cruise file.
    bool UpdateLast();
    // Opens path, ReadCastNb1(n), closes.
    bool ReadCast(const std::filesystem::path& path, int n);
    // Appends the current cast as cast LastIndex + 1 of the file (the current cruise file, opened
    // and closed here when OpenFile; otherwise the open one).
    bool AppendCast(bool OpenFile);
    // Prepares Cast as the header of the cast after the current one.
    bool NewCastDefault();
    // Reads the last cast of the current cruise file and prepares the next one in memory.
    bool AddNextCast();
    // The current cast (Cast, Probe, Bottles) read back from the block AppendCast would store,
    // as a reader of the file gets it once appended; nothing is written.
    bool ReloadCurrentCast();
    // Creates the cruise chosen in dialog under dataRoot: its folder with bin/, raw/ and txt/,
    // and its file holding the cruise header. False for cancel, a refused name or a failure.
    bool NewCruise(const std::filesystem::path& dataRoot, const TNewCruiseDialog& dialog);
    // LastIndex of the current cruise file; -1 when it cannot be opened.
    std::int32_t GetLastIndex();
    // Data files of the current cast in the current cruise; empty without a current cruise.
    std::filesystem::path RawPath() const;
    std::filesystem::path BinPath() const;

    // ---- Lists for the dialogs ------------------------------------------------------------------
    // Every folder N of the data root holding N.cru, sorted.
    bool BuildCruiseList(std::vector<std::string>& list);
    // Header 0 and every cast of the open file, for the cruise editor.
    bool BuildCastList(std::vector<TCastListItem>& list);
    // The casts of the current cruise, for the open-data and batch dialogs.
    bool BuildCastList1(std::vector<TCastListItem>& list, TCastListDialog dialog);

    // ---- Tables as text (CruiseText.cpp) --------------------------------------------------------
    // Cast-header table of a whole cruise, as the header text settings say.
    bool TxtCICSave(const std::filesystem::path& cruiseFile, const std::filesystem::path& output);
    // Bottle table of cast castNb, as the bottle text settings say.
    bool TxtBottleSave(const std::filesystem::path& cruiseFile, int castNb,
                       const std::filesystem::path& output);
    // Bottle table of the current cast, printed; false when it has no bottles.
    bool TxtBottlePrint(const std::filesystem::path& cruiseFile, ITextPrinter& printer);

    // The open file; empty when none.
    const std::filesystem::path& FileName() const { return fileName_; }
    void SetFileWriter(TCruiseFileWriter writer) { writer_ = std::move(writer); }
    // While set (not empty), the operations on the current cruise (AddNextCast, AppendCast,
    // UpdateLast, the file NewCruise creates) use this file instead of the current cruise's:
    // a rebuild builds its new file beside the one it replaces.
    void SetCruisePathOverride(std::filesystem::path file) { override_ = std::move(file); }

private:
    // Raise on failure; the public operations report it.
    void Open(const std::filesystem::path& name, std::string_view op);
    void ReadBlock(int n, std::string_view op);
    std::vector<std::uint8_t> CastBlock(bool cruiseHeader);
    void Replace(const std::vector<std::uint8_t>& image);
    void ReadImage(std::vector<std::uint8_t>& image, std::string_view op);
    std::filesystem::path CurrentCruisePath() const;

    std::unique_ptr<TFileStream> theStream;
    std::filesystem::path fileName_;
    TCruiseTable table_; // as in the open file
    TCruiseFileWriter writer_;
    std::filesystem::path override_;
};

// ---- Recovery copies
// ----------------------------------------------------------------------------- While a real-time
// cast runs, the environment, the configuration and the cruise file each have a copy beside them
// with the extension ".bak"; one found at another time is what a cast that did not end normally
// left behind.

std::filesystem::path RecoveryCopyName(const std::filesystem::path& file);
// "A saved copy of cruise file: " + copy + " exists. Would you like to use it? "
std::string CruiseRecoveryQuestion(const std::filesystem::path& copy);
// At the start of a cast: when the copy exists, question decides (OK puts it in place of file,
// Cancel keeps both); otherwise file is copied to it. False on a failure.
bool KeepRecoveryCopy(const std::filesystem::path& file, std::string_view question);
// At the normal end of a cast.
bool DeleteRecoveryCopy(const std::filesystem::path& file);
// Before a cruise file is opened: when its copy exists, the operator decides whether it replaces
// the file (only a copy that reads as a whole cruise file does), and the copy is deleted either
// way. False on a failure (the copy is then kept).
bool OfferCruiseRecoveryCopy(const std::filesystem::path& cruiseFile);

} // namespace marevo

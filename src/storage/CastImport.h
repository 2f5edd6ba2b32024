#pragma once
// Casts that enter a cruise without a live probe. A recording is a triplet of files sharing one
// base name: ".raw" (the data frames as received), ".xfr" (the transcript of the probe's replies
// to the set-up commands, with the start date and the positions) and ".ext" (the external-sensor
// and GPS records). The transcript is read back through the protocol object's own answer checks,
// which rebuilds the cast's parameter collection as the identification built it; the raw file
// then replays through the whole pipeline.
//
// Three operations use it: the import of small-logger recordings as new casts of a cruise, the
// rebuild of a damaged cruise file from the transcripts kept in its raw folder, and the opening
// of a stored cast's raw file. Every failure of one recording is told to the operator (caption
// "Warning", naming the file and the step) and leaves the cruise file as it was before that
// recording: nothing half-imported stays behind, and the next recording is tried.

#include "foundation/DateTime.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

class TCruisefile;
class TParamCollection;
class TCastInfo;

// The three files of a recording.
struct TTripletNames {
    std::filesystem::path raw, xfr, ext;
};

// text with every occurrence of from replaced by to (exact letter case).
std::string ReplaceEvery(std::string_view text, std::string_view from, std::string_view to);
// The transcript and external-data names of a raw file: every ".raw" of the file name (its
// folder is kept as it is) becomes ".xfr" / ".ext". None when the name holds no ".raw" (lower
// case): such a file has no distinct companions.
std::optional<TTripletNames> TripletOfRaw(const std::filesystem::path& raw);
// The same from a transcript name (".xfr" becomes ".raw" / ".ext").
std::optional<TTripletNames> TripletOfTranscript(const std::filesystem::path& xfr);

// The copy of a cruise file kept by a rebuild: the full name + "dd-MM-yyyy HH-mm-ss" + ".bak",
// e.g. "/d/C/C.cru09-12-2026 04-35-46.bak".
std::filesystem::path RebuildCopyName(const std::filesystem::path& cruiseFile, TDateTime at);

// The cast header's extraction fields from the configuration's acquisition settings: the mode,
// the binned rows of cast (less one) and the step in dbar, seconds or data sets by mode.
void SetCastExtract(TCastInfo& header, const TParamCollection& cast);

// Warning texts.
constexpr std::string_view RebuildRefusedText =
    "Cannot rebuild the cruise file: xfr files are missing or less than raw files!";
constexpr std::string_view RebuildRestoreQuestion =
    "Not all available files have been imported to cruise file! Do you want to restore the old "
    "one?";
constexpr std::string_view ImportAllText = "All files successfully imported!";
constexpr std::string_view ImportSomeText = "Not all files have been imported!";
// Activity of the progress line of an import and of a rebuild.
constexpr std::string_view ImportFilesActivity = "Importing MicroMarevo/Vandrel files";
constexpr std::string_view RebuildActivity = "Rebuilding cruise file";

enum class TRebuildOutcome {
    Rebuilt,  // every transcript became a cast
    Refused,  // no transcript, or fewer transcripts than raw files: nothing was touched
    Partial,  // some transcripts failed; the rebuilt file was kept
    Restored, // some transcripts failed; the previous file was put back
    Failed,   // the rebuild itself failed; the previous file was put back when there was one
};

struct TRebuildResult {
    TRebuildOutcome outcome = TRebuildOutcome::Failed;
    int casts = 0;    // casts in the rebuilt file
    int failed = 0;   // transcripts that did not become a cast
    std::filesystem::path copy; // the kept copy of the previous file; empty when there was none
};

// An import writes down what it is about to make (the cast number, its files in the cruise and
// the logger's files they copy) in <cruise file> + ".import" before it makes anything, and
// removes the note once the cast is appended and the logger's files deleted.
std::filesystem::path ImportJournalName(const std::filesystem::path& cruiseFile);
// Where a rebuild builds the new cruise file before it takes the cruise file's name:
// <cruise file> + ".rebuild".
std::filesystem::path RebuildWorkName(const std::filesystem::path& cruiseFile);
// What an import or write into the cruise that did not end left behind, cleaned up; called under
// the cruise's lock. Temporaries of ended processes go; with an import note, a cast that was not
// appended loses the files made for it, and for a cast that was appended the logger's files its
// copies hold are deleted. Everything removed is logged. Returns that appended cast and the raw
// file it was imported from, when there was one.
struct TCompletedImport {
    int cast = 0;
    std::filesystem::path source;
};
std::optional<TCompletedImport> CleanUpInterruptedImport(const std::filesystem::path& cruiseFile);
// Whether file lies inside a cruise folder of the data root (a folder N holding N.cru); folder
// receives that cruise folder. Links are resolved first.
bool InsideCruiseFolder(const std::filesystem::path& file, const std::filesystem::path& dataRoot,
                        std::filesystem::path& folder);

// The import and rebuild operations on a cruise-file object. The file's current-cast holder
// receives each cast; its collection must be the application's cast collection (the pipeline
// and the data source work on that one). The cruise is the configuration's current one.
class TCastImport {
public:
    explicit TCastImport(TCruisefile& file) : file_(file) {}

    // Prepares the next cast of the current cruise from the transcript and appends it to the
    // cruise file. name: what the messages after the transcript name. raw, when given:
    // the cast's raw file, which must hold frames of the transcript's format before anything is
    // appended. False after the warning; nothing is appended then.
    bool BuildCastFromTranscript(const std::filesystem::path& transcript, std::string_view name,
                                 const std::filesystem::path& raw = {});

    // The logger recordings (raw files, in the order given) as new casts of the current cruise,
    // under the cruise's lock: each cast's raw, ext and transcript files are copied into the
    // cruise's raw folder under names that must be free, processed and stored as binary file;
    // then the cast is appended (the one commit point) and the logger's files are deleted.
    // Recordings inside a cruise folder of the data root are refused. True when every file was
    // imported.
    bool ImportMicroMarevoFiles(const std::vector<std::filesystem::path>& rawFiles);

    // The files of a cast interrupted before it was stored (its raw, ext and transcript under the
    // name of the current cruise's next cast) stored as that cast, as a rebuild stores each
    // transcript: replayed, its binary file written, then appended. Under the cruise's lock;
    // the files stay where they are. False after the warning; nothing is appended then.
    bool RecoverInterruptedCast(const TTripletNames& files);
    // Rebuilds cruiseFile (it may be missing or damaged) from the transcripts of its raw folder,
    // sorted by name, under the cruise's lock. The new file is built as RebuildWorkName and takes
    // the cruise file's name at the end; the previous file is kept as RebuildCopyName; when a
    // transcript failed the operator is asked whether to keep the previous file instead.
    TRebuildResult RebuildCruiseFile(const std::filesystem::path& cruiseFile);

    // The cast castNb of the current cruise read from the cruise file and its raw file replayed
    // through the pipeline under the current settings (the collection is then loaded as raw).
    bool OpenRawCast(const std::filesystem::path& raw, int castNb);

    // The loaded cast's raw file processed again under the current settings ("Import Current
    // Raw File"): the collection is then loaded as binary, ready to be saved. False (told to the
    // operator) without a loaded cast, with a missing raw file or when it cannot be replayed.
    bool ReprocessLoadedCast();

    // Cast numbers appended by the last import or rebuild, in order.
    const std::vector<int>& Appended() const { return appended_; }

private:
    // The next cast of the current cruise prepared in memory from the transcript (and checked
    // against its raw file when given); nothing is written. False after the warning.
    bool PrepareCast(const std::filesystem::path& transcript, std::string_view name,
                     const std::filesystem::path& raw);
    bool ReadTranscript(const std::filesystem::path& transcript, std::string_view name);
    bool CompleteCast(std::string_view name);
    // The raw file holds at least one frame of the cast's format.
    bool RawHoldsFrames(const std::filesystem::path& raw, std::string_view name);
    // The prepared cast replayed from raw and stored as binFile, before it is appended.
    bool ProcessPrepared(const std::filesystem::path& raw, std::string_view name,
                         const std::filesystem::path& binFile);
    // The loaded cast's raw file replayed through the pipeline.
    bool ReplayLoaded(const std::filesystem::path& raw);

    TCruisefile& file_;
    std::vector<int> appended_;
};

} // namespace marevo

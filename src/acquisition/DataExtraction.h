#pragma once
// TDataExtractionThread: the automatic text export of a running cast. In the time-out mode it
// appends the rows binned since its last export at every period; when the cast ends it writes the
// export once more, whole (appended to the file only in the end-of-acquisition mode with append
// set).
//
// The acquisition worker extends the cast's series while the export reads them: both hold the
// cast's row lock (TCastRowLock) for their work, the worker per frame and the export per export,
// so an export never sees half a row and the worker waits at most one export.
//
// The body is a step function (Wake) of "signalled or timed out", so tests drive it on the fake
// clock without a thread; Start runs it on a thread of its own.

#include "acquisition/CastRowLock.h"
#include "platform/WakeEvent.h"
#include "records/Config.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <thread>

namespace marevo {

class TParamCollection;

// What the export takes from the configuration when it is initialised.
struct TExtractionSetup {
    TAutomaticTextDataExportMode mode = TEMDisabled;
    std::uint32_t periodMs = 10'000; // the time-out; 10 s when the configuration says 0
    bool append = false;             // AutomaticTextDataExportAppend
    static TExtractionSetup From(const TExtractionTextFoldersCfg& cfg);
};

// The export file of the cast whose raw file is castRaw: the configured file name when the
// export is named so, else the configuration's text folder + the cast's name with ".txt". Empty
// when there is none (disabled, or no name).
std::filesystem::path AutomaticExportFileName(const TConfig& config,
                                              const std::filesystem::path& dataRoot,
                                              const std::filesystem::path& castRaw);

class TDataExtractionThread {
public:
    TDataExtractionThread(TParamCollection& cast, TCastRowLock& rowLock);
    // Ends the thread (with its final export) when it still runs.
    ~TDataExtractionThread();
    TDataExtractionThread(const TDataExtractionThread&) = delete;
    TDataExtractionThread& operator=(const TDataExtractionThread&) = delete;

    void Initialize(const TExtractionSetup& setup);
    // Exports into fileName from the first row on, on a thread of its own.
    void Start(const std::filesystem::path& fileName);
    // Asks for the final export and waits for the thread's end.
    void ExitThread();
    bool Running() const { return thread_.joinable(); }

    // ---- The body, for tests on the fake clock ------------------------------------------------
    // Prepares an export into fileName without starting the thread.
    void Prepare(const std::filesystem::path& fileName);
    void RequestTerminate();
    // One wake of the body (signalled: the event, else the period ran out); false once the final
    // export is done and the body ends.
    bool Wake(bool signalled);
    std::int32_t StartIdx() const { return startidx_; }
    // Exports written so far (periodic and final).
    int Exports() const { return exports_; }
    const std::filesystem::path& ExtractionFileName() const { return fileName_; }

private:
    void Execute();
    void Export(bool final);

    TParamCollection& cast_;
    TCastRowLock& rowLock_;
    TExtractionSetup setup_;
    std::filesystem::path fileName_;
    std::int32_t startidx_ = 0;
    std::atomic<int> exports_{0};
    std::atomic<bool> eventTerminate_{false};
    std::atomic<bool> eventStartDataExtraction_{false};
    TWakeEvent event_;
    std::thread thread_;
};

} // namespace marevo

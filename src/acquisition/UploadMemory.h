#pragma once
// The memory upload: the casts the probe recorded in its memory are listed, and the selected
// ones are transferred, data set by data set, into new casts of the current cruise.
//
// TUploadMemoryThread paces the upload. It moves the data sets itself, one per pass, in every
// data format, and identifies each cast (seconds of talk with the probe; the host keeps its
// windows off the collection while the upload environment is on), and posts the progress to the
// windows; what changes settings, flags, files of the cruise or windows (the new cast's files,
// the cast header and its append, the binary file, the environments, the dialog) is a step it
// hands to the main thread and waits for. While no upload runs it sleeps on its wake-up event; the dialog's requests (start,
// abort, skip, exit) set a flag and signal the event.
//
// Pass is a plain function of the clock seam, so tests drive a whole upload in fake time
// without a thread.

#include "acquisition/ProbeCommands.h"
#include "platform/MainThread.h"
#include "platform/WakeEvent.h"
#include "probelink/QvlUtil.h"
#include "records/Config.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace marevo {

class TCruisefile;
class TParamCollection;
class TRawStream;
class TRTCast;
class TCastInfo;

// ---- The cast list ----------------------------------------------------------------------------

struct TUploadList {
    bool filled = false;            // UpdateListBox's result
    std::vector<std::string> items; // the CS answers from their fourth character on
    std::int32_t CastNb = 0;        // position + 1 of the current item (the first) after filling
};

// The probe's memory status and the description of each recorded cast, read through the port
// open gives, with the status texts and the boxes of the upload dialog.
TUploadList UpdateListBox(TQvlUtil& qvl, const TProbePortOpener& open);

// The selection rule: CastCount selected items, "Upload" enabled exactly when above 0.
struct TUploadSelection {
    std::int32_t CastCount = 0;
    bool uploadEnabled = false;
};
TUploadSelection CountSelection(const std::vector<bool>& selected);

// The cast number of a list item: its text up to the first blank, trimmed; nothing when that is
// not an integer.
std::optional<std::int32_t> ItemCastNumber(const std::string& item);
// The text before the first blank, trimmed (what the messages name).
std::string ItemCastText(const std::string& item);

// The cast header of an uploaded cast from the probe's description of it.
void FillUploadedCastHeader(TCastInfo& cast, const TMemoryCast& memory);
// Of that description, what a replay of the raw file would measure otherwise: the scan rate
// (the interval of a linear cast is a step, no frame rate) and the acquisition mode.
void KeepUploadedScanRate(TCastInfo& cast, const TMemoryCast& memory);

// "Upload cast: 1 of 3" CR LF "Cast #2, Dataset #40 of #240".
std::string UploadProgressText(std::int32_t castsBegun, std::int32_t castCount,
                               std::int32_t castNumber, std::int32_t frameIndex,
                               std::int32_t castSize);

// ---- The windows ------------------------------------------------------------------------------

// How the transfer of a selected cast ended.
enum class TUploadResult { Completed, Failed, Skipped };

// What the upload needs of the main window and the dialog. Called on the main thread only.
class IUploadHost {
public:
    virtual ~IUploadHost() = default;
    // The upload environment: acquisition environment (not real time), record button, "Upload"
    // and the list disabled, no window reading the collection (the worker rebuilds it).
    virtual void SetUploadEnv() {}
    // Back to normal: progress 0, the progress panel as text, normal environment, record button
    // enabled.
    virtual void SetNormalEnv() {}
    // The dialog after an upload: list enabled with nothing selected, "Upload", "Skip" and
    // "Abort" disabled.
    virtual void ResetDialog() {}
    virtual void UnselectItem(int /*index*/) {}
    virtual void EnableSkipAbort() {}
    // The dialog's ResultLabel.
    virtual void ShowResult(const std::string& /*text*/) {}
    // The main window's progress (0..100) in the status bar's progress panel drawn as a bar.
    virtual void ShowProgress(int /*percent*/) {}
    // The cast of list item index is done with: appended (and raw is its raw file), failed or
    // skipped.
    virtual void CastResult(int /*index*/, TUploadResult /*result*/,
                            const std::filesystem::path& /*raw*/) {}
    // The uploaded cast read back from its raw file and shown, its binary file written and its
    // block of the cruise file updated; memory: the probe's description of the cast.
    virtual bool SaveBin(const std::filesystem::path& raw, const TMemoryCast& memory) = 0;
};

// ---- The worker -------------------------------------------------------------------------------

class TUploadMemoryThread {
public:
    // cast: the collection the casts are identified into (the cruise's cast collection).
    TUploadMemoryThread(TCruisefile& cruise, IUploadHost& host);
    // Ends a running upload and the thread (serving the main thread's hand-offs meanwhile).
    ~TUploadMemoryThread();
    TUploadMemoryThread(const TUploadMemoryThread&) = delete;
    TUploadMemoryThread& operator=(const TUploadMemoryThread&) = delete;

    // ---- Seams (defaults: the environment's ports) ----------------------------------------------
    // The probe port for the identification of each cast.
    TProbePortOpener OpenProbePort;
    // The live data source on the new cast's raw file, following the cast collection.
    std::function<std::unique_ptr<TRawStream>(const std::filesystem::path& raw,
                                              TParamCollection& cast, bool& isCommOpen)>
        OpenSource;

    // ---- The dialog's side (main thread) --------------------------------------------------------
    // The list and its selection for the next start; taken when the start request is handled.
    void SetList(std::vector<std::string> items, std::vector<bool> selected);
    void Start();
    void Abort();
    void Skip();
    void ExitThread();

    // ---- The body --------------------------------------------------------------------------------
    // Handles the requests, then, while an upload runs and nothing else is asked, one step (one
    // data set, or a cast's start or end).
    void Pass();
    // Passes until the exit request, sleeping on the event while no upload runs; then ends a
    // running upload.
    void Execute();
    void Run(); // Execute on a thread of its own
    // Waits for the thread's end on the main thread, running the steps it hands over meanwhile.
    void WaitFor(IMainThread& mainThread);
    bool Finished() const { return finished_; }

    // ---- Steps -----------------------------------------------------------------------------------
    // The upload goes on.
    bool ManageUpload();
    // 0 cast complete, 1 in progress, 2 failed.
    int GetCurrentMemoryCast(std::int32_t castNumber);
    void UpdateDialog();
    void SaveBin();

    // ---- State -----------------------------------------------------------------------------------
    bool Uploading() const { return doUploadFlag_; }
    std::int32_t CastIndex() const { return castIndex_; }
    std::int32_t CastsBegun() const { return castsBegun_; }
    std::int32_t CastCount() const { return castCount_; }
    // The casts appended to the cruise since the thread was made.
    std::int32_t CastsAppended() const { return appended_; }
    // The probe's description of the cast in transfer (or the last one).
    const TMemoryCast& MemoryCast() const { return link_->MemCast; }
    // The raw file of the cast in transfer (or the last one).
    const std::filesystem::path& RawFile() const { return raw_; }

private:
    bool AnyRequest() const { return abort_ || skip_ || exit_; }
    void Hand(const std::function<void()>& step);
    bool TransferWait(std::uint32_t ms);
    void BeginUpload();
    void EndUpload();
    // The probe stopped and the source freed; a cast that was not completed keeps its files
    // under ".partial" names.
    void StopAndFree(bool partial);
    // Main-thread steps around the identification of a cast (which runs on the worker): the
    // flags and delays before it; after it, the cast's source and the probe's memory status.
    void PrepareCast();
    bool BeginCast(bool identified);
    bool CompleteCast();
    void FailCast();

    TCruisefile& cruise_;
    IUploadHost& host_;
    TParamCollection& cast_;
    std::unique_ptr<TRTCast> rt_;
    // The probe link of the transfers: its own protocol object over a collection of its own, so
    // that the worker's probe commands touch no flag the windows read.
    std::unique_ptr<TParamCollection> linkCol_;
    std::unique_ptr<TQvlUtil> link_;
    std::unique_ptr<TRawStream> source_;
    std::filesystem::path raw_;

    std::mutex listLock_; // the next list, set by the dialog
    std::vector<std::string> nextItems_, items_;
    std::vector<bool> nextSelected_, selected_;

    std::int32_t castIndex_ = 0;
    std::int32_t frameIndex_ = 0;
    std::int32_t castSize_ = 0;
    std::int32_t castsBegun_ = 0;
    std::int32_t castCount_ = 0;
    std::int32_t castNumber_ = 0;
    std::int32_t appended_ = 0;
    bool firstTime_ = true;
    std::atomic<bool> doUploadFlag_{false};
    std::optional<TAcquiCfg> savedAcquiCfg_;

    std::atomic<bool> start_{false}, abort_{false}, skip_{false}, exit_{false};
    std::atomic<bool> finished_{false};
    TWakeEvent wake_;
    std::thread thread_;
};

} // namespace marevo

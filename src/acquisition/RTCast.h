#pragma once
// TRTCast: the start and the end of a real-time cast, without windows. Starting identifies the
// probe into the cast collection as the next cast of the current cruise, opens the live data
// source on the cast's .raw file, takes the safety copies of the settings and cruise files and
// starts the acquisition worker. Stopping answers the close question (continue, save and exit,
// abort), ends the worker first, saves the last bytes, stops the probe, writes the cast's binary
// file and appends the cast to the cruise file.
//
// The main window's modes and windows are the host's (ICastHost); questions and messages go
// through the operator seam. The start and the stop may run on a worker (the probe's
// identification takes seconds, its stop up to one): their steps on the host's modes, dialogs
// and windows go through the main-thread seam.

#include "acquisition/AcquiThread.h"
#include "acquisition/BottleFiring.h"
#include "acquisition/DataExtraction.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace marevo {

class TCruisefile;
class TFileCOMM;
class TParamCollection;
class TQvlUtil;
class TRawStream;

class ICastHost {
public:
    virtual ~ICastHost() = default;
    // The main window's acquisition and normal environments.
    virtual void SetAcquiEnv() {}
    virtual void SetNormalEnv() {}
    // The windows the worker refreshes (the object only: any thread may ask for it; its calls
    // come through the main-thread seam).
    virtual IAcquiView& View() = 0;
    // The first-bottle dialog, shown when a rosette type is configured: the first bottle, or
    // nothing for "No Rosette connected" (the cast then runs without rosette).
    virtual std::optional<std::int32_t> FirstBottleDialog(const TRosetteInfo& /*rosette*/) {
        return std::nullopt;
    }
};

// The close dialog's buttons.
enum class TCloseAnswer { Continue, SaveAndExit, AbortCast };

// The settings files that get safety copies while a cast runs.
struct TSafetyFiles {
    std::filesystem::path environ;
    std::filesystem::path config;
    std::filesystem::path cruise;
};

class TRTCast {
public:
    // cruise: the current cruise, whose cast collection (CastInfoc.Probe) takes the cast.
    TRTCast(TCruisefile& cruise, ICastHost& host);
    ~TRTCast();
    TRTCast(const TRTCast&) = delete;
    TRTCast& operator=(const TRTCast&) = delete;

    // ---- Seams (defaults: the environment's ports) ----------------------------------------------
    // The probe port for identification and the probe commands (null: not openable).
    std::function<std::unique_ptr<TFileCOMM>()> OpenProbePort;
    // The live data source on the cast's raw file, following the cast collection.
    std::function<std::unique_ptr<TRawStream>(const std::filesystem::path& raw,
                                              TParamCollection& cast, bool& isCommOpen)>
        OpenSource;
    // The alarm tone (null: none).
    IAlarmSound* Sound = nullptr;

    // ---- Start and stop ---------------------------------------------------------------------
    // The whole start; true when the worker runs. Any failure leaves the collection off line,
    // no source, the normal environment.
    bool Start(const TSafetyFiles& files);
    // Identification of the next cast (castNumber -1) or of an uploaded one.
    bool InitRTMCA(std::int32_t castNumber);
    bool Running() const { return worker_ != nullptr; }
    // The close question answered: Continue keeps the cast; Save and Exit stores it (true when
    // stored); Abort Cast asks once more and ends it unstored when confirmed.
    bool Stop(TCloseAnswer answer);
    // Ends the worker, saves the last bytes, stops the probe, closes the source; with store, the
    // cast's binary file is written. True when all went well.
    bool EndRTAcqui(bool store);

    TAcquiThread* Worker() { return worker_.get(); }
    // The bottle firing of the running cast; null without rosette.
    TBottleFiring* Firing() { return firing_.get(); }
    // The first bottle chosen at the start (0 without rosette).
    std::int32_t FirstBottle() const { return firstBottle_; }
    TRawStream* Source() { return source_.get(); }
    TCruisefile& Cruise() { return cruise_; }
    TQvlUtil& Protocol() { return *protocol_; }
    const std::filesystem::path& RawFile() const { return raw_; }
    // The automatic text export runs (from the start until the cast has ended).
    bool Exporting() const { return extraction_ && extraction_->Running(); }
    TDataExtractionThread* Extraction() { return extraction_.get(); }
    // Received bytes the ring overwrote before they were saved, at the end of the cast.
    std::int64_t LostByteNb() const { return lostBytes_; }

private:
    // A step on the host's modes and windows, on the main thread whichever thread starts.
    static void OnMainThread(const std::function<void()>& step);
    void ResetAfterFailure();
    bool TakeSafetyCopies();
    void DeleteSafetyCopies();
    // Files a cast interrupted before it was stored left under the next cast's name (raw, ext
    // and transcript) are offered to the operator as that cast of the cruise; declined or not
    // recoverable, the identification renames them aside.
    void OfferInterruptedCast();
    // The automatic text export of the cast, when the configuration asks for one.
    void StartExtraction();
    // Its final export, and its end.
    void StopExtraction();
    // The rosette at the start: the first bottle asked, the rosette homed to it. False when it
    // did not reach home.
    bool SetRosetteHome();
    void StartFiring();

    TCruisefile& cruise_;
    ICastHost& host_;
    TParamCollection& cast_;
    std::unique_ptr<TQvlUtil> protocol_;
    std::unique_ptr<TRawStream> source_;
    std::unique_ptr<IAcquiCast> live_;
    // Taken by the worker per frame and by the text export per export.
    TCastRowLock rowLock_;
    std::unique_ptr<IAcquiView> lockedView_;
    std::unique_ptr<TDataExtractionThread> extraction_;
    std::unique_ptr<TAcquiThread> worker_;
    std::unique_ptr<IFiringCast> firingCast_;
    std::unique_ptr<TBottleFiring> firing_;
    std::int32_t firstBottle_ = 0;
    TSafetyFiles files_;
    std::filesystem::path raw_;
    std::int64_t lostBytes_ = 0;
};

} // namespace marevo

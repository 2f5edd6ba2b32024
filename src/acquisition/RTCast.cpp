#include "acquisition/RTCast.h"

#include "acquisition/CastFilesAside.h"
#include "acquisition/FiringCast.h"
#include "acquisition/LockedView.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "processing/ParamCollection.h"
#include "records/Environ.h"
#include "records/Settings.h"
#include "storage/CastImport.h"
#include "storage/CruiseFile.h"

#include <optional>

namespace marevo {

namespace fs = std::filesystem;

TRTCast::TRTCast(TCruisefile& cruise, ICastHost& host)
    : cruise_(cruise), host_(host), cast_(cruise.CastInfoc.Probe),
      protocol_(std::make_unique<TQvlUtil>(&cruise.CastInfoc.Probe)) {
    OpenSource = [](const fs::path& raw, TParamCollection& cast, bool& isCommOpen) {
        return TRawStream::CreateEx(true, isCommOpen, raw, &cast);
    };
}

TRTCast::~TRTCast() {
    // A cast still running is ended unstored; its bytes are on disk and its files stay.
    if (worker_)
        EndRTAcqui(false);
    StopExtraction();
}

bool TRTCast::InitRTMCA(std::int32_t castNumber) {
    bool result = false;
    const bool guarded = Guard({"Error in MainForm.InitRTMCA", "Start Acquisition"}, [&] {
        // A real-time cast and an uploaded memory cast (castNumber >= 0) alike become the next
        // cast of the cruise.
        bool ok = cruise_.AddNextCast();
        if (!ok)
            StatusMessage("Acquisition aborted - Problem to add a new CAST");
        else
            raw_ = cruise_.RawPath();
        if (ok)
            // Files an interrupted cast of this number left are kept under other names.
            MoveCastFilesAside(raw_);
        if (ok) {
            cast_.Clear();
            cast_.DefaultProbeInfo();
            const fs::path raw = raw_;
            protocol_->CurrentCastRawPath = [raw] { return raw; };
            ok = protocol_->GetProbeInfoA(castNumber);
            if (!ok)
                protocol_->ShowError();
        }
        if (ok && !cast_.AddNMEAAndExternalParameter()) {
            StatusMessage("Acquisition aborted - Problem with NMEA parameters");
            return;
        }
        if (ok && !cast_.AddAcquiPara()) {
            StatusMessage("Acquisition aborted - Problem to add parameters");
            ok = false;
        }
        if (ok && !cast_.BuildProbeInfo()) {
            Operator().Beep();
            ok = false;
        }
        ok = ok && cast_.InitRoundBuffer() && cast_.InitLinearBuffer();
        if (ok) {
            TCastInfoC& holder = cruise_.CastInfoc;
            cast_.Loaded.CastHeader = &holder.Cast;
            cast_.Loaded.CruiseHeader = &holder.Cruise;
            cast_.Loaded.Bottles = &holder.Bottles;
            SetCastExtract(holder.Cast, cast_);
            cast_.SetSortInfo();
            result = true;
            return;
        }
        switch (protocol_->GetError()) {
        case cer_Proto:
            StatusMessage("No Probe detected");
            Operator().Message("No probe detected : probe initialisation was aborted\r\n"
                               "Check probe connections and com. port setup",
                               "Warning", TMessageKind::Warning);
            break;
        case cer_Open:
            StatusMessage("COM port open error");
            Operator().Message("COM Port open error: probe initialisation was aborted", "Warning",
                               TMessageKind::Warning);
            break;
        default:
            StatusMessage("Probe initialization failed");
            Operator().Message("Probe initialisation error", "Warning", TMessageKind::Warning);
        }
    });
    return guarded && result;
}

bool TRTCast::TakeSafetyCopies() {
    return Guard({"Error in MainForm.SafetyCopies"}, [&] {
        for (const fs::path& file : {files_.environ, files_.config, files_.cruise}) {
            if (file.empty() || !fs::exists(file))
                continue;
            // A copy left by an earlier run was offered when its file was read (start-up for the
            // settings, before the cruise file was read for this cast); what is in use now is
            // what a failure must bring back.
            const fs::path copy = RecoveryCopyName(file);
            fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
        }
    });
}

void TRTCast::DeleteSafetyCopies() {
    for (const fs::path& file : {files_.environ, files_.config, files_.cruise})
        if (!file.empty())
            DeleteRecoveryCopy(file);
}

void TRTCast::OfferInterruptedCast() {
    Guard({"Error in MainForm.OfferInterruptedCast"}, [&] {
        if (!cruise_.AddNextCast())
            return;
        const std::optional<TTripletNames> files = TripletOfRaw(cruise_.RawPath());
        if (!files)
            return;
        for (const fs::path& f : {files->raw, files->ext, files->xfr})
            if (!fs::is_regular_file(f))
                return;
        const std::string name = files->raw.stem().string();
        WriteLog("The files of the interrupted cast " + name + " were found");
        if (!Operator().Confirm("The cast " + name +
                                    " was interrupted before it was stored. Would you like to "
                                    "recover it as a cast of the cruise?",
                                "Interrupted cast"))
            return;
        TCastImport import(cruise_);
        if (import.RecoverInterruptedCast(*files)) {
            WriteLog("The interrupted cast " + name + " was recovered as cast " +
                     std::to_string(import.Appended().front()));
            StatusMessage("Interrupted cast recovered");
        } else {
            WriteLog("The interrupted cast " + name + " was not recovered; its files go aside");
        }
    });
}

void TRTCast::StartExtraction() {
    const fs::path name = AutomaticExportFileName(Config(), Environ().DataRootPath(), raw_);
    if (name.empty())
        return;
    if (!extraction_)
        extraction_ = std::make_unique<TDataExtractionThread>(cast_, rowLock_);
    extraction_->Initialize(TExtractionSetup::From(Config().ExtractionFoldersCfg));
    extraction_->Start(name);
}

void TRTCast::StopExtraction() {
    if (extraction_)
        extraction_->ExitThread();
}

void TRTCast::ResetAfterFailure() {
    worker_.reset();
    firing_.reset();
    firingCast_.reset();
    StopExtraction();
    live_.reset();
    cast_.DetachFrameSource();
    source_.reset();
    protocol_->CloseXfrFile();
    cast_.Acqui.RealTimeOn = false;
    cast_.Acqui.ProbeOnLine = false;
    cast_.Loaded.TypeLoaded = FileTypeNone;
    cast_.Loaded.FileLoaded.clear();
    OnMainThread([&] { host_.SetNormalEnv(); });
}

void TRTCast::OnMainThread(const std::function<void()>& step) { MainThread().Run(step); }

bool TRTCast::Start(const TSafetyFiles& files) {
    if (worker_)
        return false;
    files_ = files;
    OnMainThread([&] { host_.SetAcquiEnv(); });
    // The copy of the cruise file is offered before the file is read for the cast.
    if (!files_.cruise.empty())
        OfferCruiseRecoveryCopy(files_.cruise);
    OfferInterruptedCast();
    for (int i = 0; i < AlarmCount; ++i)
        cast_.BtlAlarm.SavedAlarmChecked[i] = GenCfg().AlarmChecked[i] != 0;
    if (OpenProbePort)
        protocol_->OpenProbePort = OpenProbePort;
    protocol_->SetDelay(Environ().CommDelay);
    if (!protocol_->WakeUp() || !InitRTMCA(-1)) {
        ResetAfterFailure();
        return false;
    }
    if (!SetRosetteHome()) {
        ResetAfterFailure();
        StatusMessage("Probe initialization failed");
        return false;
    }
    const bool started =
        Guard({"Error in MainForm.SpeedButtonRecordClick", "Starting or ending acquisition"}, [&] {
            cast_.Acqui.ProbeOnLine = cast_.Acqui.RealTimeOn = true;
            cast_.Loaded.TypeLoaded = FileTypeRaw;
            cast_.Loaded.FileLoaded = raw_;
            StatusMessage("Probe initialization completed");
            bool isOpen = false;
            source_ = OpenSource(raw_, cast_, isOpen);
            if (!source_ || !isOpen || !source_->CommStream())
                Raise("the probe port of " + raw_.filename().string() + " cannot be opened");
            StatusMessage("Raw stream initialized");
            if (!TakeSafetyCopies())
                Raise("the safety copies cannot be taken");
            StatusMessage("Probe On Line start acquisition thread");
            auto live = std::make_unique<TLiveCast>(cast_, *source_, protocol_.get());
            live->SetRowLock(&rowLock_);
            live_ = std::move(live);
            lockedView_ = std::make_unique<TLockedView>(host_.View(), rowLock_);
            worker_ = std::make_unique<TAcquiThread>(
                *live_, *lockedView_, TAcquiSetup::From(Config(), Environ(), raw_, firstBottle_),
                Sound);
            StartFiring();
            worker_->Start();
            StatusMessage("Probe On Line");
            OnMainThread([&] { host_.SetAcquiEnv(); });
            StatusMessage("Setup of acquisition environment completed");
            StartExtraction();
        });
    if (!started) {
        ResetAfterFailure();
        DeleteSafetyCopies();
    }
    return started;
}

bool TRTCast::Stop(TCloseAnswer answer) {
    if (!worker_)
        return false;
    switch (answer) {
    case TCloseAnswer::Continue: return false;
    case TCloseAnswer::SaveAndExit: {
        protocol_->CompleteXfrFile();
        bool stored = EndRTAcqui(true);
        stored = stored && cruise_.AppendCast(true);
        // The final export comes with the cast's end, stored or not.
        StopExtraction();
        if (stored) {
            StatusMessage("Append cast done");
            DeleteSafetyCopies();
        } else {
            WriteLog("The cast " + raw_.filename().string() +
                     " was not stored; its files and the safety copies stay");
        }
        return stored;
    }
    case TCloseAnswer::AbortCast:
        if (!Operator().Confirm("Do you really want to stop current cast",
                                "and delete acquired data"))
            return false;
        EndRTAcqui(false);
        StopExtraction();
        // The operator gave the cast up: its files go aside now, so the next start does not
        // offer them as an interrupted cast.
        Guard({"Error in MainForm.AbortCast"}, [&] { MoveCastFilesAside(raw_); });
        DeleteSafetyCopies();
        return false;
    }
    return false;
}

bool TRTCast::EndRTAcqui(bool store) {
    if (!worker_)
        return false;
    // The worker ends first: the source, the rings and the port are its until it has.
    worker_->Terminate();
    worker_->WaitFor(MainThread());
    worker_.reset();
    firing_.reset();
    firingCast_.reset();
    // The text export may still read the series until it has ended.
    std::optional<TServingGuard> rows(std::in_place, rowLock_);
    cast_.Acqui.RealTimeOn = false;
    bool ok = Guard({"Error in MainForm.EndRTAcqui", "End Acquisition"}, [&] {
        // The cast header window's edits go into the header before the cast is written.
        OnMainThread([&] { host_.View().UpdateCastInfo(); });
        source_->SaveToRawFiles(true);
        lostBytes_ = source_->LostByteNb();
        // A probe whose device is gone cannot hear the stop: no round of time-outs for it.
        if (TFileCOMM* port = source_->CommStream(); port && port->IsOpen() && !port->HungUp())
            protocol_->Stop(*port);
        else if (port)
            WriteLog("The probe was not told to stop: " + port->DevicePath().string() +
                     " is gone");
        StatusMessage("Cast End");
        cast_.Acqui.ProbeOnLine = false;
        cast_.Loaded.TypeLoaded = FileTypeRaw;
        if (store && cast_.BinSave(cruise_.BinPath()) != ParaOk)
            Raise("the binary file of " + raw_.filename().string() + " cannot be written");
    });
    rows.reset();
    live_.reset();
    cast_.DetachFrameSource();
    source_.reset();
    protocol_->CloseXfrFile();
    OnMainThread([&] { host_.SetNormalEnv(); });
    return ok;
}

} // namespace marevo

#pragma once
// TRawStream: the data source of the acquisition pipeline. Each GetNewFrame tries to put one new
// probe frame, followed by the GPS and external-sensor values appended to it, into RawBuffer.
// Live, the frames come from the probe port and the auxiliary values from the GPS and external
// ports, and everything received is recorded into the cast's .raw and .ext files; on replay the
// .raw file and its .ext companion are read back frame by frame.

#include "parameters/ParaRecords.h"
#include "foundation/Stream.h"
#include "platform/Clock.h"
#include "probelink/FileComm.h"
#include "probelink/InputBuffer.h"
#include "probelink/Nmea.h"
#include "processing/FrameSource.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

class TParamCollection;
class TQvlUtil;

// Silence after which a link counts as lost [ms].
constexpr std::uint64_t LinkTimeoutMs = 5000;
// While the probe's device is gone (a USB adapter pulled out), it is opened again by its name
// this often [ms].
constexpr std::uint64_t ProbeReopenMs = 2000;

class TRawStream final : public IFrameSource {
public:
    // Replay source, at its end until OpenFile. frames: the collection whose frame layout
    // (FrameInfo, ProbeInfo.Protocol) and acquisition counters the source follows; null means
    // ProbeParamCol.
    static std::unique_ptr<TRawStream> Create(TParamCollection* frames = nullptr);
    // Live (onLine) source: opens the probe, GPS and external ports from the environment's port
    // texts through its port map and creates the .raw file and its .ext companion. Without
    // onLine only the auxiliary ring and the .ext file are prepared. isCommOpen tells whether the
    // port opened last did open.
    static std::unique_ptr<TRawStream> CreateEx(bool onLine, bool& isCommOpen,
                                                const std::filesystem::path& fileName,
                                                TParamCollection* frames = nullptr);
    // Live source over ports that are already open (tests, simulators); a port may be null when
    // its input is not used. Same steps as CreateEx from there on.
    struct TPorts {
        std::unique_ptr<TFileCOMM> probe;
        std::unique_ptr<TFileCOMM> nmea;
        std::unique_ptr<TFileCOMM> ext;
    };
    static std::unique_ptr<TRawStream> CreateOnPorts(TPorts ports, bool& isCommOpen,
                                                     const std::filesystem::path& fileName,
                                                     TParamCollection* frames = nullptr);
    // Closes the ports and the .raw and .ext files.
    ~TRawStream() override;
    TRawStream(const TRawStream&) = delete;
    TRawStream& operator=(const TRawStream&) = delete;

    // Replay: opens fileName for reading and, when the frame carries appended values, its .ext
    // companion; true when the .ext file was opened too.
    bool OpenFile(const std::filesystem::path& fileName) override;

    // One attempt to produce a frame; true when RawBuffer holds a new accepted frame.
    bool GetNewFrame() override;
    // At least one frame's worth of bytes is available; keeps the probe link supervision.
    bool EnoughByte();

    // Writes what was received since the last save: probe bytes to the .raw file, auxiliary
    // records to the .ext file. The last save of a cast passes lastSave so that the newest frame
    // is written too. False when there was nothing new for the .raw file.
    // Each save is forced to the disk (fdatasync), so a power cut loses only what came after it.
    bool SaveToRawFiles(bool lastSave = false);
    // Probe bytes received and not yet saved; those an ordinary save would write now; received
    // bytes the ring overwrote before they could be saved.
    std::int64_t UnsavedBytes() const { return inputBuffer_ ? inputBuffer_->UnsavedBytes() : 0; }
    std::int64_t SavableBytes() const { return inputBuffer_ ? inputBuffer_->SavableBytes() : 0; }
    std::int64_t LostByteNb() const { return inputBuffer_ ? inputBuffer_->LostByteNb() : 0; }
    // Probe stream positions: after the last byte received; the first byte of the last frame.
    std::int64_t ReceivedNb() const { return inputBuffer_ ? inputBuffer_->ReceivedNb() : 0; }
    std::int64_t LastFrameStart() const {
        return inputBuffer_ ? inputBuffer_->DeliveredStart() : -1;
    }

    // ---- State --------------------------------------------------------------------------------
    bool IsOnLine() const { return isOnLine_; }
    const std::filesystem::path& StreamName() const { return streamName_; }
    bool EndOfStream() const override { return endOfStream_; }
    bool NoData() const override { return noData_; }
    // The pipeline met the cast's stop condition (immersion end or the end of a timed cast); the
    // acquisition worker reads it and ends the cast.
    void RequestStop() override { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }
    bool CTDLinkOff() const { return ctdLinkOff_; }
    // The probe's device is gone and being reopened.
    bool ProbeDeviceLost() const { return probeLost_; }
    bool NMEALinkOff() const { return nmeaLinkOff_; }
    bool PARLinkOff() const { return parLinkOff_; }
    bool ExtCommOk() const { return extCommOk_; }
    bool NMEACommOk() const { return nmeaCommOk_; }
    bool NoStream() const { return context_.NoStream; }
    std::int32_t RawIdxRestart() const { return context_.RawIdxRestart; }

    // The current frame followed by its appended 4-byte values.
    const TRawBuffer& RawBuffer() const { return rawBuffer_; }
    int FrameSize() const override { return inputBuffer_->FrameSize(); }
    std::span<const std::uint8_t> Frame() const override { return rawBuffer_; }
    bool IsLastFrameOK() const { return inputBuffer_->LastFrameOK(); }
    bool IsCurFrameOK() const { return inputBuffer_->CurFrameOK(); }
    std::int32_t CRCError() const override { return inputBuffer_->CRCErrorNb(); }
    std::int32_t TIMEError() const override { return inputBuffer_->TIMEErrorNb(); }
    std::int32_t FrameError() const override { return inputBuffer_->FrameErrorNb(); }
    // Bytes of one auxiliary record (0 when there is no auxiliary ring).
    int ExtFrameSize() const { return extInputBuffer_ ? extInputBuffer_->FrameSize() : 0; }

    // ---- Memory upload: one data set per call ----------------------------------------------------
    // One transfer step of the probe's memory cast castNb into the .raw file, in the data format
    // qvl last agreed with the probe (GetDFProtocol): DF5, DF6 or DF7, any other fails. With
    // first, the cast's description (CS) gives castSize and the transmission starts at set 0
    // (CD); a cast the probe describes with no set, or as another cast, fails. Then one set is
    // read, checked (check field, counter one more than the last, any counter after a
    // (re)start) and written, and frameIndex counts it. A set that does not come within 1 s, is
    // cut by a port error or fails its check stops the probe and the transmission restarts at
    // that set after 1 s; the third failure in one step fails the step.
    bool UploadProbeMemory(TQvlUtil& qvl, std::int32_t castNb, bool first,
                           std::int32_t& frameIndex, std::int32_t& castSize);
    bool UploadProbeMemoryCastDF5(TQvlUtil& qvl, std::int32_t castNb, bool first,
                                  std::int32_t& frameIndex, std::int32_t& castSize);
    bool UploadProbeMemoryCastDF6(TQvlUtil& qvl, std::int32_t castNb, bool first,
                                  std::int32_t& frameIndex, std::int32_t& castSize);
    bool UploadProbeMemoryCastDF7(TQvlUtil& qvl, std::int32_t castNb, bool first,
                                  std::int32_t& frameIndex, std::int32_t& castSize);
    // The transfer's waits [ms of the clock seam]; a false answer ends the wait at once (the
    // operator asked something of the upload) and the step returns false with
    // UploadInterrupted set. Default: the clock's sleep.
    std::function<bool(std::uint32_t ms)> UploadWait;
    bool UploadInterrupted() const { return uploadInterrupted_; }

    // The probe port, for the command protocol (null when not live or not open).
    TFileCOMM* CommStream() { return probePort_.get(); }
    // A probe device gone away is opened again every ProbeReopenMs; the cast goes on with its
    // bytes when it is back. Logged once when lost and once when back.
    void KeepProbeDevice();
    TFileCOMM* NMEACommStream() { return nmeaPort_.get(); }
    TFileCOMM* ExtCommStream() { return extPort_.get(); }

private:
    explicit TRawStream(TParamCollection& frames);

    void Begin(bool onLine, const std::filesystem::path& fileName);
    void OpenLive(TPorts ports, bool& isCommOpen);
    void PrepareExtOnly();
    void CreateExtRing(int values);
    void ReleaseAfterFailure();
    void RestartTimers();
    void RefreshContext();

    // Auxiliary inputs, filling the record of the auxiliary ring.
    bool ReadCommExt();
    bool ReadCommNMEA();
    bool ReadCommWinch();
    bool ReadExternalFile();
    bool ReadNmeaSentence();

    // Memory upload (RawStreamUpload.cpp).
    bool UploadProbeMemoryCast(int format, std::string_view name, TQvlUtil& qvl,
                               std::int32_t castNb, bool first, std::int32_t& frameIndex,
                               std::int32_t& castSize);
    bool GetOneSet(int format, std::string_view name, std::vector<std::uint8_t>& set);
    bool UploadPause(std::uint32_t ms);

    TParamCollection& frames_;
    bool isOnLine_ = false;
    std::filesystem::path streamName_;
    std::unique_ptr<TFileStream> rawFile_;
    std::unique_ptr<TFileStream> extFile_;
    std::unique_ptr<TFileCOMM> probePort_;
    std::unique_ptr<TFileCOMM> nmeaPort_;
    std::unique_ptr<TFileCOMM> extPort_;
    bool endOfStream_ = true;
    std::atomic<bool> stopRequested_{false}; // set on the worker, may be read elsewhere
    TRingContext context_;
    TRingContext extContext_;
    std::unique_ptr<TCyclicInputBuffer> inputBuffer_;
    std::unique_ptr<TCyclicInputBuffer> extInputBuffer_;
    TRawBuffer rawBuffer_{};
    TRawBuffer extRawBuffer_{}; // delivery buffer of the auxiliary ring, read nowhere
    bool extCommOk_ = false;
    bool nmeaCommOk_ = false;
    TDateTime startTimeout_ = 0; // last time a whole frame's worth of bytes was waiting
    TDateTime delayTimeOut_ = 0; // raw-data save period, as a date-time span
    bool noData_ = true;
    bool nmeaLinkOff_ = false;
    bool parLinkOff_ = false;
    bool ctdLinkOff_ = false;
    bool probeLost_ = false;
    std::uint64_t probeReopenTimer_ = 0;

    // Auxiliary readers' state: the GPS receive buffer, the link timers [tick ms] and the PAR
    // request cycle.
    TNmeaReader nmea_;
    std::uint64_t nmeaTimer_ = 0;
    std::uint64_t parTimer_ = 0;
    std::uint64_t ctdTimer_ = 0;
    std::uint64_t parCycleStart_ = 0;
    bool par2dSent_ = false;

    // Memory upload: the next set may carry any counter (the transmission (re)started), the
    // counter of the last set written, an operator request ended a wait.
    bool anyCounter_ = true;
    std::uint16_t lastCounter_ = 0;
    bool uploadInterrupted_ = false;
};

// Replays a raw file into cast through a replay source that follows cast's frame layout
// (TParamCollection::ReadRawFile).
bool ReplayRawFile(TParamCollection& cast, const std::filesystem::path& fileName);

} // namespace marevo

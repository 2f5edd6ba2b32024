#pragma once
// What the acquisition worker drives: the pipeline on its live data source, the rings it saves,
// the links it watches. TLiveCast is the real one (a collection, its TRawStream and the probe
// protocol); tests drive the worker's timing through a scripted one.

#include "acquisition/AcquiTypes.h"
#include "acquisition/CastRowLock.h"
#include "platform/Clock.h"
#include "records/CollectionTypes.h"

#include <cstdint>
#include <string>

namespace marevo {

class TParamCollection;
class TQvlUtil;
class TRawStream;

// The source's link flags as the worker reads them each pass.
struct TSourceLinks {
    bool ctdOff = false;
    bool nmeaOff = false;
    bool parOff = false;
    bool noData = false;
};

// Counters of the end-of-acquisition report.
struct TAcquiCounts {
    std::int32_t frames = 0;     // frames processed
    std::int32_t invalid = 0;    // the cast header's frame errors
    std::int32_t validation = 0; // frames refused by validation
    std::int32_t crc = 0;
    std::int32_t time = 0;
};

class IAcquiCast {
public:
    virtual ~IAcquiCast() = default;
    // Tells the probe to start sending (its answer is not awaited).
    virtual void SendStartData() = 0;
    // The cast header's start time, and the transcript's "[SDT]" line.
    virtual void MarkStart(TDateTime at) = 0;
    // One frame through the pipeline; true when a new frame was processed.
    virtual bool DoAcqui() = 0;
    // Lets the collection evaluate its alarms; on[i]: alarm i is on.
    virtual void EvaluateAlarms(bool (&on)[AlarmCount]) = 0;
    virtual TRealTimeStatus RTStatus() const = 0;
    virtual TFlaggedValue Pressure() const = 0;
    virtual std::int32_t Frames() const = 0;
    // Probe bytes received and not saved yet; of them, those a save writes now.
    virtual std::int64_t UnsavedBytes() const = 0;
    virtual std::int64_t SavableBytes() const = 0;
    // Writes the unsaved bytes to the .raw file (and the auxiliary records to the .ext file),
    // forced to the disk.
    virtual void SaveToRaw() = 0;
    virtual TSourceLinks Links() const = 0;
    // The frame carries GPS values / external-sensor values.
    virtual bool UsesNmea() const = 0;
    virtual bool UsesExternal() const = 0;
    virtual bool EndOfStream() const = 0;
    // The pipeline met the cast's stop condition (the automatic stop).
    virtual bool StopRequested() const = 0;
    // The bottle panel's text.
    virtual std::string BottlePanel() const = 0;
    // Closes the acquisition (the end-of-cast passes) and takes it off real time.
    virtual void DoAcquiEnd() = 0;
    virtual TAcquiCounts Counts() const = 0;
};

// The live cast: col fed by source; protocol (may be null) sends the start command and writes
// the transcript.
class TLiveCast final : public IAcquiCast {
public:
    TLiveCast(TParamCollection& col, TRawStream& source, TQvlUtil* protocol);
    // The lock the automatic text export holds while it reads the series (null: none); the
    // pipeline's frame, the start time and the end of the acquisition are taken under it.
    void SetRowLock(TCastRowLock* rowLock) { rowLock_ = rowLock; }

    void SendStartData() override;
    void MarkStart(TDateTime at) override;
    bool DoAcqui() override;
    void EvaluateAlarms(bool (&on)[AlarmCount]) override;
    TRealTimeStatus RTStatus() const override;
    TFlaggedValue Pressure() const override;
    std::int32_t Frames() const override;
    std::int64_t UnsavedBytes() const override;
    std::int64_t SavableBytes() const override;
    void SaveToRaw() override;
    TSourceLinks Links() const override;
    bool UsesNmea() const override;
    bool UsesExternal() const override;
    bool EndOfStream() const override;
    bool StopRequested() const override;
    std::string BottlePanel() const override;
    void DoAcquiEnd() override;
    TAcquiCounts Counts() const override;

private:
    TParamCollection& col_;
    TRawStream& source_;
    TQvlUtil* protocol_;
    TCastRowLock* rowLock_ = nullptr;
};

// The bottle panel's text: "Ready" when the status is ready, else bottle ":" status name.
std::string BottlePanelText(int bottle, int status);

} // namespace marevo

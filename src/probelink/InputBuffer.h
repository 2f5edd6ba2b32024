#pragma once
// The byte ring through which the probe's frame stream passes on its way to the pipeline. It reads
// one frame's worth of bytes at a time from a port or a raw file, keeps them in a 20000-byte ring,
// checks the newest frame (check field, counter, time), re-synchronises on the stream when a frame
// fails, hands each accepted frame to its owner and saves the received bytes to the cast's raw
// file. A second ring, with the size of one auxiliary record, carries the GPS and external values
// to the .ext file.

#include "parameters/ParaRecords.h"
#include "foundation/Stream.h"
#include "probelink/ByteSource.h"
#include "probelink/FrameFormat.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace marevo {

// What the ring reads and writes of its owner, the data source: the probe's protocol, the state
// of the acquisition and the validation settings, and the owner's time-gap recovery state.
struct TRingContext {
    int Protocol = 6;             // ProbeInfo.Protocol: which frame format
    bool RealTimeOn = false;      // real-time acquisition is running
    std::int32_t RawIndex = 0;    // frames already taken by the pipeline
    float minTimeInterval = 0.005f; // [s]
    float maxTimeInterval = 0.75f;  // [s]
    float datasetCount = 10.0f;     // frames after which a time-gap recovery ends
    // Received bytes wait in the ring to be saved (a live cast); a replay reads them from the
    // file they were saved to, so nothing waits and nothing can be lost.
    bool SaveBytes = true;
    bool NoStream = false;          // time-gap recovery in progress
    std::int32_t RawIdxRestart = 0; // RawIndex at which recovery last restarted
    // GPS and external values appended to each delivered frame, taken from the auxiliary ring.
    bool UseExtPara = false;
    int AppendedValues = 0; // ExtCount - RawCount
    const class TCyclicInputBuffer* ExtRing = nullptr;
};

constexpr int RingSize = 20000;
using TExtBuffer = std::array<float, 21>; // one auxiliary record seen as values (index 0..20)

class TCyclicInputBuffer {
public:
    // frameSize < 256 and 2 * frameSize < 19999; a frame size outside that is a programming
    // error, reported as "Assert TInputBuffer.Create: FrameSize=" + size (the ring then accepts
    // nothing). PRB is the owner's buffer that receives each accepted frame.
    TCyclicInputBuffer(TRawBuffer& PRB, int frameSize, TRingContext& context);

    // Reads and checks the next frame; true when a frame was accepted and copied to PRB.
    bool ReadNewRawSet(IByteSource& source);
    // Writes the bytes received and not yet saved, up to the start of the newest frame, which the
    // next save writes; the last save of a cast passes includeNewest so that no frame is left out.
    bool SaveToRawFile(TStream& file, bool includeNewest = false);

    // Auxiliary ring: value i (0..20) of the record under construction or last read, and the
    // storing of the record (it goes to the ring and becomes saveable).
    float ExtValue(int i) const;
    void SetExtValue(int i, float value);
    void StoreRecord();
    const TRawBuffer& Record() const { return tmp_; }

    int FrameSize() const { return frameSize_; }
    bool LastFrameOK() const { return lastFrameOK_; }
    bool CurFrameOK() const { return curFrameOK_; }
    int ByteToRead() const { return byteToRead_; }
    std::int32_t FrameErrorNb() const { return frameErrorNb_; }
    std::int32_t CRCErrorNb() const { return crcErrorNb_; }
    std::int32_t TIMEErrorNb() const { return timeErrorNb_; }
    // Received bytes that were overwritten before they could be saved (the saves fell behind).
    std::int64_t LostByteNb() const { return lostByteNb_; }
    // Received bytes not yet written to the raw file, and of them those an ordinary save writes
    // now (all but the newest frame).
    std::int64_t UnsavedBytes() const { return unsaved_; }
    std::int64_t SavableBytes() const;
    std::uint16_t LastSynchroIndex() const { return lastSynchroIndex_; }
    // Stream positions: just after the last byte received, and the first byte of the frame
    // delivered last (negative before the first).
    std::int64_t ReceivedNb() const { return received_; }
    std::int64_t DeliveredStart() const { return deliveredEnd_ - frameSize_; }

    // Memory upload: checksum and (unless alternate) counter of a DF5 frame, no time check.
    bool CheckFrameFromProbeMemoryDF5(bool alternate);

private:
    int LoadOneSet(IByteSource& source, int count);
    void CyclicWrite(int ptr, int count);
    void CyclicRead(int ptr, int count, std::uint8_t* into);
    bool CheckFrame(bool alternate);
    bool CheckFrame5(bool alternate);
    bool CheckFrameCrc(bool alternate, bool df7);
    bool FindValidFrame();
    bool ComparePrec();
    bool ComparePrecDF7();
    bool TimeStep(std::uint32_t cur, std::uint32_t last);
    void Deliver();
    void Account(int received);

    // Where a frame lies in the stream and what its head says (sequence tracking).
    struct TFrameMark {
        std::int64_t start = 0; // stream position of its first byte
        std::uint16_t counter = 0;
        std::uint32_t time = 0; // low 32 bits of the time counter
        bool coarse = false;    // 0.01 s per time count
    };
    std::int64_t FrameStart() const;
    bool InSequence5(const TFrameMark& frame);
    bool Follows(const TFrameMark& from, const TFrameMark& frame, bool learnt,
                 std::uint16_t counterMask) const;
    const TFrameMark* AfterRestart(const TFrameMark& frame, std::uint16_t counterMask) const;
    std::uint64_t Milliseconds(const TFrameMark& from, const TFrameMark& frame) const;

    TRawBuffer& prb_;
    TRingContext& context_;
    int frameSize_;
    bool valid_ = false;
    bool lastFrameOK_ = false;
    bool curFrameOK_ = false;
    int byteToRead_;
    TRawBuffer tmp_{}; // the bytes last read, then the frame under test
    TRawBuffer last_{}; // the last delivered frame, reference of the time check
    std::uint16_t lastSynchroIndex_ = 0;
    int ptrFrame_ = 0;
    int ptrFirst_ = 0;
    int ptrLast_ = 0;
    std::int64_t unsaved_ = 0; // received and not yet written to the raw file
    std::array<std::uint8_t, RingSize> ring_;
    std::int32_t frameErrorNb_ = 0;
    std::int32_t crcErrorNb_ = 0;
    std::int32_t timeErrorNb_ = 0;
    std::int64_t lostByteNb_ = 0;
    std::int64_t received_ = 0;     // bytes read into the ring since it was made
    std::int64_t deliveredEnd_ = 0; // stream position just after the last delivered frame
    // Frames with a good check field that were refused for their counter or time, found by the
    // last read (candidates for a new start of the sequence) and by the read in progress.
    std::vector<TFrameMark> restarts_;
    std::vector<TFrameMark> found_;
    // DF5: the last delivered frame and the time per frame seen last (ms, 0 when not known yet).
    std::optional<TFrameMark> anchor_;
    std::uint64_t frameMs_ = 0;
};

} // namespace marevo

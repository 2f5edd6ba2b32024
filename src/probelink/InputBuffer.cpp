#include "probelink/InputBuffer.h"

#include "foundation/Guard.h"
#include "foundation/EventLog.h"
#include "foundation/Runtime.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace marevo {

namespace {

int Wrap(long long position) {
    const long long p = position % RingSize;
    return static_cast<int>(p < 0 ? p + RingSize : p);
}

std::uint32_t LE32(const std::uint8_t* b) {
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

// Seconds of the settings as time counts of 0.001 s.
std::uint32_t Counts(float seconds) {
    const double counts = std::round(static_cast<double>(seconds) * 1000.0);
    return counts <= 0 ? 0 : counts >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(counts);
}

} // namespace

TCyclicInputBuffer::TCyclicInputBuffer(TRawBuffer& PRB, int frameSize, TRingContext& context)
    : prb_(PRB), context_(context), frameSize_(frameSize), byteToRead_(frameSize) {
    ring_.fill(0x88);
    valid_ = Guard({"Error in InputBuffer.Create"}, [&] {
        if (frameSize <= 0 || frameSize >= 256 || 2 * frameSize >= RingSize - 1)
            Raise("Assert TInputBuffer.Create: FrameSize=" + std::to_string(frameSize));
    });
}

// ---- Ring access ------------------------------------------------------------------------------

void TCyclicInputBuffer::CyclicWrite(int ptr, int count) {
    const int first = std::min(count, RingSize - ptr);
    std::memcpy(ring_.data() + ptr, tmp_.data(), static_cast<std::size_t>(first));
    std::memcpy(ring_.data(), tmp_.data() + first, static_cast<std::size_t>(count - first));
}

void TCyclicInputBuffer::CyclicRead(int ptr, int count, std::uint8_t* into) {
    const int first = std::min(count, RingSize - ptr);
    std::memcpy(into, ring_.data() + ptr, static_cast<std::size_t>(first));
    std::memcpy(into + first, ring_.data(), static_cast<std::size_t>(count - first));
}

// Received bytes wait in the ring until saved. When the saves fall so far behind that new bytes
// overwrite unsaved ones, the loss is counted and logged instead of passing unnoticed, and the
// next save starts at the oldest byte still held.
void TCyclicInputBuffer::Account(int received) {
    unsaved_ += received;
    if (unsaved_ <= RingSize)
        return;
    const std::int64_t lost = unsaved_ - RingSize;
    lostByteNb_ += lost;
    unsaved_ = RingSize;
    ptrFirst_ = ptrLast_;
    WriteLog("Error in InputBuffer.CyclicWrite " + std::to_string(lost) +
             " received bytes overwritten before they were saved");
}

// ---- Reading ----------------------------------------------------------------------------------

int TCyclicInputBuffer::LoadOneSet(IByteSource& source, int count) {
    if (count <= 0)
        return 0;
    tmp_.fill(0);
    int n = 0;
    if (!source.Live())
        n = source.Read(tmp_.data(), count);
    else if (source.Waiting() >= count)
        n = source.Read(tmp_.data(), count);
    if (n > 0) {
        received_ += n;
        CyclicWrite(ptrLast_, n);
        ptrLast_ = Wrap(ptrLast_ + n);
        ptrFrame_ = Wrap(ptrLast_ - frameSize_);
        if (context_.SaveBytes)
            Account(n);
    }
    byteToRead_ = frameSize_;
    return n;
}

bool TCyclicInputBuffer::ReadNewRawSet(IByteSource& source) {
    if (!valid_)
        return false;
    return GuardOr({"Error in InputBuffer.LoadOneSet"}, false, [&] {
        const int wanted = byteToRead_;
        if (LoadOneSet(source, wanted) != wanted)
            return false;
        found_.clear();
        if (CheckFrame(true)) {
            Deliver();
            lastFrameOK_ = curFrameOK_;
            return true;
        }
        if (!lastFrameOK_ && FindValidFrame()) {
            Deliver();
            if (byteToRead_ <= 0)
                byteToRead_ = frameSize_;
            return true;
        }
        // Frames of good check field that did not follow may start the sequence anew.
        restarts_.swap(found_);
        // One failed check after good frames reads a whole frame again before searching.
        lastFrameOK_ = curFrameOK_ = false;
        byteToRead_ = frameSize_;
        ++frameErrorNb_;
        return false;
    });
}

// Stream position of the first byte of the frame under test (negative before the stream began).
std::int64_t TCyclicInputBuffer::FrameStart() const {
    return received_ - Wrap(ptrLast_ - ptrFrame_);
}

void TCyclicInputBuffer::Deliver() {
    deliveredEnd_ = FrameStart() + frameSize_;
    restarts_.clear();
    CyclicRead(ptrFrame_, frameSize_, tmp_.data());
    // The time of the next frame is checked against this one, however it was found: a reference
    // kept from before a re-synchronisation could hold every later frame back.
    last_ = tmp_;
    std::memcpy(prb_.data(), tmp_.data(), static_cast<std::size_t>(frameSize_));
    if (context_.UseExtPara && context_.ExtRing) {
        // The GPS and external values go after the frame, from float 1 of the auxiliary record.
        const int room = (RawBufferSize - frameSize_) / 4;
        const int m = std::clamp(context_.AppendedValues, 0, std::min(room, 20));
        std::memcpy(prb_.data() + frameSize_, context_.ExtRing->Record().data() + 4,
                    static_cast<std::size_t>(4 * m));
    }
}

// ---- Frame checks -----------------------------------------------------------------------------

bool TCyclicInputBuffer::CheckFrame(bool alternate) {
    // Bytes of a frame already delivered, or from before the stream began, are never a frame:
    // a search after a re-synchronisation must not find the frame it found last time again.
    if (FrameStart() < deliveredEnd_) {
        curFrameOK_ = false;
        return false;
    }
    switch (FrameFormatOfProtocol(context_.Protocol)) {
    case TFrameFormat::DF5: return CheckFrame5(alternate);
    case TFrameFormat::DF6: return CheckFrameCrc(alternate, false);
    case TFrameFormat::DF7: return CheckFrameCrc(alternate, true);
    case TFrameFormat::None: break;
    }
    curFrameOK_ = true; // a probe without a known format: every frame is taken
    return true;
}

// The 8-bit checksum lets one damaged frame in 256 through, and a search tries up to FrameSize
// positions, so a DF5 frame must also fit the sequence: see InSequence5.
bool TCyclicInputBuffer::CheckFrame5(bool) {
    curFrameOK_ = false;
    std::array<std::uint8_t, 256> frame;
    CyclicRead(ptrFrame_, frameSize_, frame.data());
    const std::span<const std::uint8_t> bytes(frame.data(), static_cast<std::size_t>(frameSize_));
    if (!FrameCheckOK(TFrameFormat::DF5, bytes))
        return false;
    const TFrameMark mark{FrameStart(), static_cast<std::uint16_t>(frame[0] & 0x7F),
                          LE32(frame.data() + 1), (frame[0] & 0x80) != 0};
    std::memcpy(tmp_.data(), frame.data(), static_cast<std::size_t>(frameSize_));
    // The time check against the previous frame read in step, then the sequence.
    if ((lastFrameOK_ && !ComparePrec()) || !InSequence5(mark)) {
        found_.push_back(mark);
        return false;
    }
    lastSynchroIndex_ = mark.counter;
    curFrameOK_ = true;
    return true;
}

// Time from one frame to a later one [ms].
std::uint64_t TCyclicInputBuffer::Milliseconds(const TFrameMark& from,
                                               const TFrameMark& frame) const {
    return std::uint64_t{frame.time - from.time} * (frame.coarse ? 10u : 1u);
}

// Whether frame can come after from, as the probe counts its frames and their time: the same
// time resolution, a counter a few steps on (no more frames missing than the bytes between them
// can have held, half a frame of lost bytes allowed), and a time that grows by at least the
// minimum interval per step and, when learnt and the time per frame is known, by at most the
// larger of the maximum interval and four times the last time per frame, per step.
bool TCyclicInputBuffer::Follows(const TFrameMark& from, const TFrameMark& frame, bool learnt,
                                 std::uint16_t counterMask) const {
    if (frame.coarse != from.coarse || frame.time <= from.time)
        return false;
    const std::int64_t between = frame.start - (from.start + frameSize_);
    if (between < 0)
        return false;
    const std::int64_t steps = (frame.counter - from.counter) & counterMask;
    const std::int64_t missing =
        std::min<std::int64_t>(counterMask, (between + frameSize_ / 2) / frameSize_);
    if (steps == 0 || steps - 1 > missing)
        return false;
    const std::uint64_t n = static_cast<std::uint64_t>(steps);
    const std::uint64_t ms = Milliseconds(from, frame);
    if (ms < n * Counts(context_.minTimeInterval))
        return false;
    if (!learnt || (frameMs_ == 0 && n == 1))
        return true;
    const std::uint64_t perFrame =
        std::max<std::uint64_t>(Counts(context_.maxTimeInterval), 4 * frameMs_);
    return ms <= n * perFrame;
}

// The frame refused last read that this frame comes right after, in counter and time: the
// stream starts anew there (a restarted probe, a time gap, a reference that was itself wrong).
const TCyclicInputBuffer::TFrameMark*
TCyclicInputBuffer::AfterRestart(const TFrameMark& frame, std::uint16_t counterMask) const {
    for (const TFrameMark& restart : restarts_)
        if (restart.start + frameSize_ == frame.start &&
            Follows(restart, frame, false, counterMask))
            return &restart;
    return nullptr;
}

// A DF5 frame is taken when it follows the last delivered frame, or comes right after a frame
// of good checksum that did not (a new start of the sequence: a probe restarted, a time gap, a
// loss longer than the counter tells), or opens the stream. So a damaged frame has to pass the
// checksum and fit counter and time, and a good stream is lost for at most one frame whatever
// came before it.
bool TCyclicInputBuffer::InSequence5(const TFrameMark& frame) {
    const TFrameMark* from = anchor_ && Follows(*anchor_, frame, true, 0x7F) ? &*anchor_ : nullptr;
    if (!from)
        from = AfterRestart(frame, 0x7F);
    if (from) {
        const auto steps = static_cast<std::uint64_t>((frame.counter - from->counter) & 0x7F);
        frameMs_ = Milliseconds(*from, frame) / steps;
    } else if (anchor_ || frame.start != 0) {
        return false;
    }
    anchor_ = frame;
    return true;
}

bool TCyclicInputBuffer::CheckFrameCrc(bool, bool df7) {
    curFrameOK_ = false;
    return GuardOr({df7 ? "Error in CheckFrame7" : "Error in CheckFrame6"}, false, [&] {
        std::array<std::uint8_t, 256> frame;
        CyclicRead(ptrFrame_, frameSize_, frame.data());
        const std::span<const std::uint8_t> bytes(frame.data(),
                                                  static_cast<std::size_t>(frameSize_));
        const bool crcOK = FrameCheckOK(TFrameFormat::DF6, bytes);
        if (!crcOK)
            ++crcErrorNb_;
        const std::uint16_t mask = df7 ? 0x7FF : 0x7F;
        const std::uint16_t counter =
            df7 ? static_cast<std::uint16_t>((frame[0] & 0x07) * 256 + frame[1]) : frame[0] & 0x7F;
        std::uint16_t expected = (lastSynchroIndex_ + 1) & mask;
        bool counterOK = counter == expected;
        if (crcOK && !counterOK) {
            lastSynchroIndex_ = expected = counter;
            counterOK = true;
        }
        bool ok = crcOK && counterOK;
        if (ok) {
            std::memcpy(tmp_.data(), frame.data(), static_cast<std::size_t>(frameSize_));
            ok = df7 ? ComparePrecDF7() : ComparePrec();
            if (!ok) {
                // A frame refused for its time may be where the sequence starts anew: the frame
                // right after it in counter and time is taken when its head is one the probe can
                // send, so that a restarted probe or a wrong reference holds nothing back.
                const TFrameMark mark{FrameStart(), counter,
                                      LE32(frame.data() + (df7 ? 2 : 1)), (frame[0] & 0x80) != 0};
                const bool headOK =
                    df7 ? frame[7] < 37 && frame[6] == 0
                        : !(context_.RealTimeOn && mark.coarse) && (frame[5] & 0x1F) < 25 &&
                              (frame[5] & 0xE0) != 0x80;
                ok = headOK && AfterRestart(mark, mask);
                if (!ok)
                    found_.push_back(mark);
            }
        }
        curFrameOK_ = ok;
        if (ok)
            lastSynchroIndex_ = expected;
        return ok;
    });
}

bool TCyclicInputBuffer::CheckFrameFromProbeMemoryDF5(bool alternate) {
    curFrameOK_ = false;
    std::array<std::uint8_t, 256> frame;
    CyclicRead(ptrFrame_, frameSize_, frame.data());
    if (!FrameCheckOK(TFrameFormat::DF5,
                      std::span<const std::uint8_t>(frame.data(),
                                                    static_cast<std::size_t>(frameSize_))))
        return false;
    const std::uint16_t counter = frame[0] & 0x7F;
    if (!alternate && counter != ((lastSynchroIndex_ + 1) & 0x7F))
        return false;
    lastSynchroIndex_ = counter;
    curFrameOK_ = true;
    return true;
}

// Tries the frame positions that end within the last FrameSize bytes before the newest frame's
// end, oldest first. Checking candidates counts nothing.
bool TCyclicInputBuffer::FindValidFrame() {
    const std::int32_t crcErrors = crcErrorNb_, timeErrors = timeErrorNb_;
    curFrameOK_ = false;
    const int newest = ptrFrame_;
    bool found = false;
    int shift = 0;
    for (int i = 0; i < frameSize_ && !found; ++i) {
        ptrFrame_ = Wrap(newest - frameSize_ + i);
        if (CheckFrame(false)) {
            found = true;
            shift = i;
        }
    }
    crcErrorNb_ = crcErrors;
    timeErrorNb_ = timeErrors;
    if (!found) {
        ptrFrame_ = newest;
        byteToRead_ = frameSize_;
        curFrameOK_ = false;
        return false;
    }
    byteToRead_ = shift;
    curFrameOK_ = true;
    StatusMessage("Synchronize probe rx");
    return true;
}

// ---- Time checks ------------------------------------------------------------------------------

bool TCyclicInputBuffer::TimeStep(std::uint32_t cur, std::uint32_t last) {
    const std::uint32_t d = cur - last;
    const std::uint32_t maxItv = Counts(context_.maxTimeInterval);
    bool ok = d >= Counts(context_.minTimeInterval);
    if (!context_.NoStream) {
        ok = ok && d <= maxItv;
        if (!ok) {
            ++timeErrorNb_;
            context_.NoStream = true; // a gap: recover on the minimum interval alone
        }
        return ok;
    }
    if (d > maxItv) {
        ++timeErrorNb_;
        context_.RawIdxRestart = context_.RawIndex;
    } else if (context_.RawIndex - context_.RawIdxRestart > context_.datasetCount) {
        context_.NoStream = false;
    }
    return ok;
}

bool TCyclicInputBuffer::ComparePrec() {
    if (context_.RawIndex < 2)
        return true;
    const std::uint8_t b0 = tmp_[0], b5 = tmp_[5];
    // Real-time frames carry 0.001 s counts; the bottle byte must be possible.
    if ((context_.RealTimeOn && (b0 & 0x80)) || (b5 & 0x1F) >= 25 || (b5 & 0xE0) == 0x80)
        return false;
    const std::uint32_t cur = LE32(tmp_.data() + 1), last = LE32(last_.data() + 1);
    if (cur <= last || cur == 0 || last == 0)
        return false;
    if (b0 & 0x80)
        return true;
    return TimeStep(cur, last);
}

bool TCyclicInputBuffer::ComparePrecDF7() {
    if (context_.RawIndex < 2)
        return true;
    if (tmp_[7] >= 37)
        return false;
    // The 40-bit counter is compared on its low 32 bits.
    if (tmp_[6] != 0)
        Raise("time counter overflow: " + std::to_string(tmp_[6]) + " in its fifth byte");
    const std::uint32_t cur = LE32(tmp_.data() + 2), last = LE32(last_.data() + 2);
    if (cur == 0 || last == 0)
        return false;
    if (cur <= last) {
        ++timeErrorNb_;
        return false;
    }
    if (tmp_[0] & 0x80)
        return true;
    return TimeStep(cur, last);
}

// ---- Saving -----------------------------------------------------------------------------------

std::int64_t TCyclicInputBuffer::SavableBytes() const {
    return std::min<std::int64_t>(Wrap(ptrFrame_ - ptrFirst_), unsaved_);
}

bool TCyclicInputBuffer::SaveToRawFile(TStream& file, bool includeNewest) {
    return GuardOr({"Error in InputBuffer.SaveToRawFile"}, false, [&] {
        // Only bytes actually received are written, each once, in order.
        const std::int64_t upToFrame = Wrap(ptrFrame_ - ptrFirst_);
        const int count = static_cast<int>(includeNewest ? unsaved_ : std::min(upToFrame, unsaved_));
        if (count <= 0) {
            WriteLog("No new data to write");
            return false;
        }
        TRecordWriter w(file, "InputBuffer.SaveToRawFile: write error - ");
        const int first = std::min(count, RingSize - ptrFirst_);
        w.PutBytes(ring_.data() + ptrFirst_, static_cast<std::size_t>(first), "bytes");
        w.PutBytes(ring_.data(), static_cast<std::size_t>(count - first), "bytes");
        ptrFirst_ = Wrap(ptrFirst_ + count);
        unsaved_ -= count;
        return true;
    });
}

// ---- Auxiliary records ------------------------------------------------------------------------

float TCyclicInputBuffer::ExtValue(int i) const {
    float v = 0;
    if (i >= 0 && i <= 20)
        std::memcpy(&v, tmp_.data() + 4 * i, sizeof v);
    return v;
}

void TCyclicInputBuffer::SetExtValue(int i, float value) {
    if (i >= 0 && i <= 20)
        std::memcpy(tmp_.data() + 4 * i, &value, sizeof value);
}

void TCyclicInputBuffer::StoreRecord() {
    if (!valid_)
        return;
    CyclicWrite(ptrLast_, frameSize_);
    ptrLast_ = Wrap(ptrLast_ + frameSize_);
    ptrFrame_ = ptrLast_;
    Account(frameSize_);
}

} // namespace marevo

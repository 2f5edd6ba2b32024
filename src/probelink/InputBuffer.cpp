#include "probelink/InputBuffer.h"

#include "foundation/Guard.h"
#include "foundation/EventLog.h"
#include "foundation/MarevoTypes.h"

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
    WriteLog("Error in InputBuffer.CyclicWrite" + std::to_string(lost) +
             " received bytes overwritten before they were saved");
}

// ---- Reading ----------------------------------------------------------------------------------

int TCyclicInputBuffer::LoadOneSet(IByteSource& source, int count) {
    if (count <= 0)
        return 0;
    if (lastFrameOK_)
        last_ = tmp_;
    tmp_.fill(0);
    int n = 0;
    if (!source.Live())
        n = source.Read(tmp_.data(), count);
    else if (source.Waiting() >= count)
        n = source.Read(tmp_.data(), count);
    if (n > 0) {
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
        // One failed check after good frames reads a whole frame again before searching.
        lastFrameOK_ = curFrameOK_ = false;
        byteToRead_ = frameSize_;
        ++frameErrorNb_;
        return false;
    });
}

void TCyclicInputBuffer::Deliver() {
    CyclicRead(ptrFrame_, frameSize_, tmp_.data());
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
    switch (FrameFormatOfProtocol(context_.Protocol)) {
    case TFrameFormat::DF5: return CheckFrame5(alternate);
    case TFrameFormat::DF6: return CheckFrameCrc(alternate, false);
    case TFrameFormat::DF7: return CheckFrameCrc(alternate, true);
    case TFrameFormat::None: break;
    }
    curFrameOK_ = true; // a probe without a known format: every frame is taken
    return true;
}

bool TCyclicInputBuffer::CheckFrame5(bool) {
    std::array<std::uint8_t, 256> frame;
    CyclicRead(ptrFrame_, frameSize_, frame.data());
    const std::span<const std::uint8_t> bytes(frame.data(), static_cast<std::size_t>(frameSize_));
    const bool sumOK = FrameCheckOK(TFrameFormat::DF5, bytes);
    const std::uint16_t counter = frame[0] & 0x7F;
    std::uint16_t expected = (lastSynchroIndex_ + 1) & 0x7F;
    bool counterOK = counter == expected;
    if (sumOK && !counterOK) { // a good frame is never refused for its counter: follow it
        lastSynchroIndex_ = expected = counter;
        counterOK = true;
    }
    bool ok = sumOK && counterOK;
    if (ok) {
        std::memcpy(tmp_.data(), frame.data(), static_cast<std::size_t>(frameSize_));
        if (lastFrameOK_)
            ok = ComparePrec();
    }
    curFrameOK_ = ok;
    if (ok)
        lastSynchroIndex_ = expected;
    return ok;
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

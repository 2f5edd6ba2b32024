// The memory upload of the data source: the casts the probe recorded away from the cable come
// over the probe port one data set at a time and go to the cast's .raw file as they came.

#include "probelink/RawStream.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "probelink/FrameFormat.h"
#include "probelink/QvlUtil.h"

#include <fmt/core.h>

namespace marevo {

namespace {

// A set not complete within this time is lost [ms]; after a stop the probe is given as long to
// fall silent before the transmission restarts.
constexpr std::uint64_t SetWaitMs = 1000;
constexpr std::uint32_t RestartPauseMs = 1000;
constexpr int SetRetries = 3;

} // namespace

bool TRawStream::UploadPause(std::uint32_t ms) {
    if (UploadWait) {
        if (!UploadWait(ms)) {
            uploadInterrupted_ = true;
            return false;
        }
        return true;
    }
    Clock().SleepMs(ms);
    return true;
}

bool TRawStream::UploadProbeMemory(TQvlUtil& qvl, std::int32_t castNb, bool first,
                                   std::int32_t& frameIndex, std::int32_t& castSize) {
    switch (qvl.GetDFNb()) {
    case 5: return UploadProbeMemoryCastDF5(qvl, castNb, first, frameIndex, castSize);
    case 6: return UploadProbeMemoryCastDF6(qvl, castNb, first, frameIndex, castSize);
    case 7: return UploadProbeMemoryCastDF7(qvl, castNb, first, frameIndex, castSize);
    default: return false;
    }
}

bool TRawStream::UploadProbeMemoryCastDF5(TQvlUtil& qvl, std::int32_t castNb, bool first,
                                          std::int32_t& frameIndex, std::int32_t& castSize) {
    return UploadProbeMemoryCast(5, "UploadProbeMemoryCastDF5", qvl, castNb, first, frameIndex,
                                 castSize);
}

bool TRawStream::UploadProbeMemoryCastDF6(TQvlUtil& qvl, std::int32_t castNb, bool first,
                                          std::int32_t& frameIndex, std::int32_t& castSize) {
    return UploadProbeMemoryCast(6, "UploadProbeMemoryCastDF6", qvl, castNb, first, frameIndex,
                                 castSize);
}

bool TRawStream::UploadProbeMemoryCastDF7(TQvlUtil& qvl, std::int32_t castNb, bool first,
                                          std::int32_t& frameIndex, std::int32_t& castSize) {
    return UploadProbeMemoryCast(7, "UploadProbeMemoryCastDF7", qvl, castNb, first, frameIndex,
                                 castSize);
}

bool TRawStream::GetOneSet(int format, std::string_view name, std::vector<std::uint8_t>& set) {
    TFileCOMM& port = *probePort_;
    const int size = inputBuffer_->FrameSize();
    const std::uint64_t start = Clock().TickMs();
    for (;;) {
        if (port.size() >= size)
            break;
        if (port.ComResetted) {
            WriteLog(std::string(name) + ".GetOneSet failed - comm resetted");
            return false;
        }
        if (Clock().TickMs() - start > SetWaitMs) {
            WriteLog(std::string(name) + ".GetOneSet failed - timeout");
            return false;
        }
        if (!UploadPause(1))
            return false;
    }
    set.assign(static_cast<std::size_t>(size), 0);
    if (port.Read(set.data(), set.size()) != set.size() || port.ComResetted) {
        WriteLog(std::string(name) + ".GetOneSet failed for comm error");
        return false;
    }
    if (!MemorySetOK(FrameFormatOfProtocol(format), set, anyCounter_, lastCounter_)) {
        WriteLog(std::string(name) + ".GetOneSet failed - bad data set");
        return false;
    }
    return true;
}

bool TRawStream::UploadProbeMemoryCast(int format, std::string_view name, TQvlUtil& qvl,
                                       std::int32_t castNb, bool first, std::int32_t& frameIndex,
                                       std::int32_t& castSize) {
    uploadInterrupted_ = false;
    const std::string prefix = "Error in TRawStream." + std::string(name);
    return GuardOr({prefix}, false, [&] {
        if (!probePort_ || !probePort_->IsOpen() || !rawFile_)
            Raise("the probe port or the raw file is not open");
        TFileCOMM& port = *probePort_;
        if (first) {
            StatusMessage("Uploading");
            if (!qvl.SendProbeCommand(cm_CS, port, std::to_string(castNb)))
                return false;
            castSize = qvl.MemorySetNb();
            // A cast the probe does not describe (no set, another number) is no cast to append.
            if (qvl.MemCast.MemCastNb != castNb || castSize <= 0) {
                WriteLog(fmt::format("{}: the probe holds no data set of cast {}", name, castNb));
                return false;
            }
            frameIndex = 0;
            anyCounter_ = true;
            if (!qvl.SendCD(port, castNb, 0))
                return false;
        }
        if (frameIndex >= castSize)
            return true;
        std::vector<std::uint8_t> set;
        for (int retries = SetRetries; retries > 0; --retries) {
            if (GetOneSet(format, name, set)) {
                if (rawFile_->Write(set.data(), set.size()) != set.size())
                    Raise("the data set cannot be written to " + streamName_.string());
                lastCounter_ = FrameCounter(FrameFormatOfProtocol(format), set);
                anyCounter_ = false;
                ++frameIndex;
                return true;
            }
            if (uploadInterrupted_)
                return false;
            WriteLog(fmt::format("{} failed calling GetOneSet: frame {} Retry: {}", name,
                                 frameIndex, retries));
            if (qvl.Stop(port)) {
                // What was on its way when the probe stopped is not the set asked next.
                if (!UploadPause(RestartPauseMs))
                    return false;
                port.flush();
                anyCounter_ = true;
                qvl.SendCD(port, castNb, frameIndex);
            }
        }
        return false;
    });
}

} // namespace marevo

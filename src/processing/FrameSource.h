#pragma once
// What the acquisition pipeline needs of its data source: the next accepted frame and the state
// of the links behind it. The probe link's data source implements it for live casts and for raw
// file replays; the caller hands the source to the pipeline (DoAcqui, ReadRawFile).

#include <cstdint>
#include <filesystem>
#include <span>

namespace marevo {

class IFrameSource {
public:
    virtual ~IFrameSource() = default;
    // Replay: reads fileName from its start; false when it cannot be opened (a live source has
    // no file to read and refuses).
    virtual bool OpenFile(const std::filesystem::path& fileName) = 0;
    // One attempt to produce a frame; true when Frame() holds a new accepted frame.
    virtual bool GetNewFrame() = 0;
    // The frame in hand: the probe's bytes followed by the appended auxiliary values.
    virtual std::span<const std::uint8_t> Frame() const = 0;
    // Bytes of one probe frame.
    virtual int FrameSize() const = 0;
    // A replay reached the end of its file (a live source: it was closed).
    virtual bool EndOfStream() const = 0;
    // The probe has sent nothing for a while.
    virtual bool NoData() const = 0;
    // The pipeline met the cast's stop condition; whoever runs the source ends the cast.
    virtual void RequestStop() = 0;
    // Frames the reader refused, and of them those with a bad check field or a bad time.
    virtual std::int32_t FrameError() const = 0;
    virtual std::int32_t CRCError() const = 0;
    virtual std::int32_t TIMEError() const = 0;
};

} // namespace marevo

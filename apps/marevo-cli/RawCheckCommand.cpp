#include "RawCheckCommand.h"

#include "foundation/Guard.h"
#include "foundation/Stream.h"
#include "probelink/InputBuffer.h"

#include <fmt/core.h>

#include <optional>

namespace marevo::cli {

int RunRawCheck(const std::filesystem::path& file, int protocol, int frameSize) {
    std::optional<TFileStream> in;
    try {
        in.emplace(file, TFileMode::OpenRead);
    } catch (const std::exception& e) {
        fmt::print(stderr, "marevo-cli: {}\n", e.what());
        return 1;
    }
    TRawBuffer frame{};
    TRingContext context;
    context.Protocol = protocol;
    TCyclicInputBuffer ring(frame, frameSize, context);
    TStreamByteSource source(*in);
    const std::int64_t size = in->Size();
    std::int64_t accepted = 0;
    while (in->Position() < size) {
        if (ring.ReadNewRawSet(source)) {
            ++accepted;
            ++context.RawIndex; // as the pipeline counts the frames it takes
        }
    }
    fmt::print("file           {} ({} bytes)\n", file.string(), size);
    fmt::print("format         protocol {}, {}-byte frames\n", protocol, frameSize);
    fmt::print("frames         {} accepted\n", accepted);
    fmt::print("frame errors   {}\n", ring.FrameErrorNb());
    fmt::print("CRC errors     {}\n", ring.CRCErrorNb());
    fmt::print("time errors    {}\n", ring.TIMEErrorNb());
    return 0;
}

} // namespace marevo::cli

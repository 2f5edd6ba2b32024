#include "Demo.h"

#include "foundation/EventLog.h"
#include "foundation/MarevoTypes.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "probelink/ByteSource.h"
#include "probelink/FrameFormat.h"
#include "probelink/InputBuffer.h"
#include "processing/AppContext.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "shell/Startup.h"
#include "storage/Config.h"
#include "storage/Environ.h"

#include <fmt/core.h>

#include <cmath>
#include <system_error>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

constexpr double ScanRate = 24.0;    // frames per second
constexpr double DescentSpeed = 1.0; // m/s
constexpr double Bottom = 200.0;     // dbar

// The water of the simulated cast: a warm mixed layer over a thermocline.
double TemperatureAt(double p) { return 8.0 + 12.0 / (1.0 + std::exp((p - 60.0) / 12.0)); }
// Conductivity of water of salinity near 35 at that temperature [mS/cm].
double ConductivityAt(double p) { return 42.914 * (1.0 + 0.0196 * (TemperatureAt(p) - 15.0)); }

// The probe's input channels, in frame order: DF6 head, time base, pressure, temperature,
// conductivity, CRC word.
bool BuildCastCollection(TParamCollection& cast) {
    for (int number : {6, 100, 101, 110, 120, 4}) {
        const TParameter* known = ProbeParamCol().FindPara(number);
        if (!known)
            return false;
        cast.Add(known->MakeCopy())->SetPosInProbe(cast.Count());
    }
    cast.ProbeInfo.Protocol = 6;
    return cast.BuildProbeInfo();
}

// Writes the descent as the probe would send it: DF6 frames of the cast's layout.
void WriteRawFile(const TParamCollection& cast, const fs::path& file, int frames) {
    const int frameSize = cast.FrameInfo.RawSize;
    TFileStream out(file, TFileMode::Create);
    std::vector<std::uint8_t> channels(static_cast<std::size_t>(frameSize));
    for (int k = 0; k < frames; ++k) {
        const double p = std::min(Bottom, DescentSpeed * k / ScanRate);
        const double values[] = {p, TemperatureAt(p), ConductivityAt(p)};
        std::size_t at = 0;
        for (double v : values)
            at += static_cast<std::size_t>(EncodeChannel(ParaConvSingle, v, channels.data() + at));
        TFrameHead head;
        head.counter = static_cast<std::uint16_t>(k);
        head.timeCount = 1000 + static_cast<std::uint64_t>(std::lround(k * 1000.0 / ScanRate));
        const auto frame = EncodeFrame(TFrameFormat::DF6, head, channels, frameSize);
        out.Write(frame.data(), frame.size());
    }
}

} // namespace

// Starts the settings as the program does, builds a cast collection for a CTD probe, records a
// simulated 24 Hz descent as the probe's raw file, then replays it through the frame ring,
// decodes and calibrates every frame and derives salinity, depth and density from it.
int RunDemo(const fs::path& dataRoot) {
    TParamCollection probe, cast;
    TConfig config;
    TEnviron environ(dataRoot);
    TAppScope scope({&probe, &cast, &config.GenCfg, &config.CurParaPtr, &config, &environ});
    const TStartSettingsResult started = StartSettings({.writeMissingEnviron = true});
    if (!started.completed) {
        fmt::print(stderr, "marevo-cli: the settings could not be started: {}\n",
                   EventLog().LastMessage());
        return 1;
    }
    if (!BuildCastCollection(cast)) {
        fmt::print(stderr, "marevo-cli: the cast collection could not be built\n");
        return 1;
    }

    const fs::path rawDir = dataRoot / "DEMO" / "raw";
    std::error_code ec;
    fs::create_directories(rawDir, ec);
    const fs::path rawFile = rawDir / "DEMO001.raw";
    const int frames = static_cast<int>(Bottom / DescentSpeed * ScanRate) + 1;
    WriteRawFile(cast, rawFile, frames);
    StatusMessage("Start Data Flow");

    TFileStream in(rawFile, TFileMode::OpenRead);
    TStreamByteSource source(in);
    TRawBuffer frame{};
    TRingContext ringContext;
    ringContext.Protocol = cast.ProbeInfo.Protocol;
    TCyclicInputBuffer ring(frame, cast.FrameInfo.RawSize, ringContext);
    cast.ParaTims = cast.FindPara(100);
    cast.S_RTStatus = rt_run; // a recorded cast: the time origin is its first frame
    const TValueContext values = ValueContextOf(cast, config.GenCfg, config.DataValidation, 17.98);
    const std::span<const std::uint8_t> frameBytes(frame.data(), frame.size());

    fmt::print("{:>9} {:>9} {:>8} {:>9} {:>9} {:>8} {:>9}\n", "time [s]", "P [dbar]", "T [°C]",
               "C [mS/cm]", "S [PSU]", "depth [m]", "σθ");
    int accepted = 0;
    double nextRow = 0;
    TParameter* shown[] = {cast.FindPara(400), cast.FindPara(101), cast.FindPara(401),
                                 cast.FindPara(399), cast.FindPara(404), cast.FindPara(403),
                                 cast.FindPara(609)};
    while (in.Position() < in.Size()) {
        if (!ring.ReadNewRawSet(source))
            continue;
        ++accepted;
        ++ringContext.RawIndex;
        cast.RawIndex = ringContext.RawIndex;
        // The frame's input values by position, as a stored frame holds them.
        const TDecodeContext decode = cast.DecodeContext();
        TRawFVArray frameValues;
        frameValues.fill(InvalidFV);
        for (int i = 0; i < cast.FrameInfo.ExtCount && i < RawFVCount; ++i) {
            TParameter* p = cast.Items(i);
            p->ParaDecode(frameBytes, decode);
            p->ParaCalibrate(decode);
            frameValues[static_cast<std::size_t>(i)] =
                p->paraRaw.ParaType == Pt_Tims ? p->Current : p->Calibrated;
        }
        if (frameValues[static_cast<std::size_t>(cast.FrameInfo.PresPos)].value + 1e-6 < nextRow)
            continue;
        nextRow += 20.0;
        std::string row;
        for (TParameter* p : shown) {
            const TFlaggedValue v = p ? p->CalcValue(frameValues, values) : InvalidFV;
            row += v.Valid() ? fmt::format(" {:>9.4f}", v.value) : fmt::format(" {:>9}", "invalid");
        }
        fmt::print("{}\n", row);
    }
    StatusMessage("Stop Data Flow");

    fmt::print("\ndata root      {}\n", dataRoot.string());
    fmt::print("settings       {} ({})\n", started.configFile.string(),
               started.configCreated ? "created" : "read");
    fmt::print("raw file       {} ({} bytes)\n", rawFile.string(), fs::file_size(rawFile, ec));
    fmt::print("frames         {} written, {} accepted, {} frame errors, {} CRC errors\n", frames,
               accepted, ring.FrameErrorNb(), ring.CRCErrorNb());
    fmt::print("parameters     {} in the cast ({} computed)\n", cast.Count(),
               cast.Count() - cast.FrameInfo.ExtCount);
    fmt::print("event log      {}\n", EventLog().FileName().string());
    return accepted == frames ? 0 : 1;
}

} // namespace marevo::cli

#include "Demo.h"

#include "foundation/EventLog.h"
#include "foundation/MarevoTypes.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "probelink/ByteSource.h"
#include "probelink/FrameFormat.h"
#include "probelink/InputBuffer.h"
#include "probelink/QvlUtil.h"
#include "processing/AppContext.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "shell/Startup.h"
#include "storage/Config.h"
#include "storage/Environ.h"

#include <fmt/core.h>

#include <cmath>
#include <fstream>
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


// The probe on probePort: identified through the command protocol into a collection of its own,
// with the cast's transcript beside rawFile; then a few seconds of its data flow decoded through
// that collection. Prints what it learned; 0 when the probe was identified and sent frames.
int IdentifyProbe(const std::string& probePort, const fs::path& rawFile, TEnviron& environ) {
    fmt::print("\nprobe on {}: identification\n", probePort);
    // The simulated probe needs no pause between commands.
    environ.CommDelay[6] = 0.02;
    environ.DF7Enabling = 1;
    TParamCollection identified;
    TQvlUtil qvl(&identified);
    qvl.SetDelay(environ.CommDelay);
    qvl.CurrentCastRawPath = [&] { return rawFile; };
    qvl.OpenProbePort = [&] {
        auto port = std::make_unique<TFileCOMM>();
        port->Open("CTD", "COM1:9600,n,8,1,n", [&](int) { return fs::path(probePort); });
        return port;
    };
    if (!qvl.GetProbeInfoA(-1)) {
        qvl.ShowError();
        return 1;
    }
    qvl.CloseXfrFile();
    const bool built = identified.BuildProbeInfo();
    const TProbeInfo& info = identified.ProbeInfo;
    fmt::print("serial number  {} (type {})\n", info.UnitSN.Get(), info.UnitType.Get());
    fmt::print("firmware       {} (version {})\n", info.Firmware.Get(), qvl.GetVnStr());
    fmt::print("battery        {:.2f} V\n", info.Voltage);
    fmt::print("data format    DF{}, frame {} bytes{}\n", info.Protocol,
               identified.FrameInfo.RawSize, built ? "" : " (collection incomplete)");
    fmt::print("rosette        type {}, {} positions, fire {} s, serial {}\n", info.SamplerType,
               info.BottlesNumber, info.FireDelay, info.SerialNumber);
    fmt::print("channels       {:>5} {:>4} {:<22} {:>5} {:>12} {:>12}\n", "code", "nb", "name",
               "bytes", "A", "B");
    for (int i = 0; i < identified.FrameInfo.RawCount; ++i) {
        const TParameter* p = identified.Items(i);
        fmt::print("               {:>5} {:>4} {:<22} {:>5} {:>12.6g} {:>12.6g}\n",
                   p->getQVLParaNb(), p->GetParaNb(), p->ParaText.ParaStr[1].Get(),
                   p->ParaFrame.SizeByte, p->ParaCalib.calib[0].ToDouble(),
                   p->ParaCalib.calib[1].ToDouble());
    }
    const fs::path xfr = fs::path(rawFile).replace_extension(".xfr");
    fmt::print("transcript     {}\n", xfr.string());
    std::ifstream transcript(xfr, std::ios::binary);
    for (std::string line; std::getline(transcript, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        fmt::print("               {}\n", line);
    }
    if (!built)
        return 1;

    // Two seconds of data flow, decoded through the identified collection.
    auto port = qvl.OpenProbePort();
    identified.ProbeOnLine = true;
    if (!port->IsOpen() || !qvl.SendProbeCommand(cm_OL, *port)) {
        qvl.ShowError();
        return 1;
    }
    TRawBuffer frame{};
    TRingContext ringContext;
    ringContext.Protocol = info.Protocol;
    ringContext.SaveBytes = false; // nothing is recorded here
    TCyclicInputBuffer ring(frame, identified.FrameInfo.RawSize, ringContext);
    TPortByteSource source(*port);
    identified.ParaTims = identified.FindPara(100);
    const TParameter* shown[] = {identified.FindPara(101), identified.FindPara(110),
                                 identified.FindPara(120)};
    int accepted = 0;
    const std::uint64_t start = Clock().TickMs();
    while (Clock().TickMs() - start < 2000) {
        // As the data source does: the ring is asked only once a whole frame is waiting.
        if (source.Waiting() < identified.FrameInfo.RawSize || !ring.ReadNewRawSet(source)) {
            Clock().SleepMs(5);
            continue;
        }
        ++accepted;
        ++ringContext.RawIndex;
        const TDecodeContext decode = identified.DecodeContext();
        for (int i = 0; i < identified.FrameInfo.RawCount; ++i) {
            identified.Items(i)->ParaDecode({frame.data(), frame.size()}, decode);
            identified.Items(i)->ParaCalibrate(decode);
        }
        if (accepted % 12 == 1) {
            std::string row = fmt::format("frame {:>4}", accepted);
            for (const TParameter* p : shown)
                if (p)
                    row += fmt::format("  {} {:9.4f}", p->ParaText.ParaStr[2].Get(),
                                       p->Calibrated.value);
            fmt::print("               {}\n", row);
        }
    }
    const bool stopped = qvl.Stop(*port);
    fmt::print("data flow      {} frames in 2 s, {} frame errors, {} CRC errors; {}\n", accepted,
               ring.FrameErrorNb(), ring.CRCErrorNb(), stopped ? "stopped" : "not stopped");
    return accepted > 0 && stopped ? 0 : 1;
}

} // namespace

// Starts the settings as the program does, builds a cast collection for a CTD probe, records a
// simulated 24 Hz descent as the probe's raw file, then replays it through the frame ring,
// decodes and calibrates every frame and derives salinity, depth and density from it. With a
// probe port, it then identifies the probe there and decodes a little of its data flow.
int RunDemo(const fs::path& dataRoot, const std::string& probePort) {
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
    ringContext.SaveBytes = false; // a replay: the bytes are already in their file
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
    const int replayed = accepted == frames ? 0 : 1;
    if (probePort.empty())
        return replayed;
    return IdentifyProbe(probePort, rawDir / "DEMO002.raw", environ) | replayed;
}

} // namespace marevo::cli

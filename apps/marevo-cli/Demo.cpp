#include "Demo.h"

#include "ImportCommands.h"

#include "app/AppContext.h"
#include "foundation/EventLog.h"
#include "foundation/Runtime.h"
#include "probelink/ByteSource.h"
#include "probelink/FrameFormat.h"
#include "probelink/InputBuffer.h"
#include "probelink/QvlUtil.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "shell/Application.h"

#include <fmt/core.h>

#include <fstream>
#include <system_error>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

// The real cast of the repository; found beside the sources, or from the working folder.
fs::path RealCastFile() {
    const fs::path name = "data/real-casts/south-atlantic-2011-24hz.cnv.bz2";
#ifdef MAREVO_SOURCE_DIR
    if (const fs::path beside = fs::path(MAREVO_SOURCE_DIR) / name; fs::exists(beside))
        return beside;
#endif
    return name;
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
    identified.Acqui.ProbeOnLine = true;
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
    identified.Acqui.ParaTims = identified.FindPara(100);
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

// The road of a logger recording (ImportCommands.h: the simulated probe records the real cast,
// the recording is imported into a new cruise, processed, stored, exported, and the cast's
// summary and first binned rows are printed). With a probe port, the probe there is then
// identified through the command protocol and a little of its data flow decoded.
int RunDemo(const fs::path& dataRoot, const std::string& probePort) {
    const int imported = RunImportDemo(dataRoot, RealCastFile());
    if (probePort.empty())
        return imported;
    TApplication app(dataRoot);
    if (!app.Start().completed) {
        fmt::print(stderr, "marevo-cli: the settings could not be started: {}\n",
                   EventLog().LastMessage());
        return 1;
    }
    // The transcript of this identification is a by-product: it goes to the temporary folder.
    const fs::path rawFile = fs::temp_directory_path() / "marevo-demo-probe.raw";
    return IdentifyProbe(probePort, rawFile, app.environ) | imported;
}

} // namespace marevo::cli

#include "AcquireCommand.h"

#include "CliApp.h"
#include "FireCommands.h"

#include "acquisition/ProbeCommands.h"
#include "acquisition/RTCast.h"
#include "acquisition/RemoteDepth.h"
#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "probelink/FileComm.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "records/Environ.h"
#include "storage/CruiseFile.h"

#include <fmt/core.h>

#include <atomic>
#include <csignal>
#include <poll.h>
#include <unistd.h>

#include <vector>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

std::atomic<int> stopSignal{0};

extern "C" void OnStopSignal(int signal) {
    stopSignal = signal;
}

// The console's windows: a live line per value period, the link changes, the status changes.
class TConsoleHost final : public ICastHost, public IAcquiView {
public:
    TConsoleHost(bool quiet, TConsoleFiring& firing) : quiet_(quiet), firing_(firing) {}
    IAcquiView& View() override { return *this; }
    std::optional<std::int32_t> FirstBottleDialog(const TRosetteInfo& rosette) override {
        return firing_.FirstBottle(rosette);
    }
    void ShowOperatorDialog(const std::string& label, int bottle) override {
        if (cast)
            firing_.ShowOperatorDialog(*cast, label, bottle);
    }
    void BottleFired(int bottle, int status) override { firing_.BottleFired(bottle, status); }
    TRTCast* cast = nullptr;
    void UpdateCurValue(const TAcquiLive& live) override {
        last = live;
        if (quiet_)
            return;
        const std::string pres =
            live.pres.Valid() ? fmt::format("{:8.2f}", live.pres.value) : std::string("       -");
        fmt::print("{:<8} P {} dbar  frames {:>7}  CTD {} GPS {} EXT {}{}\n",
                   RTStatusName(live.status), pres, live.frames, LinkStatusName(live.links[0]),
                   LinkStatusName(live.links[1]), LinkStatusName(live.links[2]),
                   live.alarmOn ? "  ALARM " + live.alarmText : std::string());
        std::fflush(stdout);
    }
    void ShowLinks(const TLinkStates& links) override {
        if (links[0] == ls_linkoff)
            linkLost = true;
        if (quiet_)
            return;
        fmt::print("links: CTD {} GPS {} EXT {}\n", LinkStatusName(links[0]),
                   LinkStatusName(links[1]), LinkStatusName(links[2]));
    }
    TAcquiLive last;
    bool linkLost = false; // the probe link was lost at some moment

private:
    bool quiet_;
    TConsoleFiring& firing_;
};

// The whole lines typed on standard input since the last call.
std::vector<std::string> LinesTyped() {
    static std::string pending;
    std::vector<std::string> lines;
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (::poll(&in, 1, 0) <= 0 || !(in.revents & POLLIN))
        return lines;
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0)
        return lines;
    pending.append(buffer, std::size_t(n));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        lines.push_back(pending.substr(0, end));
        pending.erase(0, end + 1);
    }
    return lines;
}

} // namespace

void AddAcquireCommand(CLI::App& app, TAcquireOptions& o) {
    o.acquire = app.add_subcommand(
        "acquire", "Run a real-time cast of a cruise on a probe (and GPS, external sensor) port; "
                   "Save and Exit on --seconds, Ctrl-C, \"stop\" on standard input or the "
                   "automatic stop");
    o.acquire->add_option("--cruise", o.cruise, "Cruise that takes the cast")->required();
    o.acquire->add_option("--probe-port", o.probePort, "Serial device of the probe")->required();
    o.acquire->add_option("--gps-port", o.gpsPort, "Serial device of the GPS receiver");
    o.acquire->add_option("--ext-port", o.extPort, "Serial device of the external sensor");
    o.acquire->add_option("--rdr-port", o.rdrPort,
                          "Serial device of the remote depth display (runs the repeater)");
    o.acquire->add_option("--seconds", o.seconds, "Save and Exit after this many seconds")
        ->check(CLI::PositiveNumber);
    o.acquire->add_option("--first-bottle", o.firstBottle,
                          "First bottle of the rosette (0: \"No Rosette connected\"); then "
                          "\"fire\", \"fire N\", \"fire again N\" and \"confirm\" on "
                          "standard input")
        ->check(CLI::Range(0, 36));

    o.probe = app.add_subcommand("probe", "Probe commands outside a cast");
    o.probe->require_subcommand(1);
    o.stopFlow = o.probe->add_subcommand("stop-flow", "Stop the probe's data flow");
    o.clearMemory = o.probe->add_subcommand(
        "clear-memory", "Erase the probe's memory (asks first; --yes answers OK)");
    for (CLI::App* verb : {o.stopFlow, o.clearMemory})
        verb->add_option("--probe-port", o.commandPort, "Serial device of the probe")->required();
}

int RunProbeCommand(const TAcquireOptions& o, const fs::path& dataRoot) {
    TCliApp app(dataRoot);
    if (!app.Start())
        return 1;
    TQvlUtil protocol(&app.cast);
    protocol.SetDelay(app.environ.CommDelay);
    const auto open = [&] { return OpenDevice(o.commandPort, app.environ.ProbeCommPort, "CTD"); };
    const bool done = *o.stopFlow ? StopDataFlow(protocol, app.cast, open)
                                  : ClearMemory(protocol, app.cast, open);
    if (!done)
        fmt::print(stderr, "marevo-cli: {}\n", EventLog().LastMessage());
    return done ? 0 : 1;
}

int RunAcquire(const TAcquireOptions& o, const fs::path& dataRoot, bool quiet) {
    if (!CruiseNameOk(o.cruise))
        return 2;
    TCliApp app(dataRoot);
    if (!app.Start() || !UseCruise(app, o.cruise))
        return 1;
    const fs::path cruisePath = DefaultCruiseName(app.environ.DataRootPath(), o.cruise);

    // The worker's steps are run here, between the checks of the stop conditions.
    TQueuedMainThread mainThread;
    TRuntimeScope runtime({nullptr, nullptr, &mainThread, nullptr});
    TConsoleFiring firing(o.firstBottle, o.yes, quiet);
    TConsoleHost host(quiet, firing);
    TCruisefile cruise(app.cast);
    TRTCast cast(cruise, host);
    host.cast = &cast;
    const TEnviron& env = app.environ;
    cast.OpenProbePort = [&] { return OpenDevice(o.probePort, env.ProbeCommPort, "CTD"); };
    cast.OpenSource = [&](const fs::path& raw, TParamCollection& col, bool& isOpen) {
        TRawStream::TPorts ports;
        ports.probe = OpenDevice(o.probePort, env.ProbeCommPort, "CTD");
        ports.nmea = OpenDevice(o.gpsPort, env.NMEACommPort, "GPS");
        ports.ext = OpenDevice(o.extPort, env.ExtCommPort, "External sensor");
        return TRawStream::CreateOnPorts(std::move(ports), isOpen, raw, &col);
    };

    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    if (!cast.Start({env.EnvironFileName(), env.ConfigFileName(), cruisePath})) {
        fmt::print(stderr, "marevo-cli: the cast did not start: {}\n", EventLog().LastMessage());
        return 1;
    }
    const fs::path raw = cast.RawFile();
    if (!quiet)
        fmt::print("cast {} started; Ctrl-C or \"stop\" ends it\n", raw.stem().string());

    // The remote depth repeater for the cast, on the given device: the option stands for the
    // environment's switch as the port options stand for its port map; interval, light and line
    // settings are the environment's.
    TRDRSources rdrSources([&app] { return app.cast.Snapshot(); });
    std::unique_ptr<TRemoteDepthThread> rdr;
    if (!o.rdrPort.empty()) {
        TRDRPanel panel;
        panel.castRunning = true;
        const TGenConfig& gen = app.config.GenCfg;
        panel.alarms = {gen.AlarmChecked[al_up] != 0, gen.AlarmLimit[al_up].ToDouble(),
                        gen.AlarmChecked[al_down] != 0, gen.AlarmLimit[al_down].ToDouble()};
        panel.light = env.RemoteDepth.LightLevel;
        rdrSources.SetPanel(panel);
        std::string text = env.RDRCommPort.CommCfgStr.Get();
        // A port the settings leave unset takes the display's usual line settings.
        if (!text.starts_with("COM"))
            text = "COM1:9600,n,8,1";
        // A port that does not open has said so in its box; the cast goes on without it.
        auto device = std::make_unique<TPosixSerialDevice>();
        if (OpenRDRPort(*device, o.rdrPort, text)) {
            rdr = std::make_unique<TRemoteDepthThread>(
                std::move(device), [&rdrSources] { return rdrSources.Read(); },
                env.RemoteDepth.RefreshInterval, Clock());
            rdr->Start();
        }
    }
    const std::uint64_t start = Clock().TickMs();
    std::string why;
    while (why.empty()) {
        mainThread.Serve(50);
        if (stopSignal)
            why = stopSignal == SIGINT ? "interrupted" : "terminated";
        else if (o.seconds > 0 && double(Clock().TickMs() - start) >= o.seconds * 1000.0)
            why = "time";
        else if (cast.Worker()->AutoStopped() || cast.Worker()->Finished())
            why = "automatic stop";
        else
            for (const std::string& line : LinesTyped())
                if (line.find("stop") != std::string::npos)
                    why = "stop";
                else if (!firing.Line(cast, line))
                    fmt::print("unknown line: {}\n", line);
    }
    if (rdr)
        rdr->MyDestroy(); // the repeater ends with the cast
    TAcquiThread* worker = cast.Worker();
    cast.Worker()->Terminate();
    worker->WaitFor(mainThread);
    // Read once the worker has ended: the link it saw last, and a probe device still gone.
    const bool linkLost = worker->LinkState(TLink::CTD) == ls_linkoff ||
                          (cast.Source() && cast.Source()->ProbeDeviceLost());
    const double cpu = worker->CpuSeconds(), ran = worker->RunSeconds();
    const bool stored = cast.Stop(TCloseAnswer::SaveAndExit);
    fmt::print("end ({}): {} frames, {} bytes in {}, {} bytes lost{}\n", why,
               app.cast.Acqui.RawIndex, fs::exists(raw) ? fs::file_size(raw) : 0, raw.string(),
               cast.LostByteNb(), stored ? ", cast stored" : "");
    fmt::print("worker: {:.3f} s of processor in {:.1f} s ({:.2f} % of a core)\n", cpu, ran,
               ran > 0 ? 100.0 * cpu / ran : 0.0);
    if (const TDataExtractionThread* x = cast.Extraction())
        fmt::print("text export: {} ({} exports)\n", x->ExtractionFileName().string(),
                   x->Exports());
    if (!stored) {
        fmt::print(stderr, "marevo-cli: the cast was not stored: {}\n", EventLog().LastMessage());
        return 1;
    }
    if (linkLost) {
        fmt::print(stderr, "marevo-cli: probe link lost\n");
        return 3;
    }
    return 0;
}

} // namespace marevo::cli

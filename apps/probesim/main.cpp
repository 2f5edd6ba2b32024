// marevo-probesim: the instruments of a CTD station on pseudo-terminals (or given serial
// devices): the probe with its rosette and memory, the GPS receiver, the PAR reference sensor
// and the remote depth display. Prints one line per instrument, "<name> <device>", then runs
// until interrupted or for --duration seconds, logging what it hears to stderr.

#include "SimAux.h"
#include "SimProbe.h"
#include "SimProfile.h"

#include "foundation/DateTime.h"
#include "platform/Clock.h"

#include <CLI/CLI.hpp>
#include <fmt/core.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace marevo;
using namespace marevo::sim;

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) {
    stopRequested = 1;
}

// One serial line of an instrument: the master side of a pseudo-terminal pair, or a device.
struct TLine {
    explicit TLine(std::string lineName) : name(std::move(lineName)) {}
    std::string name;
    int fd = -1;    // what the simulator reads and writes
    int slave = -1; // kept open so that the line stays up between the host's sessions
    std::string path;
    std::string link; // --link-dir: the name the program opens
    std::string pending;           // received, not yet handled
    std::FILE* capture = nullptr;  // --capture: every byte the line sent, as sent
    std::FILE* received = nullptr; // --capture, display line: every byte it received

    bool Open(const std::string& device) {
        if (!device.empty()) {
            fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0)
                return false;
            termios t{};
            if (::tcgetattr(fd, &t) == 0) {
                ::cfmakeraw(&t);
                ::cfsetspeed(&t, B9600);
                ::tcsetattr(fd, TCSANOW, &t);
            }
            path = device;
            return true;
        }
        char buffer[128] = {};
        if (::openpty(&fd, &slave, buffer, nullptr, nullptr) != 0)
            return false;
        termios t{};
        if (::tcgetattr(slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(slave, TCSANOW, &t);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        path = buffer;
        return true;
    }
    std::string Read() {
        std::string got;
        if (fd < 0)
            return got;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        if (received && !got.empty()) {
            std::fwrite(got.data(), 1, got.size(), received);
            std::fflush(received);
        }
        return got;
    }
    void Write(const std::string& bytes) {
        std::size_t done = 0;
        while (fd >= 0 && done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                pollfd p{fd, POLLOUT, 0};
                if (::poll(&p, 1, 5) <= 0)
                    break; // nobody reads: the line drops what it cannot hold
                continue;
            }
            if (capture) {
                std::fwrite(bytes.data() + done, 1, static_cast<std::size_t>(n), capture);
                std::fflush(capture);
            }
            done += static_cast<std::size_t>(n);
        }
    }
    // --link-dir: the line is announced as a link DIR/<name> to its device, as udev names a USB
    // adapter; the name stays when the device comes back as another pseudo-terminal.
    bool Publish(const std::string& dir) {
        if (dir.empty())
            return true;
        link = dir + "/" + name;
        ::unlink(link.c_str());
        return ::symlink(path.c_str(), link.c_str()) == 0;
    }
    // The device disappears (an adapter pulled out): the program reads a hang-up, the name goes.
    void Drop() {
        if (fd >= 0)
            ::close(fd);
        if (slave >= 0)
            ::close(slave);
        fd = slave = -1;
        if (!link.empty())
            ::unlink(link.c_str());
    }
    std::string Shown() const { return link.empty() ? path : link; }
    void Close() {
        Drop();
        if (capture)
            std::fclose(capture);
        if (received)
            std::fclose(received);
        capture = received = nullptr;
    }
};

std::string Printable(const std::string& bytes) {
    std::string s;
    for (unsigned char c : bytes)
        s += (c >= 32 && c < 127) ? std::string(1, char(c)) : fmt::format("<{:02X}>", c);
    return s;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Simulated CTD station instruments on pseudo-terminals"};
    TSimProbeSettings settings;
    std::string channels = "0,1,2,82,83,239,25,12";
    std::string castFile, faults;
    std::string probeDevice, gpsDevice, parDevice, displayDevice;
    TSyntheticCast synthetic;
    double duration = 0;
    bool quiet = false;
    app.add_option("--format", settings.format, "data format until a DF command (5, 6 or 7)")
        ->check(CLI::IsMember({5, 6, 7}));
    app.add_option("--formats", settings.formats, "data formats the firmware accepts")
        ->delimiter(',')
        ->check(CLI::IsMember({5, 6, 7}));
    app.add_option("--rate", settings.scanRate, "scan rate [Hz]")->check(CLI::Range(1.0, 64.0));
    app.add_option("--channels", channels, "probe codes, ':3' for a 3-byte channel");
    app.add_option("--serial", settings.serial, "probe serial number (AAA-nnnnnnn)");
    app.add_option("--cast", castFile, "play a recorded cnv cast (.cnv or .cnv.bz2)");
    app.add_option("--bottom", synthetic.bottomPressure, "synthetic cast: bottom [dbar]");
    app.add_option("--winch-speed", synthetic.winchSpeed, "synthetic cast: winch speed [m/s]")
        ->check(CLI::PositiveNumber);
    app.add_option("--soak", synthetic.soakSeconds,
                   "synthetic cast: seconds at the soak depth before the descent")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--bottom-stay", synthetic.bottomSeconds,
                   "synthetic cast: seconds at the bottom (a cast in a minute: --soak 10 "
                   "--bottom 40 --winch-speed 2 --bottom-stay 5)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--rosette", settings.rosetteType, "rosette type (0 none, 1..6)")
        ->check(CLI::Range(0, 6));
    app.add_option("--close-seconds", settings.closeSeconds,
                   "s from a fire command to the bottle reported closed")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--positions", settings.rosettePositions, "rosette positions")
        ->check(CLI::Range(1, 36));
    int memoryCasts = 1;
    app.add_option("--memory-casts", memoryCasts, "casts recorded in the probe's memory")
        ->check(CLI::Range(0, 99));
    int memorySets = 600;
    app.add_option("--memory-sets", memorySets, "data sets of memory cast k: k times this")
        ->check(CLI::Range(1, 100000));
    app.add_option("--line-rate", settings.lineRate,
                   "bits per second of the probe line (paces a memory transfer)")
        ->check(CLI::Range(300.0, 4'000'000.0));
    app.add_option("--faults", faults,
                   "drop=P,flip=P,insert=P,silence=AT:S,gap=AT:S,bindata,lower,vanish=AT[:S],"
                   "lose-set=C:K[:N],flip-set=C:K[:N],stall=C:K[:N],rosette-mute=AT,"
                   "rosette-stuck,roserror=POS,cmderror=POS");
    app.add_option("--probe-device", probeDevice, "use this device instead of a pseudo-terminal");
    app.add_option("--gps-device", gpsDevice);
    app.add_option("--par-device", parDevice);
    app.add_option("--display-device", displayDevice);
    std::string captureDir, linkDir;
    app.add_option("--link-dir", linkDir,
                   "announce each line as a link DIR/<line> to its device (kept when a vanished "
                   "device comes back)");
    app.add_option("--capture", captureDir,
                   "write each line's sent bytes, unaltered, to DIR/<line>.bytes, and what the "
                   "display received to DIR/display.received");
    app.add_option("--duration", duration, "stop after this many seconds (0: until interrupted)");
    app.add_flag("--quiet", quiet, "log nothing but the device lines");
    CLI11_PARSE(app, argc, argv);

    std::shared_ptr<const IProfile> profile;
    try {
        settings.channels = ParseChannelList(channels);
        settings.faults = ParseFaults(faults);
        synthetic.seaBed = synthetic.bottomPressure + 10;
        settings.memory.clear();
        for (int k = 1; k <= memoryCasts; ++k)
            settings.memory.push_back({.number = k,
                                       .sets = memorySets * k,
                                       .mode = k % 2 ? "LINEAR" : "TIMED",
                                       .name = fmt::format("CAST{:03d}", k),
                                       .interval = 0.5,
                                       .start = 46080.4 + k * 0.1});
        profile = castFile.empty() ? MakeSyntheticProfile(synthetic)
                                   : LoadCnvProfile(castFile, settings.scanRate);
    } catch (const std::exception& e) {
        fmt::print(stderr, "marevo-probesim: {}\n", e.what());
        return 2;
    }

    TLine probeLine{"probe"}, gpsLine{"gps"}, parLine{"par"}, displayLine{"display"};
    for (auto [line, device] : {std::pair{&probeLine, &probeDevice},
                                {&gpsLine, &gpsDevice},
                                {&parLine, &parDevice},
                                {&displayLine, &displayDevice}}) {
        if (!line->Open(*device)) {
            fmt::print(stderr, "marevo-probesim: cannot open the {} line {}\n", line->name,
                       *device);
            return 1;
        }
        if (!line->Publish(linkDir)) {
            fmt::print(stderr, "marevo-probesim: cannot link the {} line in {}\n", line->name,
                       linkDir);
            return 1;
        }
        fmt::print("{} {}\n", line->name, line->Shown());
        if (!captureDir.empty()) {
            const std::string file = captureDir + "/" + line->name + ".bytes";
            line->capture = std::fopen(file.c_str(), "wb");
            if (!line->capture) {
                fmt::print(stderr, "marevo-probesim: cannot write {}\n", file);
                return 1;
            }
        }
    }
    if (!captureDir.empty()) {
        const std::string file = captureDir + "/display.received";
        displayLine.received = std::fopen(file.c_str(), "wb");
        if (!displayLine.received) {
            fmt::print(stderr, "marevo-probesim: cannot write {}\n", file);
            return 1;
        }
    }
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    TSystemClock clock;
    TSimProbe probe(settings, profile);
    TSimGps gps;
    TSimPar par;
    const auto log = [&](const std::string& text) {
        if (!quiet)
            fmt::print(stderr, "{:9.3f} {}\n", (clock.TickMs() % 1000000000) / 1000.0, text);
    };
    log(fmt::format("profile: {}; frame {} bytes in DF{}", profile->Describe(), probe.FrameSize(),
                    probe.Format()));

    const std::uint64_t start = clock.TickMs();
    std::uint64_t nextGps = start;
    std::size_t commandsLogged = 0;
    bool flowing = false;
    bool vanished = false;
    std::optional<std::uint64_t> flowStartMs; // when the first data flow started
    while (!stopRequested) {
        const std::uint64_t now = clock.TickMs();
        const double t = (now - start) / 1000.0;
        if (duration > 0 && t > duration)
            break;
        // The adapter goes vanishAt s into the data flow, and comes back vanishFor s later.
        const TSimFaults& faults = settings.faults;
        const double flowT = flowStartMs ? (now - *flowStartMs) / 1000.0 : -1;
        if (faults.vanishAt >= 0 && flowT >= faults.vanishAt && !vanished) {
            log("fault: the probe port disappears");
            probeLine.Drop();
            vanished = true;
        }
        if (vanished && probeLine.fd < 0 && faults.vanishFor >= 0 &&
            flowT >= faults.vanishAt + faults.vanishFor) {
            // Back as a new device; with --link-dir under the same name.
            if (probeLine.Open(probeDevice) && probeLine.Publish(linkDir))
                log("fault: the probe port is back as " + probeLine.Shown());
        }

        const std::string in = probeLine.Read();
        if (!in.empty())
            probe.Receive({reinterpret_cast<const std::uint8_t*>(in.data()), in.size()}, now);
        probeLine.Write(probe.TakeOutput(now));
        for (; commandsLogged < probe.Commands().size(); ++commandsLogged)
            log("probe <- " + probe.Commands()[commandsLogged]);
        if (probe.Flowing() != flowing) {
            flowing = probe.Flowing();
            if (flowing && !flowStartMs)
                flowStartMs = now;
            log(flowing
                    ? fmt::format("probe: data flow DF{} at {} Hz", probe.Format(),
                                  settings.scanRate)
                    : fmt::format("probe: data flow stopped after {} frames", probe.FramesSent()));
        }

        if (now >= nextGps) {
            // NMEA times are UTC: days since 1899-12-30 of the Unix time.
            const auto unixMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
            gpsLine.Write(gps.Sentences(t, 25569.0 + unixMs / 86'400'000.0));
            nextGps += 1000;
        }

        parLine.pending += parLine.Read();
        for (std::size_t eol; (eol = parLine.pending.find('\n')) != std::string::npos;) {
            std::string request = parLine.pending.substr(0, eol);
            parLine.pending.erase(0, eol + 1);
            if (!request.empty() && request.back() == '\r')
                request.pop_back();
            parLine.Write(par.Reply(request, TSimPar::VoltsAt(t)));
        }

        const std::string shown = displayLine.Read();
        if (!shown.empty())
            log("display <- " + Printable(shown));

        ::usleep(2000);
    }
    for (TLine* line : {&probeLine, &gpsLine, &parLine, &displayLine})
        line->Close();
    return 0;
}

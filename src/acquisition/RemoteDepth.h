#pragma once
// The remote depth repeater: a worker that rewrites the remote depth display (RDRLines.h) at its
// refresh interval, and sends the operator's message or a full initialisation on request.
//
// TRDRLoop is the worker's body as a step function of (time, requests) on the clock seam, so its
// timing is tested on a fake clock without threads. TRemoteDepthThread runs it on a thread of
// its own, woken by its wake-up event. What the display shows is read as copies: the
// collection's published snapshot and a small record the GUI thread keeps (TRDRPanel).

#include "acquisition/RDRLines.h"
#include "foundation/SeqLock.h"
#include "platform/Clock.h"
#include "platform/SerialDevice.h"
#include "platform/WakeEvent.h"
#include "processing/ParamCollection.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace marevo {

class TEnviron;

// The error box of a port that cannot be opened or configured.
inline constexpr std::string_view RDRPortError =
    "Error in RDR InitComPort during communication port initialization";

// Requests to the worker, as bits.
enum TRDRRequest : unsigned {
    rdr_Exit = 1u,    // leave the loop
    rdr_Message = 2u, // send the message line
    rdr_Init = 4u,    // initialise, update, send the message line
};

// Bound of every wait on the port [ms]: for the driver to take a line, for the output to drain.
constexpr std::uint32_t RDRPortWaitMs = 1000;

// The refresh interval [ms] of a stored interval [s]; below 1 s counts as 1 s.
std::uint32_t RDRIntervalMs(std::int32_t refreshSeconds);

// The line settings of a port text ("COM3:9600,n,8,1,n"): the text after ":" less its fifth
// (flow-control) field when it has one. Nothing when the rest is no valid mode text.
std::optional<TSerialSettings> RDRLineSettings(std::string_view commCfgStr);

// Opens device at path with the line settings of the port text commCfgStr (see RDRLineSettings).
// On failure: the error box RDRPortError, the device closed, false.
bool OpenRDRPort(ISerialDevice& device, const std::string& path, std::string_view commCfgStr);

// What the view mirrors after an update.
struct TRDRShown {
    std::string depth; // pressure + "dbar"
    bool showSpeed = false;
    std::string caption; // "ALARM:" or "SPEED:"
    std::string alarm;   // the alarm text, or speed + "m/s"
    std::string status;  // " RUN   ALR: " + last alarm, or " STOP"
};
TRDRShown RDRShownOf(const TRDRValues& values);

class TRDRLoop {
public:
    // values: a copy of what the display shows now, read at every update.
    TRDRLoop(ISerialDevice& port, IClock& clock, std::function<TRDRValues()> values,
             std::int32_t refreshSeconds);

    // Called after every update with what it showed (on the worker's thread; must not wait for
    // the main thread).
    std::function<void(const TRDRShown&)> Shown;

    // Initialisation at time now; the first update is due one interval later.
    void Start(std::uint64_t now);
    // Serves the requests, then the update when due (it keeps its own deadline whatever the
    // requests). False when the requests hold rdr_Exit: nothing is written then.
    bool Step(std::uint64_t now, unsigned requests);
    // Time until the next update is due [ms] (0 when overdue).
    std::uint32_t WaitMs(std::uint64_t now) const;
    std::uint64_t NextUpdate() const { return nextUpdate_; }

    // The sequences; each stops at its first failed write. True when all lines were written.
    bool InitRDR();
    bool SendData();
    bool SendMessageLine();

private:
    bool WriteSequence(const std::vector<std::string>& lines);
    bool WriteLine(std::string_view line);
    void WaitTransmitEmpty();

    ISerialDevice& port_;
    IClock& clock_;
    std::function<TRDRValues()> values_;
    std::uint64_t intervalMs_;
    std::uint64_t nextUpdate_ = 0;
};

// What the GUI thread keeps for the worker: the record button, the selector, the message
// editor's text, the depth alarms and the light level.
struct TRDRPanel {
    bool castRunning = false;
    bool showSpeed = false;
    char message[64] = {}; // UTF-8, zero-terminated
    TRDRAlarms alarms;
    std::int32_t light = 10;

    void SetMessage(std::string_view utf8);
};

// The sources of the display, safe to read from the worker; they outlive it.
class TRDRSources {
public:
    using TSnapshot = TParamCollection::TAcquiSnapshot;
    explicit TRDRSources(std::function<TSnapshot()> snapshot) : snapshot_(std::move(snapshot)) {}

    // GUI thread.
    void SetPanel(const TRDRPanel& panel) { panel_.Store(panel); }
    TRDRPanel Panel() const { return panel_.Load(); }
    // Any thread: the values of one update.
    TRDRValues Read() const;

private:
    std::function<TSnapshot()> snapshot_;
    TSeqLock<TRDRPanel> panel_;
};

class TRemoteDepthThread {
public:
    // Opens the repeater's port (RDRCommPort through the port map) on device, exclusively, with
    // the line settings of its port text less the flow field. On failure: the error box, the
    // device closed, false.
    static bool InitComPort(const TEnviron& environ, ISerialDevice& device);

    // The worker over an open port; Start runs it. values is called on the worker's thread.
    TRemoteDepthThread(std::unique_ptr<ISerialDevice> port, std::function<TRDRValues()> values,
                       std::int32_t refreshSeconds, IClock& clock);
    // MyDestroy.
    ~TRemoteDepthThread();
    TRemoteDepthThread(const TRemoteDepthThread&) = delete;
    TRemoteDepthThread& operator=(const TRemoteDepthThread&) = delete;

    // Set before Start: see TRDRLoop::Shown.
    std::function<void(const TRDRShown&)> Shown;

    void Start();
    // The loop: initialisation, then updates and requests until the exit request.
    void Execute();
    // Requests (any thread).
    void SendMessage() { Request(rdr_Message); }
    void SendInitMessage() { Request(rdr_Init); }
    // Asks the worker to end, waits for it, then closes the port. Any thread but the worker's.
    void MyDestroy();
    bool Active() const { return active_; }

private:
    void Request(unsigned request);

    std::unique_ptr<ISerialDevice> port_;
    IClock& clock_;
    TRDRLoop loop_;
    std::atomic<unsigned> requests_{0};
    std::atomic<bool> active_{false};
    TWakeEvent wake_;
    std::thread thread_;
};

} // namespace marevo

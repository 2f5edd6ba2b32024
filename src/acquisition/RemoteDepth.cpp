#include "acquisition/RemoteDepth.h"

#include "foundation/Runtime.h"
#include "probelink/FileComm.h"
#include "records/Environ.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace marevo {

namespace {

// Pause between polls of the port while it is busy [ms].
constexpr std::uint32_t PortPollMs = 5;

} // namespace

std::uint32_t RDRIntervalMs(std::int32_t refreshSeconds) {
    // At most a day: anything longer is a typing slip, and the product stays inside 32 bits.
    return static_cast<std::uint32_t>(std::clamp<std::int32_t>(refreshSeconds, 1, 86400)) * 1000u;
}

std::optional<TSerialSettings> RDRLineSettings(std::string_view commCfgStr) {
    const std::size_t colon = commCfgStr.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string mode(commCfgStr.substr(colon + 1));
    if (std::count(mode.begin(), mode.end(), ',') == 4)
        mode.erase(mode.rfind(','));
    if (std::count(mode.begin(), mode.end(), ',') != 3)
        return std::nullopt;
    // The mode text with no flow control, read as a complete port text.
    const std::optional<TCommConfig> cfg = ParseCommConfig("COM1:" + mode + ",n");
    if (!cfg)
        return std::nullopt;
    return cfg->settings;
}

TRDRShown RDRShownOf(const TRDRValues& values) {
    TRDRShown shown;
    shown.depth = (values.pressure.Valid() ? RDRNumber(values.pressure.value) : "------") + "dbar";
    shown.showSpeed = values.showSpeed;
    shown.caption = values.showSpeed ? "SPEED:" : "ALARM:";
    shown.alarm = values.showSpeed ? RDRNumber(values.speed) + "m/s"
                                   : RDRAlarmText(values.direction, values.alarms);
    shown.status = values.castRunning ? " RUN   ALR: " + values.lastAlarm : " STOP";
    return shown;
}

// ---- TRDRLoop ----------------------------------------------------------------------------------

TRDRLoop::TRDRLoop(ISerialDevice& port, IClock& clock, std::function<TRDRValues()> values,
                   std::int32_t refreshSeconds)
    : port_(port), clock_(clock), values_(std::move(values)),
      intervalMs_(RDRIntervalMs(refreshSeconds)) {}

void TRDRLoop::Start(std::uint64_t now) {
    nextUpdate_ = now + intervalMs_;
    InitRDR();
}

bool TRDRLoop::Step(std::uint64_t now, unsigned requests) {
    if (requests & rdr_Exit)
        return false;
    if (requests & rdr_Init) {
        WaitTransmitEmpty();
        InitRDR();
        SendData();
        SendMessageLine();
    } else if (requests & rdr_Message) {
        WaitTransmitEmpty();
        SendMessageLine();
    }
    if (now >= nextUpdate_) {
        WaitTransmitEmpty();
        SendData();
        nextUpdate_ += intervalMs_;
        // After a long stall the next update comes one interval from now, not in a burst.
        if (nextUpdate_ <= now)
            nextUpdate_ = now + intervalMs_;
    }
    return true;
}

std::uint32_t TRDRLoop::WaitMs(std::uint64_t now) const {
    return now >= nextUpdate_ ? 0 : static_cast<std::uint32_t>(nextUpdate_ - now);
}

bool TRDRLoop::InitRDR() {
    return WriteSequence(RDRInitSequence(values_()));
}

bool TRDRLoop::SendData() {
    const TRDRValues values = values_();
    const bool written = WriteSequence(RDRUpdateSequence(values));
    if (Shown)
        Shown(RDRShownOf(values));
    return written;
}

bool TRDRLoop::SendMessageLine() {
    return WriteLine(RDRMessageLine(values_().message));
}

bool TRDRLoop::WriteSequence(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (!WriteLine(line))
            return false;
    return true;
}

bool TRDRLoop::WriteLine(std::string_view line) {
    const std::uint64_t deadline = clock_.TickMs() + RDRPortWaitMs;
    while (!line.empty()) {
        const std::ptrdiff_t n = port_.Write(line.data(), line.size());
        if (n < 0)
            return false;
        line.remove_prefix(static_cast<std::size_t>(n));
        if (!line.empty()) {
            if (clock_.TickMs() >= deadline)
                return false;
            clock_.SleepMs(PortPollMs);
        }
    }
    return true;
}

void TRDRLoop::WaitTransmitEmpty() {
    const std::uint64_t deadline = clock_.TickMs() + RDRPortWaitMs;
    while (port_.OutputPending() > 0 && clock_.TickMs() < deadline)
        clock_.SleepMs(PortPollMs);
}

// ---- Sources -----------------------------------------------------------------------------------

void TRDRPanel::SetMessage(std::string_view utf8) {
    std::memset(message, 0, sizeof message);
    // Whole characters only: never cut inside a UTF-8 sequence.
    std::size_t n = std::min(utf8.size(), sizeof message - 1);
    while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(message, utf8.data(), n);
}

TRDRValues TRDRSources::Read() const {
    const TSnapshot snapshot = snapshot_ ? snapshot_() : TSnapshot{};
    const TRDRPanel panel = panel_.Load();
    TRDRValues v;
    v.pressure = snapshot.Pres;
    v.direction = snapshot.Direction;
    v.speed = static_cast<double>(snapshot.SpeedLow);
    v.lastAlarm.assign(snapshot.LastAlarm, strnlen(snapshot.LastAlarm, sizeof snapshot.LastAlarm));
    v.showSpeed = panel.showSpeed;
    v.castRunning = panel.castRunning;
    v.message.assign(panel.message, strnlen(panel.message, sizeof panel.message));
    v.alarms = panel.alarms;
    v.light = panel.light;
    return v;
}

// ---- TRemoteDepthThread ------------------------------------------------------------------------

bool OpenRDRPort(ISerialDevice& device, const std::string& path, std::string_view commCfgStr) {
    const std::optional<TSerialSettings> settings = RDRLineSettings(commCfgStr);
    if (!path.empty() && settings && device.Open(path, *settings))
        return true;
    device.Close();
    Operator().Message(RDRPortError, "Error", TMessageKind::Error);
    return false;
}

bool TRemoteDepthThread::InitComPort(const TEnviron& environ, ISerialDevice& device) {
    return OpenRDRPort(device, environ.PortDeviceName(environ.RDRCommPort),
                       environ.RDRCommPort.CommCfgStr.Get());
}

TRemoteDepthThread::TRemoteDepthThread(std::unique_ptr<ISerialDevice> port,
                                       std::function<TRDRValues()> values,
                                       std::int32_t refreshSeconds, IClock& clock)
    : port_(std::move(port)), clock_(clock),
      loop_(*port_, clock, std::move(values), refreshSeconds) {}

TRemoteDepthThread::~TRemoteDepthThread() {
    MyDestroy();
}

void TRemoteDepthThread::Start() {
    if (thread_.joinable())
        return;
    loop_.Shown = Shown;
    // Cleared here, not by the thread: a stop asked right after the start must not be lost.
    requests_ = 0;
    wake_.Reset();
    active_ = true;
    thread_ = std::thread([this] { Execute(); });
}

void TRemoteDepthThread::Execute() {
    loop_.Start(clock_.TickMs());
    for (;;) {
        wake_.Wait(clock_, loop_.WaitMs(clock_.TickMs()));
        if (!loop_.Step(clock_.TickMs(), requests_.exchange(0)))
            break;
    }
    wake_.Reset();
}

void TRemoteDepthThread::Request(unsigned request) {
    requests_.fetch_or(request);
    wake_.Signal();
}

void TRemoteDepthThread::MyDestroy() {
    active_ = false;
    if (thread_.joinable()) {
        Request(rdr_Exit);
        thread_.join();
    }
    if (port_)
        port_->Close();
}

} // namespace marevo

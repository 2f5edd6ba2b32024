#include "acquisition/AcquiThread.h"

#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "probelink/InputBuffer.h"
#include "records/Environ.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace marevo {

namespace {

double PeriodOr(double seconds, double fallback) {
    return std::isfinite(seconds) && seconds > 0 ? seconds : fallback;
}

std::uint64_t Ms(double seconds) {
    return static_cast<std::uint64_t>(std::llround(seconds * 1000.0));
}

// The worker saves before the ring is half full, so a late save never loses received bytes.
constexpr std::int64_t RawSaveBacklog = RingSize / 2;

} // namespace

TAcquiPeriods TAcquiPeriods::FromRefreshRate(const double (&rate)[5]) {
    TAcquiPeriods p;
    p.plot = PeriodOr(rate[0], p.plot);
    p.values = PeriodOr(rate[1], p.values);
    p.save = PeriodOr(rate[2], p.save);
    return p;
}

TAcquiSetup TAcquiSetup::From(const TConfig& config, const TEnviron& environ,
                              const std::filesystem::path& fileName, std::int32_t firstBottle) {
    TAcquiSetup s;
    s.FileName = fileName;
    s.FirstBottle = firstBottle;
    s.periods = TAcquiPeriods::FromRefreshRate(environ.RefreshRate);
    for (int i = 0; i < AlarmCount; ++i)
        s.alarmChecked[i] = config.GenCfg.AlarmChecked[i] != 0;
    s.startMode = config.AcquiCfg.AutoStart;
    s.timeStart = config.AcquiCfg.TimeStart;
    s.timeEnd = config.AcquiCfg.TimeEnd;
    return s;
}

std::string AcquiStatusText(TRealTimeStatus status, TStartMode mode, TDateTime timeStart,
                            TDateTime timeEnd) {
    const auto clock = [](TDateTime t) {
        std::string text;
        if (!Guard({"Error in AcquiStatusStr"}, [&] { text = FormatDateTime("HH:mm:ss", t); }))
            text = "??:??:??";
        return text;
    };
    switch (status) {
    case rt_none: return "None";
    case rt_wait:
        if (mode == SM_TimeStart)
            return "Waiting " + clock(timeStart);
        return mode == SM_Immersion ? "Waiting immersion" : "Waiting ";
    case rt_starting: return "Run ";
    case rt_run:
        if (mode == SM_TimeStart)
            return "Run / Auto Stop at " + clock(timeEnd);
        return mode == SM_Immersion ? "Run /Auto Stop with immersion" : "Run";
    case rt_ending: return "Ending";
    case rt_end: return "END";
    case rt_nodata: break;
    }
    return std::string(RTStatusName(status));
}

TAlarmCheck CheckAlarms(const bool (&on)[AlarmCount], const bool (&checked)[AlarmCount]) {
    TAlarmCheck result;
    for (int i = 0; i < AlarmCount; ++i) {
        if (on[i] && checked[i]) {
            result.on = true;
            result.text = std::string(AlarmName(static_cast<TAlarmType>(i)));
        }
    }
    return result;
}

TBlinkState BlinkPhase(bool onPhase, bool recording, bool noData, const TAlarmCheck& alarm) {
    TBlinkState s;
    if (onPhase)
        s.record = (!recording || noData) ? TRecordPicture::Pause : TRecordPicture::Record;
    if (alarm.on) {
        s.alarmPicture = onPhase;
        if (onPhase)
            s.alarmPanel = alarm.text;
    }
    return s;
}

// ---- The worker -------------------------------------------------------------------------------

TAcquiThread::TAcquiThread(IAcquiCast& cast, IAcquiView& view, TAcquiSetup setup,
                           IAlarmSound* sound)
    : cast_(cast), view_(view), setup_(std::move(setup)), sound_(sound),
      currentBottleNumber_(setup_.FirstBottle - 1), plotMs_(Ms(setup_.periods.plot)),
      valuesMs_(Ms(setup_.periods.values)), statusMs_(Ms(setup_.periods.save)),
      rawSaveMs_(std::min(Ms(setup_.periods.save), RawSaveMaxGapMs)) {}

TAcquiThread::~TAcquiThread() {
    Terminate();
    if (thread_.joinable())
        WaitFor(MainThread());
}

void TAcquiThread::Hand(const std::function<void()>& step) {
    if (!terminated_)
        MainThread().Run(step);
}

bool TAcquiThread::Due(std::optional<std::uint64_t>& last, std::uint64_t now,
                       std::uint64_t periodMs) {
    if (last && now - *last <= periodMs)
        return false;
    last = now;
    return true;
}

void TAcquiThread::Begin() {
    cast_.SendStartData();
    cast_.MarkStart(Clock().Now());
    StatusMessage("Probe start send data");
    const std::uint64_t now = Clock().TickMs();
    // The plot is drawn in the first pass; the other periods count from now.
    tUpdatePlot_.reset();
    tUpdateValues_ = tStatus_ = tSaveRaw_ = tBlink_ = tSound_ = now;
    blinkToggle_ = false;
    alarm_ = {};
    alarmOn_ = false;
    frameSeen_ = false;
    const std::string status =
        AcquiStatusText(cast_.RTStatus(), setup_.startMode, setup_.timeStart, setup_.timeEnd);
    shown_ = {ls_offline, cast_.UsesNmea() ? ls_offline : ls_unconfigured,
              cast_.UsesExternal() ? ls_offline : ls_unconfigured};
    for (int i = 0; i < LinkCount; ++i)
        links_[i] = shown_[i];
    const TLinkStates links = shown_;
    Hand([&] {
        view_.AcquiStatusStr(status);
        view_.ShowLinks(links);
    });
}

bool TAcquiThread::Continues() const {
    return !terminated_ && !cast_.EndOfStream() && !autoStopped_;
}

bool TAcquiThread::Pass() {
    if (terminated_)
        return false;
    // 1. The next frame.
    const bool newFrame = cast_.DoAcqui();
    frameSeen_ = frameSeen_ || newFrame;
    // 2. Alarms, then the bottles.
    CheckAlarm();
    if (FiringHook)
        FiringHook();
    const std::uint64_t t = Clock().TickMs();
    // 3. The alarm tone, when the operator leaves the alarm button down.
    if (alarm_.on && t - *tSound_ > AlarmSoundPeriodMs && alarmButtonDown_) {
        if (sound_)
            Hand([&] { sound_->Play(); });
        tSound_ = t;
    }
    // 4. The plot.
    if (Due(tUpdatePlot_, t, plotMs_))
        Hand([&] { view_.UpdatePlot(); });
    // 5. The values, only after a new frame.
    if (newFrame && t - *tUpdateValues_ > valuesMs_) {
        tUpdateValues_ = t;
        TAcquiLive live;
        live.status = cast_.RTStatus();
        live.pres = cast_.Pressure();
        live.frames = cast_.Frames();
        live.links = shown_;
        live.alarmOn = alarm_.on;
        live.alarmText = alarm_.text;
        const std::string bottles = cast_.BottlePanel();
        Hand([&] {
            view_.UpdateCurValue(live);
            view_.SetCastInfoFields();
            view_.ShowBottlePanel(bottles);
        });
    }
    // 6. The status message and the cast header, at the save period; the raw bytes in every
    // state, at least once a second and before the ring is half full.
    if (Due(tStatus_, t, statusMs_)) {
        const std::string status =
            AcquiStatusText(cast_.RTStatus(), setup_.startMode, setup_.timeStart, setup_.timeEnd);
        Hand([&] {
            view_.AcquiStatusStr(status);
            if (view_.CastInfoModified())
                view_.UpdateCastInfo();
        });
    }
    SaveToRaw(t);
    // 7. The blinking buttons.
    if (Due(tBlink_, t, BlinkPeriodMs)) {
        blinkToggle_ = !blinkToggle_;
        const TBlinkState blink =
            BlinkPhase(blinkToggle_, cast_.RTStatus() == rt_run, cast_.Links().noData, alarm_);
        Hand([&] { view_.BlinkButton(blink); });
    }
    // 8. The link indicators.
    UpdateLinks();
    if (cast_.StopRequested())
        autoStopped_ = true;
    return newFrame;
}

void TAcquiThread::CheckAlarm() {
    bool on[AlarmCount]{};
    cast_.EvaluateAlarms(on);
    alarm_ = CheckAlarms(on, setup_.alarmChecked);
    alarmOn_ = alarm_.on;
}

void TAcquiThread::SaveToRaw(std::uint64_t now) {
    if (terminated_ || !frameSeen_)
        return;
    const bool backlog = cast_.UnsavedBytes() > RawSaveBacklog;
    if (!backlog && now - *tSaveRaw_ <= rawSaveMs_)
        return;
    tSaveRaw_ = now;
    if (cast_.SavableBytes() > 0)
        cast_.SaveToRaw();
}

void TAcquiThread::UpdateLinks() {
    const TSourceLinks src = cast_.Links();
    TLinkStates next = shown_;
    next[0] = src.ctdOff ? ls_linkoff : ls_linkon;
    if (cast_.UsesNmea())
        next[1] = src.nmeaOff ? ls_linkoff : ls_linkon;
    if (cast_.UsesExternal())
        next[2] = src.parOff ? ls_linkoff : ls_linkon;
    if (next == shown_)
        return;
    shown_ = next;
    for (int i = 0; i < LinkCount; ++i)
        links_[i] = next[i];
    Hand([&] { view_.ShowLinks(next); });
}

void TAcquiThread::End() {
    cast_.DoAcquiEnd();
    StatusMessage("End of Data Acquisition");
    const TAcquiCounts c = cast_.Counts();
    WriteLog("End Acq: Frame[" + std::to_string(c.frames) + "] Invalid[" +
             std::to_string(c.invalid) + "]" + "Validate errors[" + std::to_string(c.validation) +
             "]");
    WriteLog("CRC[" + std::to_string(c.crc) + "] TIME[" + std::to_string(c.time) + "]");
}

void TAcquiThread::Execute() {
    Guard({"Error in AcquiThread.Execute"}, [&] {
        Begin();
        while (Continues()) {
            if (!Pass() && Continues())
                wake_.Wait(Clock(), IdleWaitMs);
        }
    });
    Guard({"Error in AcquiThread.End"}, [&] { End(); });
}

void TAcquiThread::Start() {
    if (thread_.joinable())
        return;
    finished_ = false;
    thread_ = std::thread([this] {
        const auto started = std::chrono::steady_clock::now();
        Execute();
        timespec cpu{};
        if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu) == 0)
            cpuSeconds_ = double(cpu.tv_sec) + double(cpu.tv_nsec) / 1e9;
        runSeconds_ =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        finished_ = true;
    });
}

void TAcquiThread::Terminate() {
    terminated_ = true;
    wake_.Signal();
}

void TAcquiThread::WaitFor(IMainThread& mainThread) {
    while (thread_.joinable() && !finished_)
        mainThread.Serve(5);
    if (thread_.joinable())
        thread_.join();
}

} // namespace marevo

#pragma once
// TAcquiThread: the worker of a real-time cast. It tells the probe to start sending, then takes
// frames through the pipeline as they come, checks the alarms, saves the received bytes, and
// refreshes the plot, the values, the status and the blinking buttons at their own periods. The
// windows are reached only through IAcquiView steps handed to the main thread; the link
// indicators and the alarm state are kept here, with atomic copies for the main thread.
//
// A pass (Pass) is a plain function of the clock seam, so the timing is tested on a fake clock
// without threads; Execute is Begin, passes until the cast ends, End; Start runs Execute on a
// thread of its own. After a pass that found no frame the worker waits briefly on its wake-up
// event, so a quiet probe costs no processor and a stop request is seen at once.

#include "acquisition/AcquiCast.h"
#include "acquisition/AcquiView.h"
#include "platform/MainThread.h"
#include "platform/Sound.h"
#include "platform/WakeEvent.h"
#include "records/Config.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace marevo {

class TEnviron;

// Refresh periods [s]: plot, values, status and cast header (the environment's RefreshRate
// elements 0, 1, 2). A period that is not a positive number takes its default.
struct TAcquiPeriods {
    double plot = 5.0;
    double values = 0.1;
    double save = 10.0;
    static TAcquiPeriods FromRefreshRate(const double (&rate)[5]);
};

// Fixed timings [ms].
constexpr std::uint64_t BlinkPeriodMs = 500;
constexpr std::uint64_t AlarmSoundPeriodMs = 600;
// Raw bytes are saved at least this often, whatever the save period says.
constexpr std::uint64_t RawSaveMaxGapMs = 1000;
// Wait after a pass without a frame.
constexpr std::uint32_t IdleWaitMs = 5;

// What the worker takes from the settings when it is made.
struct TAcquiSetup {
    std::filesystem::path FileName; // the cast's .raw file
    std::int32_t FirstBottle = 0;
    TAcquiPeriods periods;
    bool alarmChecked[AlarmCount]{};  // GenCfg.AlarmChecked
    TStartMode startMode = SM_Manual; // AcquiCfg.AutoStart
    TDateTime timeStart = 0;          // AcquiCfg.TimeStart
    TDateTime timeEnd = 0;            // AcquiCfg.TimeEnd
    static TAcquiSetup From(const TConfig& config, const TEnviron& environ,
                            const std::filesystem::path& fileName, std::int32_t firstBottle);
};

// The status message of a real-time state under the configured start mode and times.
std::string AcquiStatusText(TRealTimeStatus status, TStartMode mode, TDateTime timeStart,
                            TDateTime timeEnd);

// The alarm evaluation of one pass: whether an enabled alarm is on, and the name of the last one.
struct TAlarmCheck {
    bool on = false;
    std::string text;
};
TAlarmCheck CheckAlarms(const bool (&on)[AlarmCount], const bool (&checked)[AlarmCount]);

// The buttons in one blink phase.
TBlinkState BlinkPhase(bool onPhase, bool recording, bool noData, const TAlarmCheck& alarm);

class TAcquiThread {
public:
    // sound: the alarm tone (null: none).
    TAcquiThread(IAcquiCast& cast, IAcquiView& view, TAcquiSetup setup,
                 IAlarmSound* sound = nullptr);
    // Asks the thread to end and waits for it (serving the main thread's hand-offs meanwhile).
    ~TAcquiThread();
    TAcquiThread(const TAcquiThread&) = delete;
    TAcquiThread& operator=(const TAcquiThread&) = delete;

    // Called in each pass after the alarms: the bottle firing.
    std::function<void()> FiringHook;

    // ---- The body, piece by piece -------------------------------------------------------------
    // Start of the data flow, start time, first states of the links and the timers.
    void Begin();
    // One pass; true when it processed a new frame. Nothing when terminated.
    bool Pass();
    // The loop goes on: the stream is open, no stop asked, no automatic stop met.
    bool Continues() const;
    // Closes the acquisition and writes the end report.
    void End();
    // Begin, passes (waiting briefly after those without a frame) while Continues, End.
    void Execute();

    // ---- The thread ---------------------------------------------------------------------------
    void Start();
    // Asks the loop to end; the current pass finishes, later ones are skipped.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Waits for the thread's end on the main thread, running the steps it hands over meanwhile.
    void WaitFor(IMainThread& mainThread);
    bool Finished() const { return finished_; }
    // Once Finished: the processor time the thread used [s] (CLOCK_THREAD_CPUTIME_ID) and the
    // time it ran [s].
    double CpuSeconds() const { return cpuSeconds_; }
    double RunSeconds() const { return runSeconds_; }

    // ---- Read and set by the main thread ------------------------------------------------------
    void SetAlarmButtonDown(bool down) { alarmButtonDown_ = down; }
    TLinkStatus LinkState(TLink link) const { return links_[static_cast<int>(link)]; }
    bool ALarmIsOn() const { return alarmOn_; }
    // The pipeline met the cast's stop condition: the main thread ends the cast.
    bool AutoStopped() const { return autoStopped_; }

    const TAcquiSetup& Setup() const { return setup_; }
    bool BlinkToggle() const { return blinkToggle_; }
    std::int32_t CurrentBottleNumber() const { return currentBottleNumber_; }

private:
    // Runs step on the main thread and waits; dropped once the end is asked.
    void Hand(const std::function<void()>& step);
    bool Due(std::optional<std::uint64_t>& last, std::uint64_t now, std::uint64_t periodMs);
    void CheckAlarm();
    void SaveToRaw(std::uint64_t now);
    void UpdateLinks();

    IAcquiCast& cast_;
    IAcquiView& view_;
    TAcquiSetup setup_;
    IAlarmSound* sound_;
    std::int32_t currentBottleNumber_;

    std::uint64_t plotMs_, valuesMs_, statusMs_, rawSaveMs_;
    std::optional<std::uint64_t> tUpdatePlot_, tUpdateValues_, tStatus_, tSaveRaw_, tBlink_,
        tSound_;
    bool blinkToggle_ = false;
    bool frameSeen_ = false;
    TAlarmCheck alarm_;
    TLinkStates shown_{ls_offline, ls_offline, ls_offline};

    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<double> cpuSeconds_{0};
    std::atomic<double> runSeconds_{0};
    std::atomic<bool> autoStopped_{false};
    std::atomic<bool> alarmButtonDown_{true};
    std::atomic<bool> alarmOn_{false};
    std::atomic<TLinkStatus> links_[LinkCount]{ls_offline, ls_offline, ls_offline};
    TWakeEvent wake_;
    std::thread thread_;
};

} // namespace marevo

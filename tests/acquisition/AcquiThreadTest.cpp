#include "acquisition/AcquiThread.h"

#include "foundation/Runtime.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace marevo {
namespace {

using test::TTestEnv;

// What happened, when: every call of the cast, the view, the sound and the firing hook.
struct TJournal {
    struct TEntry {
        std::uint64_t ms; // fake time since the start
        std::string what;
    };
    std::vector<TEntry> entries;
    std::uint64_t origin = 0;
    IClock* clock = nullptr;

    void Add(const std::string& what) { entries.push_back({clock->TickMs() - origin, what}); }
    std::vector<std::uint64_t> Times(const std::string& what) const {
        std::vector<std::uint64_t> t;
        for (const TEntry& e : entries)
            if (e.what == what)
                t.push_back(e.ms);
        return t;
    }
    std::size_t Count(const std::string& what) const { return Times(what).size(); }
};

// A cast whose frames arrive on a timetable of fake time: framePeriodMs apart from firstFrameMs
// on (each frame 40 bytes); links, state and alarms as the test sets them.
class TScriptedCast final : public IAcquiCast {
public:
    explicit TScriptedCast(TJournal& j) : j_(j) {}

    void SendStartData() override { j_.Add("SendStartData"); }
    void MarkStart(TDateTime) override { j_.Add("MarkStart"); }
    bool DoAcqui() override {
        j_.Add("DoAcqui");
        const std::uint64_t now = j_.clock->TickMs() - j_.origin;
        if (framePeriodMs == 0 || now < nextFrameMs)
            return false;
        nextFrameMs = now + framePeriodMs;
        ++frames;
        unsaved += FrameBytes;
        return true;
    }
    void EvaluateAlarms(bool (&on)[AlarmCount]) override {
        j_.Add("EvaluateAlarms");
        std::copy(std::begin(alarms), std::end(alarms), on);
    }
    TRealTimeStatus RTStatus() const override { return status; }
    TFlaggedValue Pressure() const override { return TFlaggedValue{12.5f, 0}; }
    std::int32_t Frames() const override { return frames; }
    std::int64_t UnsavedBytes() const override { return unsaved; }
    // An ordinary save holds the newest frame back.
    std::int64_t SavableBytes() const override {
        return std::max<std::int64_t>(0, unsaved - FrameBytes);
    }
    void SaveToRaw() override {
        j_.Add("SaveToRaw");
        saved += SavableBytes();
        unsaved = std::min<std::int64_t>(unsaved, FrameBytes);
    }
    TSourceLinks Links() const override { return links; }
    bool UsesNmea() const override { return nmea; }
    bool UsesExternal() const override { return external; }
    bool EndOfStream() const override { return endOfStream; }
    bool StopRequested() const override { return stopRequested; }
    std::string BottlePanel() const override { return "Ready"; }
    void DoAcquiEnd() override { j_.Add("DoAcquiEnd"); }
    TAcquiCounts Counts() const override { return {frames, 2, 3, 4, 5}; }

    static constexpr std::int64_t FrameBytes = 40;
    std::uint64_t framePeriodMs = 0; // 0: the probe sends nothing
    std::uint64_t nextFrameMs = 0;
    std::int32_t frames = 0;
    std::int64_t unsaved = 0;
    std::int64_t saved = 0;
    TRealTimeStatus status = rt_run;
    bool alarms[AlarmCount]{};
    TSourceLinks links;
    bool nmea = false, external = false, endOfStream = false, stopRequested = false;

private:
    TJournal& j_;
};

class TRecordingView final : public IAcquiView {
public:
    explicit TRecordingView(TJournal& j) : j_(j) {}
    void UpdatePlot() override { j_.Add("UpdatePlot"); }
    void UpdateCurValue(const TAcquiLive& l) override {
        j_.Add("UpdateCurValue");
        live = l;
    }
    void SetCastInfoFields() override { j_.Add("SetCastInfoFields"); }
    bool CastInfoModified() override { return headerModified; }
    void UpdateCastInfo() override { j_.Add("UpdateCastInfo"); }
    void AcquiStatusStr(const std::string& text) override {
        j_.Add("AcquiStatusStr");
        status.push_back(text);
    }
    void BlinkButton(const TBlinkState& s) override {
        j_.Add("BlinkButton");
        blinks.push_back(s);
    }
    void ShowLinks(const TLinkStates& l) override {
        j_.Add("ShowLinks");
        links.push_back(l);
    }
    void ShowBottlePanel(const std::string&) override { j_.Add("ShowBottlePanel"); }

    bool headerModified = false;
    TAcquiLive live;
    std::vector<std::string> status;
    std::vector<TBlinkState> blinks;
    std::vector<TLinkStates> links;

private:
    TJournal& j_;
};

class TJournalSound final : public IAlarmSound {
public:
    explicit TJournalSound(TJournal& j) : j_(j) {}
    void Play() override { j_.Add("Play"); }

private:
    TJournal& j_;
};

// A worker over a scripted cast on the test's fake clock, driven pass by pass.
struct TRig {
    TRig() {
        journal.clock = &env.clock;
        journal.origin = env.clock.TickMs();
        setup.periods = TAcquiPeriods{}; // 5 s, 0.1 s, 10 s
    }
    TAcquiThread& Make() {
        worker = std::make_unique<TAcquiThread>(cast, view, setup, &sound);
        worker->FiringHook = [this] { journal.Add("FiringHook"); };
        return *worker;
    }
    // Begin, then a pass every stepMs of fake time up to untilMs (inclusive).
    void Run(std::uint64_t untilMs, std::uint64_t stepMs = 1) {
        Make().Begin();
        RunMore(untilMs, stepMs);
    }
    void RunMore(std::uint64_t untilMs, std::uint64_t stepMs = 1) {
        while (env.clock.TickMs() - journal.origin <= untilMs) {
            worker->Pass();
            env.clock.AdvanceMs(stepMs);
        }
    }

    TTestEnv env;
    TJournal journal;
    TScriptedCast cast{journal};
    TRecordingView view{journal};
    TJournalSound sound{journal};
    TAcquiSetup setup;
    std::unique_ptr<TAcquiThread> worker;
};

// Gaps between successive times.
std::vector<std::uint64_t> Gaps(const std::vector<std::uint64_t>& t) {
    std::vector<std::uint64_t> g;
    for (std::size_t i = 1; i < t.size(); ++i)
        g.push_back(t[i] - t[i - 1]);
    return g;
}

TEST(AcquiThread, APassRunsItsStepsInOrder) {
    TRig rig;
    rig.cast.framePeriodMs = 31;
    rig.cast.alarms[al_down] = true;
    rig.setup.alarmChecked[al_down] = true;
    rig.view.headerModified = true;
    rig.Make().Begin();
    EXPECT_EQ(rig.journal.Times("SendStartData"), std::vector<std::uint64_t>{0});
    rig.journal.entries.clear();
    // Every period has passed: one pass does everything, in this order.
    rig.env.clock.AdvanceMs(11'000);
    ASSERT_TRUE(rig.worker->Pass());
    std::vector<std::string> order;
    for (const auto& e : rig.journal.entries)
        order.push_back(e.what);
    const std::vector<std::string> expected = {
        "DoAcqui",         "EvaluateAlarms",    "FiringHook",      "Play",
        "UpdatePlot",      "UpdateCurValue",    "SetCastInfoFields", "ShowBottlePanel",
        "AcquiStatusStr",  "UpdateCastInfo",    "SaveToRaw",       "BlinkButton",
        "ShowLinks"};
    // The first frame gives the ring nothing to save yet (the newest frame is held back).
    std::vector<std::string> withoutSave = expected;
    std::erase(withoutSave, "SaveToRaw");
    EXPECT_EQ(order, withoutSave);
    rig.journal.entries.clear();
    rig.env.clock.AdvanceMs(11'000);
    ASSERT_TRUE(rig.worker->Pass());
    order.clear();
    for (const auto& e : rig.journal.entries)
        order.push_back(e.what);
    // The links did not change: no indicator step.
    std::vector<std::string> again = expected;
    std::erase(again, "ShowLinks");
    EXPECT_EQ(order, again);
}

// The timing rules, in fake time, one pass every millisecond.
struct TTimingCase {
    const char* name;
    double refresh[3];          // RefreshRate 0..2 [s]
    std::uint64_t framePeriodMs; // 0: no frame
    std::uint64_t runMs;
    TRealTimeStatus state;
    // Expected, from the rules: the plot at the first pass and then each time more than its
    // period has passed; the values only in a pass with a frame, more than their period after
    // the last; the status at more than the save period; the raw bytes more than
    // min(save period, 1 s) after the last save, once a frame has come.
    std::vector<std::uint64_t> plots;
    std::size_t values;
    std::vector<std::uint64_t> status;
    std::vector<std::uint64_t> saves;
};

class AcquiTiming : public ::testing::TestWithParam<TTimingCase> {};

TEST_P(AcquiTiming, RefreshesAndSavesFollowTheirPeriods) {
    const TTimingCase& c = GetParam();
    TRig rig;
    double rate[5] = {c.refresh[0], c.refresh[1], c.refresh[2], 0, 0};
    rig.setup.periods = TAcquiPeriods::FromRefreshRate(rate);
    rig.cast.framePeriodMs = c.framePeriodMs;
    rig.cast.status = c.state;
    rig.Run(c.runMs);
    EXPECT_EQ(rig.journal.Times("UpdatePlot"), c.plots);
    EXPECT_EQ(rig.journal.Count("UpdateCurValue"), c.values);
    std::vector<std::uint64_t> status = rig.journal.Times("AcquiStatusStr");
    status.erase(status.begin()); // the one of the start
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(rig.journal.Times("SaveToRaw"), c.saves);
    // Values: never closer than their period, always in a pass with a frame.
    const double valueMs = rig.setup.periods.values * 1000;
    for (std::uint64_t gap : Gaps(rig.journal.Times("UpdateCurValue")))
        EXPECT_GT(double(gap), valueMs);
    if (c.framePeriodMs) {
        for (std::uint64_t t : rig.journal.Times("UpdateCurValue"))
            EXPECT_EQ(t % c.framePeriodMs, 0u) << t;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AcquiTiming,
    ::testing::Values(
        // Default periods, 32 Hz (a frame every 31 ms from 0): values at the first frame more
        // than 100 ms on (124, 248, ...: every 4th frame).
        TTimingCase{"Defaults", {5, 0.1, 10}, 31, 10'500, rt_run, {0, 5001, 10002},
                    10'500 / 124, {10'001}, {1001, 2002, 3003, 4004, 5005, 6006, 7007, 8008,
                                            9009, 10'010}},
        // Waiting for immersion: raw bytes are saved all the same.
        TTimingCase{"SavedWhileWaiting", {5, 0.1, 10}, 31, 3'000, rt_wait, {0}, 3'000 / 124,
                    {}, {1001, 2002}},
        // No frame: nothing to show or save; the plot and the status keep their periods.
        TTimingCase{"NoData", {5, 0.1, 10}, 0, 10'500, rt_wait, {0, 5001, 10002}, 0, {10'001},
                    {}},
        // A save period under a second is kept; values period of 0.5 s.
        TTimingCase{"ShortSavePeriod", {2, 0.5, 0.4}, 100, 1'000, rt_run, {0}, 1,
                    {401, 802}, {401, 802}},
        // Periods that are not positive numbers take their defaults.
        TTimingCase{"BadPeriodsTakeDefaults", {0, -1, 0}, 31, 1'100, rt_run, {0}, 1'100 / 124,
                    {}, {1001}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AcquiThread, ABacklogOfHalfTheRingIsSavedAtOnce) {
    TRig rig;
    rig.cast.framePeriodMs = 1;
    rig.Run(300);
    // 40 bytes a millisecond: at 250 frames 10 000 bytes wait; the next frame makes them more
    // than half of the 20 000-byte ring, long before the 1 s save.
    const auto saves = rig.journal.Times("SaveToRaw");
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0], 250u);
    EXPECT_LE(rig.cast.unsaved, 10'000);
}

TEST(AcquiThread, WithoutDataTheRecordButtonBlinksPausedAndTheProbeLinkTurnsRed) {
    TRig rig;
    rig.cast.status = rt_run;
    rig.cast.links.noData = true;
    rig.Make().Begin();
    rig.RunMore(4'999);
    rig.cast.links.ctdOff = true; // the source's verdict after 5 s of silence
    rig.RunMore(6'000);
    ASSERT_GE(rig.view.blinks.size(), 10u);
    for (std::size_t i = 0; i < rig.view.blinks.size(); ++i)
        EXPECT_EQ(rig.view.blinks[i].record,
                  i % 2 == 0 ? TRecordPicture::Pause : TRecordPicture::None);
    // Shown at the start (offline, GPS and EXT unused), then on (a pass without loss), then lost.
    ASSERT_EQ(rig.view.links.size(), 3u);
    EXPECT_EQ(rig.view.links[0], (TLinkStates{ls_offline, ls_unconfigured, ls_unconfigured}));
    EXPECT_EQ(rig.view.links[1], (TLinkStates{ls_linkon, ls_unconfigured, ls_unconfigured}));
    EXPECT_EQ(rig.view.links[2], (TLinkStates{ls_linkoff, ls_unconfigured, ls_unconfigured}));
    EXPECT_EQ(rig.worker->LinkState(TLink::CTD), ls_linkoff);
    EXPECT_EQ(rig.worker->LinkState(TLink::GPS), ls_unconfigured);
    EXPECT_EQ(rig.journal.Count("UpdateCurValue"), 0u);
}

TEST(AcquiThread, GpsAndExternalLinksFollowTheSourceOnlyWhenTheFrameUsesThem) {
    TRig rig;
    rig.cast.nmea = true;
    rig.cast.links.nmeaOff = true;
    rig.cast.links.parOff = true; // ignored: no external sensor in the frame
    rig.Run(10);
    EXPECT_EQ(rig.view.links.back(), (TLinkStates{ls_linkon, ls_linkoff, ls_unconfigured}));
}

struct TAlarmCase {
    const char* name;
    bool buttonDown;
    bool checked; // the alarm is enabled in the configuration
    std::size_t plays; // in 2 s
    bool blinks;       // the alarm button and panel alternate
};

class AcquiAlarm : public ::testing::TestWithParam<TAlarmCase> {};

TEST_P(AcquiAlarm, TheToneNeedsTheButtonDownTheBlinkingDoesNot) {
    const TAlarmCase& c = GetParam();
    TRig rig;
    rig.cast.alarms[al_up] = rig.cast.alarms[al_alti] = true;
    rig.setup.alarmChecked[al_up] = c.checked;
    rig.Make().SetAlarmButtonDown(c.buttonDown);
    rig.worker->Begin();
    rig.RunMore(2'000);
    EXPECT_EQ(rig.journal.Count("Play"), c.plays);
    const auto plays = rig.journal.Times("Play");
    for (std::uint64_t gap : Gaps(plays))
        EXPECT_GT(gap, AlarmSoundPeriodMs);
    EXPECT_EQ(rig.worker->ALarmIsOn(), c.checked);
    ASSERT_GE(rig.view.blinks.size(), 2u);
    for (std::size_t i = 0; i < rig.view.blinks.size(); ++i) {
        const bool on = i % 2 == 0;
        EXPECT_EQ(rig.view.blinks[i].alarmPicture, c.blinks ? on : true);
        // The last enabled alarm names the panel; ALTI is on but not enabled.
        EXPECT_EQ(rig.view.blinks[i].alarmPanel, c.blinks && on ? " UP " : "");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, AcquiAlarm,
                         ::testing::Values(TAlarmCase{"ButtonDown", true, true, 3, true},
                                           TAlarmCase{"ButtonUp", false, true, 0, true},
                                           TAlarmCase{"NotEnabled", true, false, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AcquiThread, TerminateEndsTheLoopWithinOnePassAndEndReportsTheCounters) {
    TRig rig;
    rig.cast.framePeriodMs = 31;
    rig.Run(200);
    EXPECT_TRUE(rig.worker->Continues());
    rig.worker->Terminate();
    EXPECT_FALSE(rig.worker->Continues());
    const std::size_t calls = rig.journal.Count("DoAcqui");
    EXPECT_FALSE(rig.worker->Pass());
    EXPECT_EQ(rig.journal.Count("DoAcqui"), calls);
    rig.worker->End();
    EXPECT_EQ(rig.journal.Count("DoAcquiEnd"), 1u);
    EXPECT_TRUE(rig.env.Logged("End Acq: Frame[7] Invalid[2]Validate errors[3]"));
    EXPECT_TRUE(rig.env.Logged("CRC[4] TIME[5]"));
    EXPECT_TRUE(rig.env.Logged("End of Data Acquisition"));
}

TEST(AcquiThread, TheAutomaticStopEndsTheLoopAfterItsPass) {
    TRig rig;
    rig.Run(5);
    rig.cast.stopRequested = true;
    rig.worker->Pass();
    EXPECT_TRUE(rig.worker->AutoStopped());
    EXPECT_FALSE(rig.worker->Continues());
}

TEST(AcquiThread, ExecuteWaitsAfterAPassWithoutAFrame) {
    TRig rig;
    // The stream ends one second of fake time on; only the worker's waits move the fake clock,
    // so a loop that never waits would not end (the cap of passes turns that into a failure).
    struct TEndingCast : IAcquiCast {
        TScriptedCast& inner;
        TJournal& j;
        std::uint64_t passes = 0;
        TEndingCast(TScriptedCast& c, TJournal& jj) : inner(c), j(jj) {}
        void SendStartData() override {}
        void MarkStart(TDateTime) override {}
        bool DoAcqui() override { return ++passes, inner.DoAcqui(); }
        void EvaluateAlarms(bool (&on)[AlarmCount]) override { inner.EvaluateAlarms(on); }
        TRealTimeStatus RTStatus() const override { return rt_wait; }
        TFlaggedValue Pressure() const override { return InvalidFV; }
        std::int32_t Frames() const override { return 0; }
        std::int64_t UnsavedBytes() const override { return 0; }
        std::int64_t SavableBytes() const override { return 0; }
        void SaveToRaw() override {}
        TSourceLinks Links() const override { return {}; }
        bool UsesNmea() const override { return false; }
        bool UsesExternal() const override { return false; }
        bool EndOfStream() const override {
            return passes > 100'000 || j.clock->TickMs() - j.origin > 1'000;
        }
        bool StopRequested() const override { return false; }
        std::string BottlePanel() const override { return {}; }
        void DoAcquiEnd() override {}
        TAcquiCounts Counts() const override { return {}; }
    } cast(rig.cast, rig.journal);
    TAcquiThread worker(cast, rig.view, rig.setup);
    worker.Execute();
    EXPECT_LE(cast.passes, 1'000 / IdleWaitMs + 1);
    EXPECT_GE(cast.passes, 1'000 / IdleWaitMs / 2);
}

TEST(AcquiStatus, TextsByStateAndStartMode) {
    const TDateTime start = test::SampleTime();
    const TDateTime end = start + 1.0 / 24;
    struct TCase {
        TRealTimeStatus status;
        TStartMode mode;
        const char* text;
    } cases[] = {
        {rt_none, SM_Manual, "None"},
        {rt_wait, SM_TimeStart, "Waiting 14:25:01"},
        {rt_wait, SM_Immersion, "Waiting immersion"},
        {rt_starting, SM_Immersion, "Run "},
        {rt_run, SM_TimeStart, "Run / Auto Stop at 15:25:01"},
        {rt_run, SM_Immersion, "Run /Auto Stop with immersion"},
        {rt_run, SM_Manual, "Run"},
        {rt_ending, SM_Manual, "Ending"},
        {rt_end, SM_Manual, "END"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(AcquiStatusText(c.status, c.mode, start, end), c.text) << int(c.status);
}

// ---- On a thread ------------------------------------------------------------------------------

// A cast that never ends by itself, with a frame now and then, on the system clock.
struct TThreadRig {
    TThreadRig() {
        journal.clock = &clock;
        journal.origin = clock.TickMs();
        cast.framePeriodMs = 5;
    }
    TTestEnv env;
    TSystemClock clock;
    TQueuedMainThread main;
    TRuntimeScope scope{{&clock, nullptr, &main, nullptr}};
    TJournal journal;
    TScriptedCast cast{journal};
};

// The view is reached from the worker only through the main thread, so its journal needs no
// lock; a view step that runs on the worker would show up under ThreadSanitizer.
class TMainOnlyView final : public IAcquiView {
public:
    void UpdatePlot() override { check(); }
    void BlinkButton(const TBlinkState&) override { check(); }
    void AcquiStatusStr(const std::string&) override { check(); }
    void ShowLinks(const TLinkStates&) override { check(); }
    void check() {
        ++steps;
        onMain = onMain && std::this_thread::get_id() == mainId;
    }
    std::thread::id mainId = std::this_thread::get_id();
    int steps = 0;
    bool onMain = true;
};

TEST(AcquiThreadOnAThread, StopWhileAStepWaitsForTheMainThreadEndsWithoutDeadlock) {
    TThreadRig rig;
    TMainOnlyView view;
    TAcquiThread worker(rig.cast, view, TAcquiSetup{});
    worker.Start();
    // The main thread does not serve: the worker's first hand-off (the start status) waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(view.steps, 0);
    worker.Terminate();
    worker.WaitFor(rig.main); // serves the waiting step, then joins
    EXPECT_TRUE(worker.Finished());
    EXPECT_TRUE(view.onMain);
    EXPECT_GE(view.steps, 1);
}

TEST(AcquiThreadOnAThread, RunsUntilTerminatedServingItsStepsOnTheMainThread) {
    TThreadRig rig;
    TMainOnlyView view;
    {
        TAcquiThread worker(rig.cast, view, TAcquiSetup{});
        worker.Start();
        while (view.steps < 3)
            rig.main.Serve(10); // the start status and links, the first plot
        // The destructor asks the end and waits, serving.
    }
    EXPECT_TRUE(view.onMain);
}

} // namespace
} // namespace marevo

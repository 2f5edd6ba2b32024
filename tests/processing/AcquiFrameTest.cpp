// The per-frame pipeline driven by real DF6 frames made with the frame encoder and replayed
// through the data source, as an import does.

#include "probelink/RawStream.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"

#include "support/AppEnv.h"
#include "support/CastFrames.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

// Every allocation of this test program is counted, so that a test can show that the per-frame
// path takes none.
namespace {
std::atomic<long> allocations{0};
}
// GCC takes the pairing of these replacements with malloc/free for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace marevo {
namespace {

using test::TFrameRow;

constexpr int Pres = 2, Temp = 3, Cond = 4; // list positions of 101, 110, 120

// A cast of pressure, temperature and conductivity with its buffers, settings for the tests and
// a header and bottle list lent to it.
struct TRig : test::TAppEnv {
    TCastInfo header;
    TBottlesCollection bottles;
    TDataValidation& dv = config.DataValidation;

    explicit TRig(const std::vector<int>& channels = {101, 110, 120}) {
        test::BuildDF6Cast(cast, channels);
        config.AcquiCfg.AcquiMode = AM_Pressure;
        dv.datasetCount = 0;
        dv.maxPresInterval = 10;
        // Plain numbers: no correction unless a test asks for one.
        genCfg.TempPTEffect = genCfg.CondPTEffect = 0;
        genCfg.CondLagEffect = genCfg.ManualLagCompensation = genCfg.CondForcedFlow = 0;
        EXPECT_TRUE(cast.InitRoundBuffer());
        EXPECT_TRUE(cast.InitLinearBuffer());
        cast.Loaded.CastHeader = &header;
        cast.Loaded.Bottles = &bottles;
    }
    std::filesystem::path Write(const std::vector<TFrameRow>& rows) {
        const auto file = dir / "cast.raw";
        test::WriteDF6(cast, file, rows);
        return file;
    }
    // Replays rows, calling each after every frame taken in. The data source stays installed
    // until the next Play.
    template <class Each> int Play(const std::vector<TFrameRow>& rows, Each&& each) {
        replay.reset();
        replay = std::make_unique<test::TReplay>(cast, Write(rows));
        int frames = 0;
        for (long calls = 0; !replay->Source().EndOfStream() && calls < 10'000'000; ++calls)
            if (cast.DoAcqui(replay->Source())) {
                ++frames;
                each();
            }
        return frames;
    }
    int Play(const std::vector<TFrameRow>& rows) {
        return Play(rows, [] {});
    }
    TFlaggedValue Post(int pos, int k) const { return cast.Items(pos)->PostLinBuf->AtFV(k); }
    bool StopRequested() const { return replay && replay->Source().StopRequested(); }

    std::unique_ptr<test::TReplay> replay;
};

// Frames every step seconds at the given pressures, with temperature 10 and conductivity 40.
std::vector<TFrameRow> Profile(const std::vector<double>& pressures, double step = 0.25) {
    std::vector<TFrameRow> rows;
    for (std::size_t k = 0; k < pressures.size(); ++k)
        rows.push_back({1.0 + k * step, {pressures[k], 10.0, 40.0}});
    return rows;
}

std::vector<int> FlaggedFrames(const TRig& rig, int frames) {
    std::vector<int> flagged;
    for (int k = 0; k < frames; ++k)
        if (!rig.Post(Pres, k).Valid())
            flagged.push_back(k);
    return flagged;
}

TEST(AcquiFrame, EveryFrameReachesThePostProcessedSeriesWithItsValues) {
    TRig rig;
    const int frames = rig.Play(Profile({1.5, 2.0, 2.5}));
    ASSERT_EQ(frames, 3);
    EXPECT_EQ(rig.cast.Acqui.RawIndex, 3);
    EXPECT_EQ(rig.cast.Acqui.PostLBIndexO, 2);
    for (int k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(rig.Post(Pres, k).value, 1.5f + 0.5f * k);
        EXPECT_FLOAT_EQ(rig.Post(Temp, k).value, 10.0f);
        EXPECT_FLOAT_EQ(rig.Post(Cond, k).value, 40.0f);
        EXPECT_FLOAT_EQ(rig.Post(1, k).value, 0.25f * k) << "time counter from the first frame";
    }
    EXPECT_EQ(rig.header.DataSetNb, 3);
}

TEST(AcquiFrame, ValidationFlagsBadStepsOnlyAfterDatasetCountFrames) {
    struct Case {
        const char* what;
        float maxTime;
        float absoMax;
        std::vector<double> pressures;
        std::vector<double> times; // empty: every 0.25 s
        std::vector<int> flagged;
    } cases[] = {
        {"jumps within the first five frames are not checked, the sixth is",
         0.75f,
         1000,
         {1, 6, 11, 16, 21, 26, 21.2},
         {},
         {5}},
        {"a time step of exactly the maximum fails",
         0.5f,
         1000,
         {5, 5, 5, 5, 5, 5, 5, 5},
         {0, .25, .5, .75, 1, 1.25, 1.5, 2.0},
         {7}},
        {"a pressure equal to the absolute maximum fails",
         0.75f,
         50,
         {49.5, 49.6, 49.7, 49.8, 49.8, 49.9, 50.0, 49.95},
         {},
         {6}},
        {"after a flagged frame the pressure step is taken to the frame before it",
         0.75f,
         1000,
         {5, 5, 5, 5, 5, 5, 5, 5, 9, 5, 5},
         {},
         {8}},
        {"after a flagged frame the time step is taken to the frame before it",
         0.45f,
         1000,
         {5, 5, 5, 5, 5, 5, 5, 5, 9, 5},
         {},
         {8, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRig rig;
        rig.dv.datasetCount = 5;
        rig.dv.maxPresInterval = 0.75f;
        rig.dv.maxTimeInterval = c.maxTime;
        rig.cast.Acqui.ParaPres->ParaGeneral.AbsoMax = TExtended::FromDouble(c.absoMax);
        auto rows = Profile(c.pressures);
        for (std::size_t k = 0; k < c.times.size(); ++k)
            rows[k].time = 1.0 + c.times[k];
        const int frames = rig.Play(rows);
        ASSERT_EQ(frames, static_cast<int>(rows.size())) << "the ring passed every frame";
        EXPECT_EQ(FlaggedFrames(rig, frames), c.flagged);
        EXPECT_EQ(rig.cast.Acqui.ValidateError, static_cast<int>(c.flagged.size()));
        for (int k : c.flagged) {
            EXPECT_FLOAT_EQ(rig.Post(Pres, k).value, static_cast<float>(c.pressures[k]))
                << "a rejected frame keeps its numbers";
            EXPECT_FALSE(rig.Post(Temp, k).Valid());
            EXPECT_FALSE(rig.Post(Cond, k).Valid());
        }
    }
}

TEST(AcquiFrame, PressureTemperatureCorrectionsAtTheirLimits) {
    TRig rig;
    rig.genCfg.ThermCompensation = TExtended::FromDouble(-1e-6);
    const TFlaggedValue P{20000, 0}, T{150, 0};
    const TFlaggedValue t = rig.cast.PTCorrectTemperature(P, T);
    EXPECT_TRUE(t.Valid());
    EXPECT_NEAR(t.value, 150 * (20000 * -1e-6 + 1), 1e-3);
    EXPECT_EQ(rig.cast.PTCorrectTemperature({20000.01f, 0}, T), InvalidFV);
    EXPECT_EQ(rig.cast.PTCorrectTemperature(P, {150.01f, 0}), InvalidFV);
    EXPECT_EQ(rig.cast.PTCorrectTemperature({-20, 0}, {-15, 0}).flag, 0);
    EXPECT_EQ(rig.cast.PTCorrectTemperature({100, 1}, {10, 0}), InvalidFV);
    rig.genCfg.ThermCompensation = TExtended::FromDouble(0);
    EXPECT_EQ(rig.cast.PTCorrectTemperature({100, 0}, {12.5f, 0}), (TFlaggedValue{12.5f, 0}));

    TExtended* calib = rig.cast.Items(Cond)->ParaCalib.calib;
    const TFlaggedValue C{40, 0};
    EXPECT_EQ(rig.cast.PTCorrectConductivity({100, 0}, {10, 0}, C), C) << "coefficients all 0";
    calib[5] = TExtended::FromDouble(0.001);
    calib[6] = TExtended::FromDouble(2);
    calib[7] = TExtended::FromDouble(1e-5);
    EXPECT_NEAR(rig.cast.PTCorrectConductivity({100, 0}, {10, 0}, C).value,
                40 * ((10 - 2) * 0.001 + 1 + 100 * 1e-5), 1e-4);
    EXPECT_EQ(rig.cast.PTCorrectConductivity({100, 0}, {10, 0}, {1000.5f, 0}), InvalidFV);
    EXPECT_EQ(rig.cast.PTCorrectConductivity({100, 0}, InvalidFV, C), InvalidFV);
}

TEST(AcquiFrame, PostProcessingCorrectsTheSelectedSensorsAndKeepsTheRawRing) {
    TRig rig;
    rig.genCfg.TempPTEffect = 1;
    rig.genCfg.ThermCompensation = TExtended::FromDouble(-1e-4);
    rig.Play(Profile({100.0}));
    EXPECT_NEAR(rig.Post(Temp, 0).value, 10 * (100 * -1e-4 + 1), 1e-5);
    EXPECT_FLOAT_EQ(rig.cast.Items(Temp)->RawInCyBuf->AtFV(0).value, 10.0f);
    EXPECT_FLOAT_EQ(rig.Post(Pres, 0).value, 100.0f) << "pressure is never corrected";
}

TEST(AcquiFrame, LagFilterIsPrimedByItsFirstCallAndPassesThroughAtLowScanRates) {
    TRig rig;
    rig.genCfg.CondLagEffect = 1;
    rig.genCfg.TimeLagCompensationOffset = TExtended::FromDouble(0.1);
    rig.genCfg.TimeLagCompensationSlope = TExtended::FromDouble(0.0);
    TParamCollection& cast = rig.cast;
    TCyclicArray& ring = *cast.Items(Cond)->InCyBuf;
    const auto feed = [&](float x) {
        cast.Acqui.InputCBIndexO = (cast.Acqui.InputCBIndexO + 1) % AcquiRingSize;
        ring.AddFVAt({x, 0}, cast.Acqui.InputCBIndexO);
        return cast.LagCompensate({x, 0}).value;
    };
    cast.Acqui.C_Scanrate = 24;
    cast.Acqui.C_SpeedLow = 1.0;
    EXPECT_FALSE(cast.FrameInfo.LagTimeStarted);
    EXPECT_FLOAT_EQ(feed(40), 40) << "the first call primes the filter";
    EXPECT_TRUE(cast.FrameInfo.LagTimeStarted);
    const double a = 1 / (1 + 2 * 0.1 * 24);
    const float expected = static_cast<float>(a * (41 + 40) + (1 - 2 * a) * 40);
    EXPECT_NEAR(feed(41), expected, 1e-5);
    EXPECT_NE(expected, 41.0f);
    cast.Acqui.C_Scanrate = 0.1L;
    EXPECT_FLOAT_EQ(feed(45), 45) << "no filtering at a scan rate of 0.1";
    EXPECT_EQ(cast.Acqui.LagX, 45);
    EXPECT_EQ(cast.Acqui.LagY, 45);
    cast.Acqui.C_Scanrate = 24;
    cast.Acqui.C_SpeedLow = 0.05L;
    EXPECT_FLOAT_EQ(feed(46), 46) << "no filtering while the probe hardly moves";

    // Rebuilding the frame layout restarts the filter.
    ASSERT_TRUE(cast.SetFrameInfo());
    EXPECT_FALSE(cast.FrameInfo.LagTimeStarted);
}

TEST(AcquiFrame, ScanRateSkipsTheFrameWhereTheCounterWrapsButSpeedDoesNot) {
    TRig rig;
    std::vector<TFrameRow> rows;
    double t = 1.0, p = 2.0;
    for (int k = 0; k < 140; ++k) {
        // Varying steps keep both estimates moving.
        t += (k % 2) ? 0.040 : 0.045;
        p += 0.05 + 0.013 * (k % 3);
        rows.push_back({t, {p, 10.0, 40.0}});
    }
    std::vector<long double> inverse, speed;
    rig.Play(rows, [&] {
        inverse.push_back(rig.cast.Acqui.C_InvScanRate);
        speed.push_back(rig.cast.Acqui.C_Speed);
    });
    ASSERT_EQ(inverse.size(), rows.size());
    for (int k = 2; k < 140; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NE(speed[k], speed[k - 1]);
        if (k % 128 == 0)
            EXPECT_EQ(inverse[k], inverse[k - 1]) << "counter 127 to 0";
        else
            EXPECT_NE(inverse[k], inverse[k - 1]);
    }
    EXPECT_NEAR(static_cast<double>(rig.cast.Acqui.C_Scanrate), 1 / 0.0425, 1.0);
}

TEST(AcquiFrame, ImmersionStartsAndEndsALiveCast) {
    TRig rig;
    rig.dv.datasetCount = 5;
    rig.dv.maxPresInterval = 100;
    rig.config.AcquiCfg.AutoStart = SM_Immersion;
    rig.cast.Acqui.ProbeOnLine = true;
    rig.cast.Bin.SortInfo.STrigPres = TExtended::FromDouble(5);
    rig.cast.Bin.SortInfo.STrigCond = TExtended::FromDouble(10);
    rig.cast.Acqui.S_RTStatus = rt_wait; // as the start of a live cast leaves it
    // 10 frames in the air, 12 in the water going down to 17 dbar, 3 back in the air, one that
    // is deep but reads fresh water, then 8 more in the air.
    std::vector<TFrameRow> rows;
    auto add = [&](double p, double c) {
        rows.push_back({1.0 + rows.size() * 0.25, {p, 10.0, c}});
    };
    for (int k = 0; k < 10; ++k)
        add(1, 0.5);
    for (int k = 0; k < 12; ++k)
        add(6 + k, 40);
    for (int k = 0; k < 3; ++k)
        add(1, 0.5);
    add(20, 5);
    for (int k = 0; k < 8; ++k)
        add(1, 0.5);
    std::vector<TRealTimeStatus> states;
    std::vector<int> counts;
    const int frames = rig.Play(rows, [&] {
        states.push_back(rig.cast.Acqui.S_RTStatus);
        counts.push_back(rig.cast.Acqui.S_TrigCount);
    });
    ASSERT_EQ(frames, 34);
    // The 10th frame in the water (index 19) starts the cast; the next one makes it run.
    for (int k = 0; k < 19; ++k)
        EXPECT_EQ(states[k], rt_wait) << k;
    EXPECT_EQ(counts[18], 9);
    EXPECT_EQ(states[19], rt_starting);
    EXPECT_EQ(rig.header.CastTime[0], rig.clock.Now());
    EXPECT_EQ(counts[24], 7);
    EXPECT_EQ(counts[25], 7) << "above one trigger, at or below the other";
    for (int k = 20; k < 32; ++k)
        EXPECT_EQ(states[k], rt_run) << k;
    // The tenth frame back in the air takes it out of the water and ends the run.
    EXPECT_EQ(counts[32], 0);
    EXPECT_EQ(states[32], rt_ending);
    EXPECT_EQ(states[33], rt_ending);
    EXPECT_FALSE(rig.cast.Acqui.S_InWater);
    EXPECT_TRUE(rig.StopRequested());
}

TEST(AcquiFrame, DirectionFollowsTheHysteresisBand) {
    TRig rig;
    rig.dv.minPresBottomCheck = 3;
    rig.dv.minInterval2ValidateDirectionChange = 1;
    std::vector<TDirection> directions;
    rig.Play(Profile({2, 4, 6, 5.5, 4.9}),
             [&] { directions.push_back(rig.cast.Acqui.S_direction); });
    EXPECT_EQ(directions, (std::vector<TDirection>{DirectionDown, DirectionDown, DirectionDown,
                                                   DirectionDown, DirectionUp}));
    EXPECT_EQ(rig.cast.Acqui.S_MaxDownPres, 6);
    const auto snapshot = rig.cast.Snapshot();
    EXPECT_EQ(snapshot.Pres, (TFlaggedValue{4.9f, 0}));
    EXPECT_EQ(snapshot.Direction, DirectionUp);
    EXPECT_EQ(snapshot.MaxDownPres, 6);
    EXPECT_EQ(snapshot.SpeedLow, rig.cast.Acqui.C_SpeedLow);
    EXPECT_FLOAT_EQ(rig.header.BottomValue[0].value, 6);
}

TEST(AcquiFrame, BottleClosuresInReplayedFramesAreRecordedOnce) {
    TRig rig;
    auto rows = Profile({10, 11, 12, 13, 14, 15, 16});
    const std::pair<int, TBottleStatus> heads[] = {{0, btl_Ready},  {3, btl_CmdOK}, {3, btl_Closed},
                                                   {3, btl_Closed}, {3, btl_Ready}, {4, btl_Closed},
                                                   {4, btl_Closed}};
    for (std::size_t k = 0; k < rows.size(); ++k) {
        rows[k].bottleNumber = static_cast<std::uint8_t>(heads[k].first);
        rows[k].bottleStatus = heads[k].second;
    }
    rig.Play(rows);
    ASSERT_EQ(rig.bottles.Count(), 2);
    EXPECT_EQ(rig.bottles.Items(0).BottleNb, 3);
    EXPECT_EQ(rig.bottles.Items(1).BottleNb, 4);
    EXPECT_EQ(rig.bottles.LastBottle, 4);
    EXPECT_EQ(rig.bottles.Items(0).BtlStatus, btl_Closed);
    EXPECT_FLOAT_EQ(rig.bottles.Items(0).RawValue[Pres].value, 12) << "values of the closure";
    EXPECT_FLOAT_EQ(rig.bottles.Items(1).RawValue[Pres].value, 15);
    EXPECT_FLOAT_EQ(rig.bottles.Items(1).RawValue[Temp].value, 10);
}

TEST(AcquiFrame, VesselDepthAlarmNeedsAKnownVesselDepth) {
    struct Case {
        float vessel;
        TDirection direction;
        float pres;
        bool before, expected;
    } cases[] = {
        {19, DirectionDown, 18, false, false}, {19, DirectionDown, 18, true, true},
        {100, DirectionDown, 95, false, true}, {100, DirectionDown, 80, true, false},
        {100, DirectionUp, 95, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.vessel << " m, " << c.pres << " dbar");
        TRig rig;
        rig.genCfg.AlarmChecked[al_vessel] = 1;
        rig.genCfg.AlarmLimit[al_vessel] = TExtended::FromDouble(10);
        rig.header.BottomValue[3] = {c.vessel, 0};
        rig.cast.Acqui.S_direction = c.direction;
        rig.cast.Acqui.c_pres = {c.pres, 0};
        rig.cast.BtlAlarm.AlarmOn[al_vessel] = c.before;
        rig.cast.BtlAlarm.ShortALarmStr.clear();
        rig.cast.SetAlarm();
        EXPECT_EQ(rig.cast.BtlAlarm.AlarmOn[al_vessel], c.expected);
        EXPECT_EQ(rig.cast.BtlAlarm.ShortALarmStr, c.expected ? "BOAT" : "");
        // Other threads read the alarm's name from the published snapshot.
        EXPECT_STREQ(rig.cast.Snapshot().LastAlarm, c.expected ? "BOAT" : "");
    }
}

TEST(AcquiFrame, EndOfCastReRunsTheStateDetectionOnlyWhenAFilterIsOn) {
    for (const bool wave : {false, true}) {
        SCOPED_TRACE(wave ? "wave filter on" : "no filter");
        TRig rig;
        rig.dv.datasetCount = 2;
        rig.dv.maxPresInterval = 0.75f;
        rig.dv.WaveFilterEnable = wave;
        rig.config.AcquiCfg.AutoStart = SM_Immersion;
        rig.cast.Acqui.ProbeOnLine = true;
        rig.cast.Bin.SortInfo.STrigPres = TExtended::FromDouble(1);
        rig.cast.Bin.SortInfo.STrigCond = TExtended::FromDouble(10);
        rig.cast.Acqui.S_RTStatus = rt_wait;
        std::vector<double> pressures;
        for (int k = 0; k < 40; ++k)
            pressures.push_back(2 + 0.1 * k);
        pressures[30] = 9; // one spike for validation
        rig.Play(Profile(pressures));
        ASSERT_EQ(rig.cast.Acqui.S_RTStatus, rt_run);
        const TDateTime started = rig.header.CastTime[0];
        rig.cast.Acqui.RawIndex = 123; // as a cast may leave it
        rig.clock.AdvanceMs(3'600'000);
        rig.cast.DoAcquiEnd();
        EXPECT_EQ(rig.cast.Acqui.PostLBIndexO, 39);
        EXPECT_EQ(rig.cast.Acqui.RawIndex, wave ? 40 : 123);
        EXPECT_EQ(rig.header.DataSetNb, wave ? 40 : 123);
        EXPECT_EQ(rig.header.ValidateError, 1) << "the rejected frame stays counted";
        EXPECT_EQ(rig.header.CastTime[0], started) << "the passes do not date the cast anew";
        EXPECT_FALSE(rig.StopRequested());
        EXPECT_TRUE(rig.cast.Acqui.ProbeOnLine);
        EXPECT_NEAR(static_cast<double>(rig.cast.Acqui.S_MaxDownPres), 5.9, 1e-5);
    }
}

TEST(AcquiFrame, ThePerFramePathTakesNoAllocation) {
    TRig rig;
    std::vector<double> pressures;
    for (int k = 0; k < 3000; ++k)
        pressures.push_back(2 + 0.01 * k);
    long last = 0;
    int allocatingFrames = 0;
    rig.Play(Profile(pressures, 0.05), [&] {
        const long now = allocations.load();
        if (rig.cast.Acqui.RawIndex > 1000 && now != last)
            ++allocatingFrames;
        last = now;
    });
    // Only the growth of the post-processed series allocates, rarely: once in a long while for
    // each of the six input series.
    EXPECT_LE(allocatingFrames, 12) << "of 2000 frames";
}

TEST(AcquiFrame, TheRealCastReplaysWithoutLosingAFrame) {
    const test::TRealCast& real = test::RealCast();
    ASSERT_GT(real.rows.size(), 70000u);
    TRig rig(test::TRealCast::Channels());
    rig.dv.datasetCount = 10;
    rig.dv.maxPresInterval = 0.75f;
    std::vector<TRealTimeStatus> states{rt_none};
    std::vector<TDirection> directions{DirectionDown};
    int flaggedByValidation = 0;
    const int frames = rig.Play(real.rows, [&] {
        if (rig.cast.Acqui.S_RTStatus != states.back())
            states.push_back(rig.cast.Acqui.S_RTStatus);
        if (rig.cast.Acqui.S_direction != directions.back())
            directions.push_back(rig.cast.Acqui.S_direction);
    });
    flaggedByValidation = rig.cast.Acqui.ValidateError;
    EXPECT_EQ(frames, static_cast<int>(real.rows.size()));
    EXPECT_EQ(rig.cast.Acqui.PostLBIndexO + 1, frames);
    EXPECT_EQ(rig.cast.Items(Pres)->PostLinBuf->Count(), frames);
    EXPECT_EQ(states, (std::vector<TRealTimeStatus>{rt_none, rt_starting, rt_run}));
    EXPECT_FLOAT_EQ(static_cast<float>(rig.cast.Acqui.S_MaxDownPres), 1035.874f);
    EXPECT_FLOAT_EQ(static_cast<float>(real.deepest), 1035.874f);
    // Down to the bottom, then up (the heave loops stay inside the hysteresis band).
    ASSERT_GE(directions.size(), 2u);
    EXPECT_EQ(directions.back(), DirectionUp);
    // Every frame that validation let through carries the table's own numbers.
    int valid = 0;
    for (int k = 0; k < frames; ++k) {
        const TFlaggedValue p = rig.Post(Pres, k);
        if (!p.Valid())
            continue;
        ++valid;
        ASSERT_FLOAT_EQ(p.value, static_cast<float>(real.rows[k].values[0])) << k;
    }
    EXPECT_EQ(valid + flaggedByValidation, frames);
    EXPECT_LT(flaggedByValidation, frames / 100) << "only spikes are rejected";
    EXPECT_EQ(rig.header.DataSetNb, frames);
    EXPECT_NEAR(rig.header.ScanRate.ToDouble(), 24.0, 0.5);
}

} // namespace
} // namespace marevo

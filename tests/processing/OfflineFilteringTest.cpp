// The end-of-cast filters on hand-made series, then on the real cast through the end of a cast.

#include "processing/OfflineFiltering.h"

#include "processing/ParamCollection.h"
#include "records/CastInfo.h"

#include "support/AppEnv.h"
#include "support/CastFrames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace marevo {
namespace {

constexpr int Pres = 2, Temp = 3, Cond = 4; // list positions of 101, 110, 120

// A cast of pressure, temperature and conductivity whose post-processed series are written by
// hand, with the filter over it.
struct TFilterRig : test::TAppEnv {
    TDataValidation& dv = config.DataValidation;
    TOfflineFiltering filter{cast};

    TFilterRig() {
        test::BuildDF6Cast(cast, {101, 110, 120});
        EXPECT_TRUE(cast.InitRoundBuffer());
        EXPECT_TRUE(cast.InitLinearBuffer());
    }
    // Samples with these pressures (and conductivities, 40 when none given); temperature is
    // 10 + k so that each sample can be told apart.
    void Fill(const std::vector<float>& pressures, const std::vector<float>& conductivities = {}) {
        for (std::size_t k = 0; k < pressures.size(); ++k) {
            const int index = static_cast<int>(k);
            const float c = conductivities.empty() ? 40.0f : conductivities[k];
            cast.Items(1)->PostLinBuf->AddFVAt({0.25f * index, 0}, index);
            cast.Items(Pres)->PostLinBuf->AddFVAt({pressures[k], 0}, index);
            cast.Items(Temp)->PostLinBuf->AddFVAt({10.0f + index, 0}, index);
            cast.Items(Cond)->PostLinBuf->AddFVAt({c, 0}, index);
        }
        cast.Acqui.PostLBIndexO = static_cast<int>(pressures.size()) - 1;
    }
    TFlaggedValue At(int pos, int k) const { return cast.Items(pos)->PostLinBuf->AtFV(k); }
    std::vector<int> Flagged() const {
        std::vector<int> flagged;
        for (int k = 0; k <= cast.Items(Pres)->PostLinBuf->LastIndice; ++k)
            if (!At(Pres, k).Valid())
                flagged.push_back(k);
        return flagged;
    }
    // The wave filter over every sample, with the direction of each.
    void Wave(const std::vector<TDirection>& directions) {
        filter.InitWaveFilter();
        for (std::size_t k = 0; k < directions.size(); ++k) {
            cast.Acqui.PostLBIndexO = static_cast<int>(k);
            cast.Acqui.S_direction = directions[k];
            filter.WaveFilter();
        }
    }
};

TEST(OfflineFilter, PressureOffsetIsTheReadingWhereTheProbeMeetsWater) {
    TFilterRig rig;
    rig.genCfg.PressureOffsetFilterType = POF_Auto;
    rig.genCfg.PressureOffsetFilterConductivityThreshold = TExtended::FromDouble(1.0);
    rig.Fill({0.4f, 0.45f, 0.5f, 1.2f}, {0.1f, 0.2f, 5.3f, 30});
    rig.cast.Items(Pres)->PostLinBuf->SetFVAt({0.45f, 1}, 1);
    const long double offset = rig.filter.InitPressureOffsetFilter(3);
    EXPECT_FLOAT_EQ(static_cast<float>(offset), 0.5f);
    for (int k = 0; k <= 3; ++k) {
        rig.cast.Acqui.PostLBIndexO = k;
        rig.filter.PressureOffsetFilter(static_cast<float>(offset));
    }
    EXPECT_FLOAT_EQ(rig.At(Pres, 0).value, 0.4f - 0.5f) << "also before the probe was in water";
    EXPECT_EQ(rig.At(Pres, 1), (TFlaggedValue{0.45f, 1})) << "a flagged pressure is left alone";
    EXPECT_FLOAT_EQ(rig.At(Pres, 3).value, 1.2f - 0.5f);
    EXPECT_TRUE(rig.At(Pres, 3).Valid());

    TFilterRig dry;
    dry.genCfg.PressureOffsetFilterConductivityThreshold = TExtended::FromDouble(1.0);
    dry.Fill({0.4f, 0.5f}, {0.1f, 1.0f});
    EXPECT_EQ(dry.filter.InitPressureOffsetFilter(1), 0) << "never in the water";
    EXPECT_EQ(dry.filter.InitPressureOffsetFilter(-1), 0);
}

TEST(OfflineFilter, WarmUpFlagsTheSoakBeforeTheDescent) {
    TFilterRig rig;
    rig.dv.WarmupFilterEnable = 1;
    rig.dv.WarmupFilterThreshold = 5;
    rig.dv.WarmupFilterMinPressure = 1;
    rig.Fill({0.5f, 2, 1.5f, 0.8f, 3, 6, 7});
    rig.cast.Items(Pres)->PostLinBuf->SetFVAt({2, 1}, 1); // already rejected
    rig.cast.Acqui.S_direction = DirectionDown;
    std::vector<bool> results;
    for (int k = 0; k <= 5; ++k) {
        rig.cast.Acqui.PostLBIndexO = k;
        results.push_back(rig.filter.WarmupFilter());
    }
    EXPECT_EQ(results, (std::vector<bool>{false, false, false, false, false, true}));
    EXPECT_EQ(rig.Flagged(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(rig.cast.Bin.OfflineFilteringError, 3) << "only pressures that were valid count";
    EXPECT_FALSE(rig.At(Temp, 2).Valid());
    EXPECT_FLOAT_EQ(rig.At(Temp, 2).value, 12) << "values stay";

    // Nothing while ascending.
    TFilterRig up;
    up.dv.WarmupFilterEnable = 1;
    up.dv.WarmupFilterThreshold = 5;
    up.Fill({6, 7});
    up.cast.Acqui.S_direction = DirectionUp;
    EXPECT_FALSE(up.filter.WarmupFilter());
    EXPECT_TRUE(up.Flagged().empty());
}

TEST(OfflineFilter, WaveFilterFlagsAHeaveLoopInTheDescent) {
    TFilterRig rig;
    rig.dv.WaveFilterEnable = 1;
    rig.dv.WaveFilterThreshold = 0.5f;
    rig.Fill({10, 11, 10.8f, 10.4f, 10.9f, 11.2f});
    rig.Wave(std::vector<TDirection>(6, DirectionDown));
    EXPECT_EQ(rig.Flagged(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(rig.cast.Bin.OfflineFilteringError, 3);
    EXPECT_EQ(rig.filter.LastValidIndex, 5);
    EXPECT_FALSE(rig.At(Cond, 3).Valid()) << "every input of a flagged sample";
    EXPECT_EQ(rig.filter.FlaggedDataDictionary.size(), 3u);
    rig.filter.EndWaveFilter();
    EXPECT_TRUE(rig.filter.FlaggedDataDictionary.empty());
}

TEST(OfflineFilter, AtTheTurnTheLoopIsGivenBackAndJudgedAsPartOfTheAscent) {
    TFilterRig rig;
    rig.dv.WaveFilterEnable = 1;
    rig.dv.WaveFilterThreshold = 0.5f;
    // Down to 12, a loop (11.8, 11.3) that is really the start of the ascent, then up with a
    // loop of its own (11.2 after 10.5).
    rig.Fill({10, 11, 12, 11.8f, 11.3f, 11.0f, 10.5f, 11.2f, 10.0f});
    const auto D = DirectionDown, U = DirectionUp;
    rig.filter.InitWaveFilter();
    const std::vector<TDirection> directions{D, D, D, D, D, U, U, U, U};
    std::vector<std::vector<int>> flaggedAfter;
    for (int k = 0; k < 9; ++k) {
        rig.cast.Acqui.PostLBIndexO = k;
        rig.cast.Acqui.S_direction = directions[k];
        rig.filter.WaveFilter();
        flaggedAfter.push_back(rig.Flagged());
    }
    EXPECT_EQ(flaggedAfter[4], (std::vector<int>{3, 4})) << "a loop while going down";
    EXPECT_TRUE(flaggedAfter[5].empty()) << "given back at the turn";
    EXPECT_EQ(flaggedAfter[8], (std::vector<int>{7}));
    EXPECT_EQ(rig.cast.Bin.OfflineFilteringError, 1);
    EXPECT_EQ(rig.At(Temp, 3), (TFlaggedValue{13, 0})) << "the other inputs come back too";
    EXPECT_EQ(rig.filter.LastValidIndex, 8);
}

TEST(OfflineFilter, ARepeatedTurnNeverCountsAGivenBackSampleTwice) {
    TFilterRig rig;
    rig.dv.WaveFilterEnable = 1;
    rig.dv.WaveFilterThreshold = 0.5f;
    // 11.45 is flagged in the descent, given back at the turn up, left alone by the ascent rule
    // (within the threshold above 11.4), and lies again in the range given back at the turn
    // down: it must not be counted back a second time.
    rig.Fill({10, 12, 11.4f, 11.45f, 11.5f, 11.6f});
    const auto D = DirectionDown, U = DirectionUp;
    rig.Wave({D, D, D, D, U, D});
    EXPECT_GE(rig.cast.Bin.OfflineFilteringError, 0);
    EXPECT_EQ(rig.cast.Bin.OfflineFilteringError, static_cast<int>(rig.Flagged().size()));
}

TEST(OfflineFilter, TheRealCastLosesItsSoakAndItsHeaveLoops) {
    const test::TRealCast& real = test::RealCast();
    test::TAppEnv env;
    TCastInfo header;
    test::BuildDF6Cast(env.cast, test::TRealCast::Channels());
    ASSERT_TRUE(env.cast.InitRoundBuffer());
    ASSERT_TRUE(env.cast.InitLinearBuffer());
    env.cast.Loaded.CastHeader = &header;
    TDataValidation& dv = env.config.DataValidation;
    // Binned at 1 dbar by averaging while it is replayed, as an import does.
    TAcquiCfg& acq = env.config.AcquiCfg;
    acq.AcquiMode = AM_Pressure;
    acq.VertUnit = vu_dbar;
    acq.VertStep = acq.VertFirst = acq.VertMeanItv = acq.VertAlghMethod = TExtended::FromDouble(1);
    acq.VertMean = 1;
    acq.VertLastValueMethod = TExtended::FromDouble(0);
    acq.AutoStart = SM_Manual;
    const auto file = env.dir / "real.raw";
    test::WriteDF6(env.cast, file, real.rows);
    env.cast.SetSortInfo();
    test::TReplay replay(env.cast, file);
    const int frames = replay.Run();
    ASSERT_EQ(frames, static_cast<int>(real.rows.size()));
    const int rejected = env.cast.Acqui.ValidateError;
    // The down-cast rows of the table binned frame by frame.
    const auto downCast = [&] {
        std::vector<std::pair<float, float>> rows; // pressure, temperature
        const TLinearArray& p = *env.cast.FindPara(101)->SortedBuffer;
        const TLinearArray& t = *env.cast.FindPara(110)->SortedBuffer;
        for (int i = 0; i <= env.cast.Bin.SortInfo.MaxDownIndex; ++i)
            rows.emplace_back(p.AtFV(i).value, t.AtFV(i).value);
        return rows;
    };
    const auto before = downCast();

    dv.WarmupFilterEnable = 1;
    dv.WarmupFilterThreshold = 10;
    dv.WarmupFilterMinPressure = 8;
    dv.WaveFilterEnable = 1;
    dv.WaveFilterThreshold = 0.2f;
    env.cast.DoAcquiEnd();
    ASSERT_EQ(env.cast.Acqui.PostLBIndexO, frames - 1);
    EXPECT_EQ(env.cast.Acqui.RawIndex, frames);
    const TLinearArray& pressure = *env.cast.Items(Pres)->PostLinBuf;

    // The soak: the probe waits at about 6 dbar for over three minutes (4 760 samples) before
    // going down; all of it is flagged, up to the last sample at the warm-up minimum pressure.
    int deepestIndex = 0;
    for (int k = 0; k < frames; ++k)
        if (real.rows[k].values[0] > real.rows[deepestIndex].values[0])
            deepestIndex = k;
    int firstValid = 0;
    while (firstValid < frames && !pressure.AtFV(firstValid).Valid())
        ++firstValid;
    EXPECT_GT(firstValid, 4600);
    EXPECT_LT(firstValid, 4763);
    EXPECT_GT(pressure.AtFV(firstValid).value, dv.WarmupFilterMinPressure);

    // The heave loops: in the descent no valid sample lies more than the threshold above the
    // deepest valid one before it.
    float deepestSoFar = -1e9f;
    int loopsLeft = 0;
    for (int k = firstValid; k <= deepestIndex; ++k) {
        const TFlaggedValue p = pressure.AtFV(k);
        if (!p.Valid())
            continue;
        if (p.value < deepestSoFar - dv.WaveFilterThreshold)
            ++loopsLeft;
        deepestSoFar = std::max(deepestSoFar, p.value);
    }
    EXPECT_EQ(loopsLeft, 0);
    int flagged = 0;
    for (int k = 0; k < frames; ++k)
        flagged += !pressure.AtFV(k).Valid();
    EXPECT_EQ(header.OfflineFilteringError, env.cast.Bin.OfflineFilteringError);
    EXPECT_EQ(flagged, rejected + env.cast.Bin.OfflineFilteringError);

    // Binned again: still one row per dbar down to the deepest, now from below the soak.
    const auto after = downCast();
    ASSERT_FALSE(after.empty());
    for (std::size_t i = 1; i < after.size(); ++i)
        ASSERT_EQ(after[i].first, after[0].first + static_cast<float>(i)) << i;
    EXPECT_EQ(after.back().first, before.back().first);
    EXPECT_GT(after.front().first, before.front().first) << "the soak's rows are gone";
    double largest = 0, sum = 0;
    int compared = 0;
    for (const auto& row : after)
        for (const auto& old : before)
            if (old.first == row.first) {
                const double d = std::abs(double(row.second) - old.second);
                largest = std::max(largest, d);
                sum += d;
                ++compared;
            }
    std::printf("real cast: %d frames, %d rejected by validation; warm-up flagged %d, wave filter "
                "%d. Down-cast rows %zu (%.0f..%.0f dbar) before, %zu (%.0f..%.0f dbar) after; "
                "temperature of the common rows changed by %.4f degC on average, %.4f at most\n",
                frames, rejected, firstValid, env.cast.Bin.OfflineFilteringError - firstValid,
                before.size(), before.front().first, before.back().first, after.size(),
                after.front().first, after.back().first, sum / std::max(compared, 1), largest);
}

} // namespace
} // namespace marevo

// Binning driven directly: the post-processed series are filled by hand as the pipeline would
// (time counter, pressure, temperature), the direction is set, and Sort/SortAll/SortEnd are
// called. Every expected row is worked out by hand in the comments.

#include "processing/ParamCollection.h"

#include "foundation/DateTime.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "support/AppEnv.h"
#include "support/CastFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace marevo {
namespace {

using test::TAppEnv;

TExtended Ext(double v) {
    return TExtended::FromDouble(v);
}
constexpr double Second = 1.0 / 86400;

void Fill(TProbeCollection& c, std::initializer_list<int> numbers) {
    for (int n : numbers) {
        TParameter* p = c.Add(std::make_unique<TParameter>());
        p->SetDefPara(n);
        p->SetPosInProbe(c.Count());
    }
}

class Binning : public ::testing::Test {
protected:
    TAppEnv env;
    TParamCollection& cast = env.cast;
    TAcquiCfg& acq = env.config.AcquiCfg;
    TCastInfo header;
    TParameter* tims = nullptr;
    TParameter* pres = nullptr;
    TParameter* temp = nullptr;
    float clock = 0; // time counter of the next frame, s

    void SetUp() override {
        Fill(env.probe, {100, 101, 110, 400, 403});
        Fill(cast, {100, 101, 110});
        ASSERT_TRUE(cast.BuildProbeInfo());
        ASSERT_TRUE(cast.InitRoundBuffer());
        ASSERT_TRUE(cast.InitLinearBuffer());
        ASSERT_EQ(cast.FrameInfo.ExtCount, 3);
        tims = cast.FindPara(100);
        pres = cast.FindPara(101);
        temp = cast.FindPara(110);
        cast.Loaded.CastHeader = &header;
        acq.AcquiMode = AM_Pressure;
        acq.VertUnit = vu_dbar;
        acq.VertStep = Ext(1);
        acq.VertFirst = Ext(1);
        acq.VertMean = 1;
        acq.VertMeanItv = Ext(1);
        acq.VertAlghMethod = Ext(0);
        acq.VertLastValueMethod = Ext(0);
        acq.TimeMean = 1;
        acq.TimeStep = 10 * Second;
        acq.TimeFirst = 10 * Second;
        acq.TimeMeanItv = 10 * Second;
        acq.AutoStart = SM_Manual;
    }

    // One post-processed frame, binned as the pipeline bins it.
    void Put(TFlaggedValue time, TFlaggedValue p, TFlaggedValue t, TDirection dir) {
        tims->PostLinBuf->AddFV(time);
        pres->PostLinBuf->AddFV(p);
        temp->PostLinBuf->AddFV(t);
        ++cast.Acqui.PostLBIndexO;
        ++cast.Acqui.RawIndex;
        cast.Acqui.S_direction = dir;
        if (cast.Bin.SortInfo.SortType == AM_All)
            cast.SortAll();
        else
            cast.Sort();
    }
    void Frame(float p, float t, TDirection dir = DirectionDown) {
        Put({clock++, 0}, {p, 0}, {t, 0}, dir);
    }
    void Timed(float seconds, float t, float p = 1) {
        Put({seconds, 0}, {p, 0}, {t, 0}, DirectionDown);
    }

    static std::vector<float> Values(const TParameter* p) {
        std::vector<float> v;
        for (int i = 0; i < p->SortedBuffer->Count(); ++i)
            v.push_back(p->SortedBuffer->AtFV(i).value);
        return v;
    }
    static std::vector<int> Flags(const TParameter* p) {
        std::vector<int> v;
        for (int i = 0; i < p->SortedBuffer->Count(); ++i)
            v.push_back(p->SortedBuffer->AtFV(i).flag);
        return v;
    }
    void ExpectRows(const TParameter* p, std::vector<float> values, std::vector<int> flags) {
        const std::vector<float> got = Values(p);
        ASSERT_EQ(got.size(), values.size()) << p->GetParaStr();
        for (std::size_t i = 0; i < values.size(); ++i)
            EXPECT_NEAR(got[i], values[i], 1e-4) << p->GetParaStr() << " row " << i;
        EXPECT_EQ(Flags(p), flags) << p->GetParaStr();
    }
};

// ---- Averaging by pressure ---------------------------------------------------------------------

TEST_F(Binning, AveragingClosesTheFirstBinWhenASampleReachesTheNextWindow) {
    cast.SetSortInfo();
    Frame(0.6f, 10);
    Frame(0.9f, 11);
    Frame(1.2f, 12);
    Frame(1.4f, 13);
    EXPECT_EQ(cast.Bin.SortInfo.MaxIndex, -1); // all four lie in [0.5, 1.5)
    Frame(1.6f, 20);
    ExpectRows(pres, {1.0f}, {0});
    ExpectRows(temp, {11.5f}, {0});
    ExpectRows(tims, {1.5f}, {0}); // mean of counters 0..3
    EXPECT_EQ(header.ExtractNb, 0);

    // The last bin (2 dbar, holding only 1.6) is closed by the end of the cast.
    cast.SortEnd();
    ExpectRows(pres, {1.0f, 2.0f}, {0, 0});
    ExpectRows(temp, {11.5f, 20.0f}, {0, 0});
    EXPECT_EQ(cast.Bin.SortInfo.MaxIndex, 1);
    EXPECT_EQ(cast.Bin.SortInfo.MaxDownIndex, 1);
    EXPECT_NEAR(cast.Bin.SortInfo.MaxDownPres.ToDouble(), 1.6, 1e-6);
    EXPECT_EQ(header.ExtractNb, 1);
    EXPECT_EQ(cast.Bin.SortingExtractionError, 0);
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST_F(Binning, DescendingJumpWritesSkippedBinsFlaggedFromTheLastRow) {
    cast.SetSortInfo();
    Frame(0.8f, 1);
    Frame(1.2f, 2);
    Frame(1.7f, 3); // closes 1 dbar: T 1.5
    Frame(2.2f, 4);
    Frame(2.6f, 5); // closes 2 dbar: T 3.5
    Frame(3.2f, 6);
    Frame(6.1f, 7); // closes 3 dbar (2.6, 3.2: T 5.5), skips 4 and 5, starts 6
    ExpectRows(pres, {1, 2, 3, 4, 5}, {0, 0, 0, 1, 1});
    ExpectRows(temp, {1.5f, 3.5f, 5.5f, 5.5f, 5.5f}, {0, 0, 0, 1, 1});
    EXPECT_EQ(cast.Bin.SortingExtractionError, 2);
    cast.SortEnd();
    ExpectRows(pres, {1, 2, 3, 4, 5, 6}, {0, 0, 0, 1, 1, 0});
    ExpectRows(temp, {1.5f, 3.5f, 5.5f, 5.5f, 5.5f, 7}, {0, 0, 0, 1, 1, 0});
}

TEST_F(Binning, UpCastJumpRescansTheSamplesPassedWhileTheDirectionWasStillDown) {
    cast.SetSortInfo();
    Frame(1.0f, 10);
    Frame(1.6f, 11); // closes 1 dbar: T 10
    Frame(2.0f, 12);
    Frame(2.6f, 13); // closes 2 dbar: T 11.5
    Frame(3.0f, 14);
    // Rising, but the direction detection has not switched yet: left out for now.
    Frame(2.4f, 20);
    Frame(1.9f, 21);
    Frame(1.4f, 22);
    // Up: closes 3 dbar (T 13.5); 2 dbar takes 2.4 and 1.9 again (T 20.5); 1.2 starts 1 dbar.
    Frame(1.2f, 23, DirectionUp);
    Frame(0.7f, 24, DirectionUp);
    Frame(0.3f, 25, DirectionUp); // shallower than the first bin: never binned
    cast.SortEnd();
    ExpectRows(pres, {1, 2, 3, 2, 1}, {0, 0, 0, 0, 0});
    ExpectRows(temp, {10, 11.5f, 13.5f, 20.5f, 23.5f}, {0, 0, 0, 0, 0});
    EXPECT_EQ(cast.Bin.SortingExtractionError, 0);
    EXPECT_EQ(cast.Bin.SortInfo.MaxDownIndex, 2);
    EXPECT_NEAR(cast.Bin.SortInfo.MaxDownPres.ToDouble(), 2.8, 1e-6);

    // The plot cursor finds rows on both parts of the table.
    env.genCfg.ParaPlotList.count = 1;
    env.genCfg.ParaPlotList.List[0] = 101;
    EXPECT_EQ(cast.GetDownIndex(1.5L), 1);
    EXPECT_EQ(cast.GetDownIndex(10.0L), 2); // never beyond the deepest row
    EXPECT_EQ(cast.GetUpIndex(2.5L), 1);
    EXPECT_EQ(cast.GetUpIndex(1.5L), 4);   // never beyond the last row
    env.genCfg.ParaPlotList.List[0] = 110; // only pressure, depth and time are served
    EXPECT_EQ(cast.GetDownIndex(1.5L), 0);
    EXPECT_EQ(cast.GetUpIndex(1.5L), 0);
}

TEST_F(Binning, FirstBinFollowsTheFirstValueMethod) {
    struct Case {
        int alghMethod;
        std::uint8_t mean;
        std::vector<float> pressures;
        std::vector<int> flags;
        int errors;
    } cases[] = {
        {1, 1, {7}, {0}, 0},
        {1, 0, {7}, {0}, 0},
        {0, 1, {1, 2, 3, 4, 5, 6, 7}, {1, 1, 1, 1, 1, 1, 0}, 6},
        {0, 0, {1, 2, 3, 4, 5, 6, 7}, {1, 1, 1, 1, 1, 1, 0}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("VertAlghMethod " + std::to_string(c.alghMethod) + " mean " +
                     std::to_string(c.mean));
        acq.VertAlghMethod = Ext(c.alghMethod);
        acq.VertMean = c.mean;
        cast.SetSortInfo();
        cast.Acqui.PostLBIndexO = -1;
        tims->PostLinBuf->Clear();
        pres->PostLinBuf->Clear();
        temp->PostLinBuf->Clear();
        Frame(7.3f, 4);
        Frame(7.8f, 5); // closes the 7 dbar bin
        ExpectRows(pres, c.pressures, c.flags);
        EXPECT_EQ(temp->SortedBuffer->AtFV(c.errors).value, 4.0f);
        EXPECT_EQ(cast.Bin.SortingExtractionError, c.errors);
    }
}

TEST_F(Binning, DeepestValueReplacesTheDeepestRowsCentreByItsMeanPressure) {
    struct Case {
        int method;
        std::vector<float> pressures;
    } cases[] = {{0, {1.0f, 2.0f, 1.0f}}, {1, {1.0f, 1.75f, 1.0f}}};
    for (const Case& c : cases) {
        SCOPED_TRACE("VertLastValueMethod " + std::to_string(c.method));
        acq.VertLastValueMethod = Ext(c.method);
        cast.SetSortInfo();
        cast.Acqui.PostLBIndexO = -1;
        tims->PostLinBuf->Clear();
        pres->PostLinBuf->Clear();
        temp->PostLinBuf->Clear();
        Frame(0.8f, 1);
        Frame(1.1f, 1);
        Frame(1.4f, 1);
        Frame(1.6f, 2);
        Frame(1.9f, 2);              // 2 dbar bin: mean pressure 1.75
        Frame(1.3f, 3, DirectionUp); // closes 2 dbar upwards, starts 1 dbar
        cast.SortEnd();
        ExpectRows(pres, c.pressures, {0, 0, 0});
        EXPECT_EQ(cast.Bin.SortInfo.MaxDownIndex, 1);
    }
}

TEST_F(Binning, RowWithoutAValidSampleOfOneParameterCopiesThePreviousRowFlagged) {
    cast.SetSortInfo();
    Frame(1.0f, 10);
    Frame(2.0f, 20);
    Put({clock++, 0}, {3.0f, 0}, {99, 1}, DirectionDown); // temperature flagged
    Put({clock++, 0}, {3.2f, 0}, {98, 1}, DirectionDown);
    cast.SortEnd();
    ExpectRows(pres, {1, 2, 3}, {0, 0, 0});
    ExpectRows(temp, {10, 20, 20}, {0, 0, 1});
    EXPECT_EQ(tims->SortedBuffer->Count(), 3);
    EXPECT_EQ(cast.Bin.SortingExtractionError, 1);
}

TEST_F(Binning, SamplesBeforeTheExtractionStartTimeAreNotBinned) {
    header.StartTimeExtr = 3;
    cast.SetSortInfo();
    Frame(0.8f, 100); // counter 0
    Frame(0.9f, 100);
    Frame(1.0f, 100);
    Frame(1.1f, 10); // counter 3: the first one binned
    Frame(1.6f, 20);
    ExpectRows(temp, {10}, {0});
    ExpectRows(tims, {3}, {0});
}

TEST_F(Binning, EndOfCastClosesTheLastBinEvenAfterAFlaggedLastFrame) {
    cast.SetSortInfo();
    Frame(0.8f, 10);
    Frame(1.2f, 12);
    Put({clock++, 0}, {1.3f, 1}, {50, 0}, DirectionDown);
    cast.SortEnd();
    ExpectRows(pres, {1}, {0});
    ExpectRows(temp, {11}, {0});
}

TEST_F(Binning, TimeAxisLooksUpTheRowsTheDisplayDirectionShows) {
    TParameter* time = cast.FindPara(400);
    ASSERT_NE(time, nullptr);
    for (float t : {10.f, 20.f, 30.f, 40.f, 50.f})
        time->SortedBuffer->AddFV({t, 0});
    cast.Bin.SortInfo.MaxDownIndex = 2;
    cast.Bin.SortInfo.MaxIndex = 4;
    env.genCfg.ParaPlotList.count = 1;
    env.genCfg.ParaPlotList.List[0] = 400;
    struct Case {
        TDisplayDirection direction;
        int down;
    } cases[] = {{Direction_Down, 2}, {Direction_Both, 3}};
    for (const Case& c : cases) {
        env.genCfg.Direction = c.direction;
        EXPECT_EQ(cast.GetDownIndex(35.0L), c.down) << int(c.direction);
        EXPECT_EQ(cast.GetUpIndex(45.0L), 4) << int(c.direction); // time only grows
        EXPECT_EQ(cast.GetUpIndex(5.0L), 1) << int(c.direction);
    }
}

// ---- Interpolation by pressure -----------------------------------------------------------------

TEST_F(Binning, InterpolateHandlesRisingFallingAndSinglePoints) {
    struct Case {
        long double x, x1, x2, y1, y2;
        float expected;
    } cases[] = {
        {5, 4, 6, 10, 20, 15}, {5, 6, 4, 10, 20, 10}, {5, 4, 4, 10, 20, 10}, {3, 4, 6, 10, 20, 5}};
    for (const Case& c : cases) {
        const TFlaggedValue v = TParamCollection::Interpolate(c.x, c.x1, c.x2, c.y1, c.y2);
        EXPECT_FLOAT_EQ(v.value, c.expected);
        EXPECT_EQ(v.flag, 0);
    }
}

TEST_F(Binning, InterpolationDownCastUsesTheSamplesEitherSideOfTheCentre) {
    acq.VertMean = 0;
    cast.SetSortInfo();
    Frame(0.7f, 10);
    Frame(0.9f, 12); // last below 1 dbar
    Frame(1.1f, 14); // first above
    Frame(1.3f, 16);
    Frame(1.6f, 20); // closes 1 dbar at 13
    Frame(1.8f, 22);
    Frame(2.2f, 26);
    Frame(2.4f, 28);
    cast.SortEnd(); // 2 dbar between 1.8 and 2.2: 24
    ExpectRows(pres, {1, 2}, {0, 0});
    ExpectRows(temp, {13, 24}, {0, 0});
    EXPECT_NEAR(cast.Bin.SortInfo.MaxDownPres.ToDouble(), 2.0, 1e-6);
}

TEST_F(Binning, InterpolationUpCastPairsTheLastSampleAboveWithTheFirstBelow) {
    acq.VertMean = 0;
    cast.SetSortInfo();
    Frame(1.2f, 5);
    Frame(3.0f, 6); // closes 1 dbar from one side (5); skips 2 dbar (no row before it to copy)
    Frame(2.8f, 7, DirectionUp);
    Frame(2.4f, 8, DirectionUp); // closes 3 dbar between 2.8 and 3.0: 6
    Frame(2.2f, 9, DirectionUp);
    Frame(1.9f, 10, DirectionUp);
    Frame(1.6f, 11, DirectionUp);
    cast.SortEnd(); // 2 dbar between 1.9 (first below) and 2.2 (last above): 9.667
    ExpectRows(pres, {1, 2, 3, 2}, {0, 1, 0, 0});
    ExpectRows(temp, {5, 0, 6, 9.6666667f}, {0, 1, 0, 0});
    EXPECT_EQ(cast.Bin.SortingExtractionError, 1);
    EXPECT_EQ(cast.Bin.SortInfo.MaxDownIndex, 2);
    EXPECT_NEAR(cast.Bin.SortInfo.MaxDownPres.ToDouble(), 3.0, 1e-6);
}

// ---- Depth -------------------------------------------------------------------------------------

TEST_F(Binning, DepthBinsAreInMetresWhileTheDeepestPressureStaysInDecibars) {
    env.genCfg.salt_freshWaterFlag = 0;
    env.genCfg.FreshWaterConversion = Ext(2.0); // depth = 2 x pressure
    acq.VertUnit = vu_meter;
    acq.VertLastValueMethod = Ext(1);
    struct Case {
        std::uint8_t mean;
        float row0Temp;
        double deepest; // dbar, before the end
    } cases[] = {{1, 13, 0.45}, {0, 14, 0.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE("mean " + std::to_string(c.mean));
        acq.VertMean = c.mean;
        cast.SetSortInfo();
        cast.Acqui.PostLBIndexO = -1;
        tims->PostLinBuf->Clear();
        pres->PostLinBuf->Clear();
        temp->PostLinBuf->Clear();
        Frame(0.3f, 10); // 0.6 m
        Frame(0.6f, 16); // 1.2 m
        Frame(0.8f, 20); // 1.6 m closes the 1 m bin
        ExpectRows(pres, {1}, {0});
        ExpectRows(temp, {c.row0Temp}, {0});
        EXPECT_NEAR(cast.Bin.SortInfo.MaxDownPres.ToDouble(), c.deepest, 1e-6);
        EXPECT_NEAR(static_cast<double>(cast.Bin.c_SortPres), 0.8, 1e-6);
        cast.SortEnd(); // 2 m bin; "Deepest value": depth of 0.8 dbar
        ExpectRows(pres, {1, 1.6f}, {0, 0});
    }
}

TEST_F(Binning, SampleWithoutAValidDepthIsNotBinned) {
    env.genCfg.salt_freshWaterFlag = 1;
    header.latitude[0] = Ext(100); // no latitude gives a depth
    acq.VertUnit = vu_meter;
    cast.SetSortInfo();
    Frame(0.8f, 1);
    Frame(5.0f, 2);
    cast.SortEnd();
    EXPECT_EQ(cast.Bin.SortInfo.MaxIndex, -1);
    EXPECT_EQ(pres->SortedBuffer->Count(), 0);
}

// ---- Time --------------------------------------------------------------------------------------

TEST_F(Binning, TimeAveragingMovesForwardAndFlagsTheBinsOfAGap) {
    acq.AcquiMode = AM_Time;
    cast.SetSortInfo();
    Timed(6, 1);
    Timed(9, 2);
    Timed(14, 3);
    EXPECT_EQ(cast.Bin.SortInfo.MaxIndex, -1);
    Timed(15, 4); // closes 10 s, starts 20 s
    ExpectRows(tims, {10}, {0});
    ExpectRows(temp, {2}, {0});
    cast.Acqui.S_direction = DirectionUp;      // time has no up-cast
    Put({47, 0}, {1, 0}, {5, 0}, DirectionUp); // closes 20 s; 30 s and 40 s are skipped
    ExpectRows(tims, {10, 20, 30, 40}, {0, 0, 1, 1});
    ExpectRows(temp, {2, 4, 4, 4}, {0, 0, 1, 1});
    EXPECT_EQ(cast.Bin.SortingExtractionError, 2);
    EXPECT_NEAR(static_cast<double>(cast.Bin.c_SortTime), 47 * Second, 1e-12);
    cast.SortEnd(); // the 50 s bin holding 47 s is not written
    EXPECT_EQ(tims->SortedBuffer->Count(), 4);
    EXPECT_EQ(header.ExtractNb, 3);
}

TEST_F(Binning, TimeGapFromTheFirstBinCountsEverySkippedRow) {
    acq.AcquiMode = AM_Time;
    cast.SetSortInfo();
    Timed(6, 1);
    Timed(9, 2);
    Timed(14, 3);
    Timed(47, 4);
    ExpectRows(tims, {10, 20, 30, 40}, {0, 1, 1, 1});
    EXPECT_EQ(cast.Bin.SortingExtractionError, 3);
}

TEST_F(Binning, TimeInterpolationTakesTheValueAtTheBinCentre) {
    acq.AcquiMode = AM_Time;
    acq.TimeMean = 0;
    cast.SetSortInfo();
    Timed(8, 1, 2.0f);
    Timed(12, 3, 4.0f);
    Timed(16, 5, 6.0f); // closes 10 s between 8 s and 12 s
    ExpectRows(tims, {10}, {0});
    ExpectRows(temp, {2}, {0});
    ExpectRows(pres, {3}, {0});
    EXPECT_NEAR(cast.Bin.SortInfo.MaxDownPres.ToDouble(), 3.0, 1e-6);
}

// ---- Scan ("Step") mode ------------------------------------------------------------------------

TEST_F(Binning, StepModeFromAStoredCastAveragesTheFramesEndingEachStep) {
    acq.AcquiMode = AM_All;
    acq.AllStart = 1;
    acq.AllStep = 10;
    acq.AllMeanNb = 3;
    acq.AllMax = 2;
    cast.SetSortInfo();
    for (int frame = 1; frame <= 30; ++frame) {
        // Frame 18's temperature is flagged: it still enters the mean and marks its row.
        const std::uint8_t flag = frame == 18 ? 1 : 0;
        Put({static_cast<float>(frame), 0}, {frame * 0.1f, 0}, {static_cast<float>(frame), flag},
            DirectionDown);
    }
    ExpectRows(temp, {9, 19}, {0, 1}); // frames 8..10 and 18..20; no third row
    ExpectRows(tims, {9, 19}, {0, 0});
    EXPECT_EQ(cast.Bin.SortingExtractionError, 1);
    EXPECT_EQ(cast.Bin.SortInfo.MaxDownIndex, 1);
    EXPECT_NEAR(cast.Bin.SortInfo.MaxDownPres.ToDouble(), 2.0, 1e-6);
    cast.SortEnd();
    EXPECT_EQ(temp->SortedBuffer->Count(), 2);
}

TEST_F(Binning, StepModeOnLineMakesARowOfEveryRecordedFrame) {
    acq.AcquiMode = AM_All;
    acq.AllMax = 1;
    cast.SetSortInfo();
    cast.Acqui.ProbeOnLine = true;
    cast.Acqui.RawIndex = 40; // frames shown while waiting for the start
    Frame(1.0f, 5);
    Frame(1.5f, 6);
    Frame(2.0f, 7);
    ExpectRows(temp, {5, 6, 7}, {0, 0, 0});
    ExpectRows(pres, {1.0f, 1.5f, 2.0f}, {0, 0, 0});
}

// ---- Set-up and failures -----------------------------------------------------------------------

TEST_F(Binning, SetSortInfoTakesTheConfigurationAndOpensTheFirstWindow) {
    acq.VertStep = Ext(2);
    acq.VertFirst = Ext(3);
    acq.VertMeanItv = Ext(1);
    acq.AllStep = 7;
    acq.AllMeanNb = 4;
    acq.TimeStart = 10.0 + 22.0 / 24; // 22:00
    acq.TimeEnd = 11.0 + 2.0 / 24;    // 02:00, the next morning
    header.RawMode = rm_timed;
    header.ScanRate = Ext(4);
    cast.Bin.SortInfo.MaxIndex = 12;
    cast.SetSortInfo();
    const TSortInfo& s = cast.Bin.SortInfo;
    EXPECT_EQ(s.SortType, AM_Pressure);
    EXPECT_EQ(s.SAllStep, 7);
    EXPECT_EQ(s.SAllMeanNb, 4);
    EXPECT_EQ(s.MaxIndex, -1);
    EXPECT_DOUBLE_EQ(s.SPresDelta.ToDouble(), 2.0);
    EXPECT_EQ(cast.Bin.I_Center, 3.0L);
    EXPECT_EQ(cast.Bin.I_Low, 2.5L);
    EXPECT_EQ(cast.Bin.I_High, 3.5L);
    const TDateTime today = DateOf(env.clock.Now());
    EXPECT_NEAR(s.STrigStart, today + 22.0 / 24, 1e-9);
    EXPECT_NEAR(s.STrigEnd, today + 1 + 2.0 / 24, 1e-9);
    EXPECT_EQ(cast.Acqui.C_InvScanRate, 0.25L);
    EXPECT_EQ(cast.Acqui.S_RTStatus, rt_starting);

    acq.AcquiMode = AM_Time;
    acq.TimeMean = 0;
    cast.Acqui.ProbeOnLine = true;
    acq.AutoStart = SM_TimeStart;
    cast.SetSortInfo();
    EXPECT_EQ(cast.Bin.I_Center, static_cast<long double>(10 * Second));
    EXPECT_NEAR(static_cast<double>(cast.Bin.I_High), 15 * Second, 1e-15);
    EXPECT_EQ(cast.Acqui.S_RTStatus, rt_wait);
    EXPECT_EQ(header.CastTime[0], acq.TimeStart);
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST_F(Binning, ANewPassDropsTheSeriesDerivedFromTheOldRows) {
    TParameter* depth = cast.FindPara(403);
    ASSERT_NE(depth, nullptr);
    depth->SortedBuffer->AddFV({5, 0});
    cast.SetSortInfo();
    EXPECT_EQ(depth->SortedBuffer->Count(), 0);
}

TEST_F(Binning, StepOfZeroIsReportedOnceAndBinsNothing) {
    acq.VertStep = Ext(0);
    cast.SetSortInfo();
    ASSERT_EQ(env.LogMessages().size(), 1u);
    EXPECT_EQ(env.LogMessages()[0],
              "Error in TParamCollection.SetSortInfothe vertical step must be greater than 0");
    EXPECT_EQ(env.op.Events(),
              std::vector<std::string>{"Message Error [Error]: Data extraction setup"});
    Frame(0.8f, 1);
    Frame(5.0f, 2);
    cast.SortEnd();
    EXPECT_EQ(cast.Bin.SortInfo.MaxIndex, -1);
    EXPECT_EQ(env.LogMessages().size(), 1u);
}

TEST_F(Binning, EachOperationReportsItsFailureWithItsOwnTexts) {
    cast.SetSortInfo();
    tims->PostLinBuf->AddFV({1, 0});
    pres->PostLinBuf->AddFV({1, 0});
    temp->PostLinBuf->AddFV({1, 0});
    cast.Acqui.PostLBIndexO = 0;
    temp->SortedBuffer.reset();    // an input without its binned series cannot be binned
    cast.Acqui.ProbeOnLine = true; // so that the scan mode takes the frame whatever its number
    struct Case {
        void (TParamCollection::*member)();
        std::string prefix, box;
    } cases[] = {
        {&TParamCollection::SortPressureAverage, "Error in TParamCollection.SortPressureAverage",
         "Pressure extraction "},
        {&TParamCollection::SortPressureAverageEnd,
         "Error in TParamCollection.SortPressureAverageEnd", "Pressure extraction"},
        {&TParamCollection::SortPressureInterpolate,
         "Error in TParamCollection.SortPressureInterpolate", "Pressure extraction"},
        {&TParamCollection::SortPressureInterpolateEnd,
         "Error in TParamCollection.SortPressureInterpolateEnd", "Pressure extraction"},
        {&TParamCollection::SortDepthAverage, "Error in TParamCollection.SortDepthAverage",
         "Depth extraction "},
        {&TParamCollection::SortDepthAverageEnd, "Error in TParamCollection.SortDepthAverageEnd",
         "Depth extraction"},
        {&TParamCollection::SortDepthInterpolate, "Error in TParamCollection.SortDepthInterpolate",
         "Depth extraction"},
        {&TParamCollection::SortDepthInterpolateEnd,
         "Error in TParamCollection.SortDepthInterpolateEnd", "Depth extraction"},
        {&TParamCollection::SortTimeAverage, "Error in TParamCollection.SortTimeAverage",
         "Average"},
        {&TParamCollection::SortTimeInterpolate, "Error in TParamCollection.SortTimeInterpolate",
         "Time extraction"},
        {&TParamCollection::SortAll, "Error in TParamCollection.SortAll", "Data extraction"},
    };
    for (const Case& c : cases) {
        env.op.Clear();
        const std::size_t before = env.LogMessages().size();
        std::invoke(c.member, cast);
        const std::vector<std::string> log = env.LogMessages();
        ASSERT_EQ(log.size(), before + 1) << c.prefix;
        EXPECT_EQ(log.back(), c.prefix + "no binned series for " + temp->GetParaStr());
        EXPECT_EQ(env.op.Events(), std::vector<std::string>{"Message Error [Error]: " + c.box});
    }
}

} // namespace
} // namespace marevo

// ---- The real cast -----------------------------------------------------------------------------

namespace marevo {
namespace {

struct TRealBinned {
    std::vector<TFlaggedValue> pres, temp;
    std::vector<TFlaggedValue> postPres, postTemp;
    std::int32_t maxDownIndex = -1;
    std::int32_t errors = 0;
};

TRealBinned ReplayRealCast(std::uint8_t vertMean) {
    test::TAppEnv env;
    TCastInfo header;
    TBottlesCollection bottles;
    TParamCollection& cast = env.cast;
    test::BuildDF6Cast(cast, test::TRealCast::Channels());
    TAcquiCfg& acq = env.config.AcquiCfg;
    acq.AcquiMode = AM_Pressure;
    acq.VertUnit = vu_dbar;
    acq.VertStep = Ext(1);
    acq.VertFirst = Ext(1);
    acq.VertMean = vertMean;
    acq.VertMeanItv = Ext(1);
    acq.VertAlghMethod = Ext(1);
    acq.VertLastValueMethod = Ext(0);
    acq.AutoStart = SM_Manual;
    env.config.DataValidation.datasetCount = 10;
    env.config.DataValidation.maxPresInterval = 0.75f;
    EXPECT_TRUE(cast.InitRoundBuffer());
    EXPECT_TRUE(cast.InitLinearBuffer());
    cast.Loaded.CastHeader = &header;
    cast.Loaded.Bottles = &bottles;
    test::ReplayRealCast(cast, env.dir / "real.raw");
    TRealBinned out;
    const TParameter* p = cast.FindPara(101);
    const TParameter* t = cast.FindPara(110);
    for (int i = 0; i < p->SortedBuffer->Count(); ++i) {
        out.pres.push_back(p->SortedBuffer->AtFV(i));
        out.temp.push_back(t->SortedBuffer->AtFV(i));
    }
    for (int k = 0; k < p->PostLinBuf->Count(); ++k) {
        out.postPres.push_back(p->PostLinBuf->AtFV(k));
        out.postTemp.push_back(t->PostLinBuf->AtFV(k));
    }
    out.maxDownIndex = cast.Bin.SortInfo.MaxDownIndex;
    out.errors = cast.Bin.SortingExtractionError;
    EXPECT_EQ(header.SortingExtractionError, out.errors);
    EXPECT_EQ(header.ExtractNb + 1, static_cast<int>(out.pres.size()));
    // (The replay's data source logs its own complaints; binning must add none.)
    for (const std::string& line : env.LogMessages())
        EXPECT_NE(line.rfind("Error in TParamCollection.Sort", 0), 0u) << line;
    return out;
}

// The real cast binned by averaging (vertMean 1) or interpolation (0), replayed once per run.
const TRealBinned& BinRealCast(std::uint8_t vertMean) {
    static const TRealBinned averaged = ReplayRealCast(1);
    static const TRealBinned interpolated = ReplayRealCast(0);
    return vertMean ? averaged : interpolated;
}

// The cast's temperature samples that lie in the window [c - 0.5, c + 0.5) of bin centre c,
// among post-processed samples from .. to.
struct TRange {
    float lo = 1e30f, hi = -1e30f;
    int n = 0;
    double sum = 0, sum2 = 0;
    double Sd() const {
        return n > 1 ? std::sqrt(std::max(0.0, (sum2 - sum * sum / n) / (n - 1))) : 0;
    }
};
TRange SamplesInBin(const TRealBinned& t, float c, std::size_t from, std::size_t to) {
    TRange r;
    for (std::size_t k = from; k <= to && k < t.postPres.size(); ++k) {
        const TFlaggedValue p = t.postPres[k], v = t.postTemp[k];
        if (!p.Valid() || !v.Valid() || p.value < c - 0.5f || p.value >= c + 0.5f)
            continue;
        r.lo = std::min(r.lo, v.value);
        r.hi = std::max(r.hi, v.value);
        ++r.n;
        r.sum += v.value;
        r.sum2 += static_cast<double>(v.value) * v.value;
    }
    return r;
}

// The samples of row i's bin: for a down row among the samples before the deepest one, for an
// up row among those after it, for the deepest row among all.
TRange BinOfRow(const TRealBinned& t, std::size_t i) {
    std::size_t deepest = 0;
    for (std::size_t k = 0; k < t.postPres.size(); ++k)
        if (t.postPres[k].Valid() && t.postPres[k].value > t.postPres[deepest].value)
            deepest = k;
    const std::size_t d = static_cast<std::size_t>(t.maxDownIndex);
    const std::size_t from = i <= d ? 0 : deepest;
    const std::size_t to = i >= d ? t.postPres.size() : deepest;
    return SamplesInBin(t, t.pres[i].value, from, to);
}

TEST(BinningRealCast, AveragedAtOneDecibarTheTableGoesDownAndBackUpOnTheBinCentres) {
    const TRealBinned& avg = BinRealCast(1);
    const std::size_t rows = avg.pres.size();
    const int d = avg.maxDownIndex;
    ASSERT_GT(d, 0);
    ASSERT_GT(rows, static_cast<std::size_t>(d) + 1);
    EXPECT_EQ(avg.errors, 0) << "no bin of a 24 Hz cast is empty at 1 dbar";

    // Down from the first level to the deepest, one row per dbar, then back up.
    std::size_t firstValid = 0;
    while (!avg.postPres[firstValid].Valid())
        ++firstValid;
    EXPECT_EQ(avg.pres[0].value, std::floor(avg.postPres[firstValid].value + 0.5f));
    EXPECT_EQ(avg.pres[d].value, std::floor(static_cast<float>(test::RealCast().deepest) + 0.5f));
    for (std::size_t i = 0; i < rows; ++i) {
        const float expected = i <= static_cast<std::size_t>(d)
                                   ? avg.pres[0].value + static_cast<float>(i)
                                   : avg.pres[d].value - static_cast<float>(i - d);
        ASSERT_EQ(avg.pres[i].value, expected) << "row " << i;
        ASSERT_EQ(avg.pres[i].flag, 0) << "row " << i;
        ASSERT_TRUE(avg.temp[i].Valid()) << "row " << i;
    }

    for (std::size_t i = 0; i < rows; ++i) {
        const TRange r = BinOfRow(avg, i);
        ASSERT_GT(r.n, 0) << "row " << i;
        ASSERT_GE(avg.temp[i].value, r.lo - 1e-4f) << "row " << i;
        ASSERT_LE(avg.temp[i].value, r.hi + 1e-4f) << "row " << i;
    }
}

TEST(BinningRealCast, InterpolationAgreesWithAveragingWithinTheSensorNoise) {
    const TRealBinned& avg = BinRealCast(1);
    const TRealBinned& itp = BinRealCast(0);
    ASSERT_EQ(itp.pres.size(), avg.pres.size());
    EXPECT_EQ(itp.maxDownIndex, avg.maxDownIndex);
    // Both values of a row lie among the samples of its bin, so they differ by no more than the
    // bin's spread; and typically by no more than the scatter of the samples in a bin (the
    // sensor's noise, with the small gradient across 1 dbar).
    std::vector<double> diffs, scatter;
    for (std::size_t i = 0; i < avg.pres.size(); ++i) {
        ASSERT_EQ(itp.pres[i].value, avg.pres[i].value) << "row " << i;
        ASSERT_TRUE(itp.temp[i].Valid()) << "row " << i;
        const TRange r = BinOfRow(avg, i);
        const double diff = std::abs(itp.temp[i].value - avg.temp[i].value);
        ASSERT_LE(diff, r.hi - r.lo + 1e-4) << "row " << i;
        diffs.push_back(diff);
        scatter.push_back(r.Sd());
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    EXPECT_LE(median(diffs), median(scatter));
    EXPECT_LT(median(diffs), 0.005) << "degC";
}

} // namespace
} // namespace marevo

// The plot's geometry, curves, bottle marks and automatic ranges, without a drawing surface.

#include "display/PlotFrame.h"
#include "display/PlotHost.h"
#include "display/PlotLayout.h"
#include "display/PlotScene.h"

#include "processing/ConfigAuto.h"
#include "records/Bottles.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

namespace marevo {
namespace {

void SetPlotList(TConfig& config, std::initializer_list<std::int32_t> numbers) {
    TParaList& list = config.GenCfg.ParaPlotList;
    list.count = static_cast<std::int32_t>(numbers.size());
    int i = 0;
    for (std::int32_t nb : numbers) {
        list.List[i] = nb;
        list.Avail[i++] = 1;
    }
    config.UpdateAllParaPtr(InstalledCollections());
}

void SetRange(TParameter& p, long double lo, long double hi) {
    p.ParaScale.CurMin = TExtended::FromLongDouble(lo);
    p.ParaScale.CurMax = TExtended::FromLongDouble(hi);
}

TEST(PlotGeometry, DepthTemperatureConductivityIn731By704) {
    test::TAppEnv env;
    env.probe.DefaultParamCol();
    SetPlotList(env.config, {403, 401, 599});
    SetRange(*env.probe.FindPara(403), 200, 0); // depth grows downwards
    const TPlotLayout l = PlotLayout(731, 704, env.config.PlotCount());
    EXPECT_EQ(l.plot, (TRect{150, 20, 711, 644}));
    EXPECT_EQ(l.XFrame(1).top, 644);
    EXPECT_EQ(l.XFrame(2).top, 674);
    EXPECT_EQ(l.XFrame(1).right, 721);
    EXPECT_EQ(l.Area(), (TRect{150, 20, 712, 644}));

    TPlotFrame f;
    ASSERT_TRUE(f.Prepare(env.config, l));
    EXPECT_DOUBLE_EQ(static_cast<double>(f.maps[0].Pos(100)), 312);
    EXPECT_DOUBLE_EQ(static_cast<double>(f.maps[0].Pos(0)), 0);
    EXPECT_DOUBLE_EQ(static_cast<double>(f.maps[0].Pos(200)), 624);
    // A horizontal entry: its minimum at the left end, its maximum at the right one.
    EXPECT_DOUBLE_EQ(static_cast<double>(f.maps[1].Pos(f.smin[1])), 0);
    EXPECT_DOUBLE_EQ(static_cast<double>(f.maps[1].Pos(f.smax[1])), 561);
}

TEST(PlotGeometry, AnEntryWithoutADrawableRangeLeavesThePlotUnprepared) {
    test::TAppEnv env;
    env.probe.DefaultParamCol();
    SetPlotList(env.config, {101, 401});
    SetRange(*env.probe.FindPara(401), 5, 5);
    TPlotFrame f;
    EXPECT_FALSE(f.Prepare(env.config, PlotLayout(731, 704, 2)));
    EXPECT_FALSE(f.Prepared);
    EXPECT_TRUE(env.Logged("Error in TPlotFrame.Prepare TPlotFrame.Prepare: max=min!"));
    // A window too small for its plot area: logged once however often it is resized.
    SetRange(*env.probe.FindPara(401), 0, 30);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(f.Prepare(env.config, PlotLayout(160, 704, 2)));
    const auto lines = env.LogMessages();
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "Error in TPlotFrame.Prepare TPlotFrame.Prepare: length<1!"),
              1);
}

// A plot frame of 400 x 300 pixels over pressure 0..30 (downwards) and one horizontal entry.
TPlotFrame FrameOf(long double xmin, long double xmax, bool log = false) {
    TPlotFrame f;
    f.n = 2;
    f.width = 400;
    f.height = 300;
    EXPECT_EQ(MakeAxisMap(0, 30, false, 300, f.maps[0]), TAxisFault::None);
    EXPECT_EQ(MakeAxisMap(xmin, xmax, log, 400, f.maps[1]), TAxisFault::None);
    f.Prepared = true;
    return f;
}

TFlaggedValue V(float v, std::uint8_t flag = 0) {
    return {v, flag};
}

TEST(PlotCurves, BadPointsBreakTheLine) {
    struct TCase {
        const char* name;
        std::vector<TFlaggedValue> vertical, horizontal;
        std::vector<bool> draws; // per point drawn
    } cases[] = {
        {"all good",
         {V(1), V(2), V(3), V(4)},
         {V(10), V(11), V(12), V(13)},
         {false, true, true, true}},
        {"flagged temperature",
         {V(1), V(2), V(3), V(4), V(5)},
         {V(10), V(11), V(12, 1), V(13), V(14)},
         {false, true, false, false, true}},
        {"temperature out of the axis",
         {V(1), V(2), V(3), V(4), V(5)},
         {V(10), V(11), V(45), V(13), V(14)},
         {false, true, false, false, true}},
        {"flagged pressure",
         {V(1), V(2, 1), V(3), V(4)},
         {V(10), V(11), V(12), V(13)},
         {false, false, false, true}},
        {"missing pressure record",
         {V(1), V(2), InvalidFV},
         {V(10), V(11), V(12)},
         {false, true, false}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TPlotFrame f = FrameOf(0, 40);
        f.series.first = 0;
        f.series.last = static_cast<int>(c.vertical.size()) - 1;
        f.series.vertical = c.vertical;
        f.series.horizontal[1] = c.horizontal;
        const auto path = f.Trait(1);
        ASSERT_EQ(path.size(), c.draws.size());
        for (std::size_t i = 0; i < path.size(); ++i)
            EXPECT_EQ(path[i].draw, c.draws[i]) << "point " << i;
        EXPECT_DOUBLE_EQ(static_cast<double>(path[0].x), 100); // 10 of 0..40 on 400 px
        EXPECT_DOUBLE_EQ(static_cast<double>(path[0].y), 10);  // 1 of 0..30 on 300 px
    }
}

TEST(PlotCurves, LogarithmicEntryFollowsItsAxis) {
    TPlotFrame f = FrameOf(1, 100, true);
    f.series.first = 0;
    f.series.last = 2;
    f.series.vertical = {V(1), V(2), V(3)};
    f.series.horizontal[1] = {V(10), V(100), V(0)};
    const auto path = f.Trait(1);
    ASSERT_EQ(path.size(), 2u); // zero has no place on a logarithmic axis
    EXPECT_DOUBLE_EQ(static_cast<double>(path[0].x), 200);
    EXPECT_DOUBLE_EQ(static_cast<double>(path[1].x), 400);
    EXPECT_TRUE(path[1].draw);
}

// A cast of pressure 101 (vertical), temperature 110 and conductivity 120 sensors.
struct TCastFixture : ::testing::Test {
    TCastFixture() {
        env.probe.DefaultParamCol();
        for (std::int32_t nb : {101, 110, 120}) {
            TParameter* p = env.cast.Add(env.probe.FindPara(nb)->MakeCopy());
            p->CreateBuffers(8);
            p->ParaFrame.PosInList = env.cast.Count() - 1;
        }
        SetPlotList(env.config, {101, 110, 120});
        SetRange(*env.cast.FindPara(101), 10, 0);
        SetRange(*env.cast.FindPara(110), 0, 20);
        SetRange(*env.cast.FindPara(120), 30, 50);
        env.cast.Loaded.TypeLoaded = FileTypeBinary;
    }
    // Rows of a down-cast to 5 dbar and back.
    void Fill(int rows, int downRows) {
        for (int r = 0; r < rows; ++r) {
            const float pres = r < downRows ? static_cast<float>(r) : 2.0f * downRows - r;
            env.cast.FindPara(101)->SortedBuffer->Add(pres, 0);
            env.cast.FindPara(110)->SortedBuffer->Add(10.0f + r, 0);
            env.cast.FindPara(120)->SortedBuffer->Add(40.0f, 0);
        }
        env.cast.Bin.SortInfo.MaxIndex = rows - 1;
        env.cast.Bin.SortInfo.MaxDownIndex = downRows - 1;
    }
    test::TAppEnv env;
};

TEST_F(TCastFixture, RecordsFollowTheDirectionShown) {
    struct TCase {
        TDisplayDirection direction;
        int rows, downRows;
        std::size_t points; // per curve
    } cases[] = {
        {Direction_Down, 8, 5, 5}, {Direction_Up, 8, 5, 4}, {Direction_Both, 8, 5, 8},
        {Direction_Up, 6, 6, 0}, // a down-only cast shown "up" draws nothing
        {Direction_None, 8, 5, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.direction));
        for (std::int32_t nb : {101, 110, 120})
            env.cast.FindPara(nb)->SortedBuffer->Clear();
        Fill(c.rows, c.downRows);
        env.config.GenCfg.Direction = c.direction;
        TPlainPlotHost host;
        TPlotScene scene(env.config, env.cast, host);
        scene.myresize(731, 704);
        ASSERT_TRUE(scene.PlotFrame.Prepared);
        EXPECT_EQ(scene.PlotFrame.Trait(1).size(), c.points);
        EXPECT_EQ(scene.PlotFrame.Trait(2).size(), c.points);
    }
}

TEST_F(TCastFixture, AShortSeriesIsNotReadBeyondItsEnd) {
    Fill(8, 8);
    env.config.GenCfg.Direction = Direction_Down;
    // The conductivity series lacks its last record: the curve ends one point early, unjoined.
    env.cast.FindPara(120)->SortedBuffer->Clear();
    for (int r = 0; r < 7; ++r)
        env.cast.FindPara(120)->SortedBuffer->Add(40.0f, 0);
    // The temperature series lacks two: no curve.
    env.cast.FindPara(110)->SortedBuffer->Clear();
    for (int r = 0; r < 6; ++r)
        env.cast.FindPara(110)->SortedBuffer->Add(12.0f, 0);
    TPlainPlotHost host;
    TPlotScene scene(env.config, env.cast, host);
    scene.myresize(731, 704);
    EXPECT_TRUE(scene.PlotFrame.Trait(1).empty());
    const auto path = scene.PlotFrame.Trait(2);
    ASSERT_EQ(path.size(), 8u);
    EXPECT_TRUE(path[6].draw);
    EXPECT_FALSE(path[7].draw);
}

TEST_F(TCastFixture, BottlesAreMarkedOnlyWhereTheirValueIsKnown) {
    Fill(8, 5);
    env.config.GenCfg.Direction = Direction_Both;
    TBottlesCollection bottles;
    const struct {
        int number;
        TFlaggedValue pres;
    } fired[] = {{1, V(4)}, {2, V(2, 1)}, {3, V(1)}};
    for (const auto& b : fired) {
        TBottleInfo& bottle = bottles.Add();
        bottle.BottleNb = b.number;
        bottle.RawValue[0] = b.pres;
    }
    env.cast.Loaded.Bottles = &bottles;
    TPlainPlotHost host;
    TPlotScene scene(env.config, env.cast, host);
    scene.myresize(731, 704);
    const auto marks = scene.PlotFrame.BottleMarks(3);
    ASSERT_EQ(marks.size(), 2u);
    const double height = scene.Layout().plot.Height();
    EXPECT_DOUBLE_EQ(static_cast<double>(marks[0].y), 0.4 * height);
    EXPECT_FALSE(marks[0].selected);
    EXPECT_TRUE(marks[1].selected);
    // Not on an axis of temperature.
    SetPlotList(env.config, {110, 101});
    scene.myresize(731, 704);
    EXPECT_TRUE(scene.PlotFrame.BottleMarks(0).empty());
}

TEST_F(TCastFixture, SceneRefusesScalesBeyondItsFramesWithABeep) {
    Fill(8, 5);
    TPlainPlotHost host;
    TPlotScene scene(env.config, env.cast, host);
    scene.myresize(731, 704);
    EXPECT_TRUE(scene.RemoveScale(2));
    EXPECT_EQ(env.config.PlotCount(), 2);
    env.op.Clear();
    EXPECT_FALSE(scene.RemoveScale(1)); // one horizontal scale left
    EXPECT_EQ(env.op.Events(), std::vector<std::string>{"Beep 0 0"});
    for (int k = 2; k <= MaxXScales; ++k)
        EXPECT_TRUE(scene.AddScale());
    EXPECT_EQ(env.config.PlotCount(), 9);
    EXPECT_TRUE(scene.XScaleFrames[8].Visible);
    env.op.Clear();
    EXPECT_FALSE(scene.AddScale()); // a ninth horizontal scale
    EXPECT_EQ(env.op.Events(), std::vector<std::string>{"Beep 0 0"});
    // A longer stored list shows its first nine entries and says so once.
    env.config.GenCfg.ParaPlotList.count = 12;
    scene.myresize(731, 704);
    scene.myresize(700, 704);
    EXPECT_EQ(scene.Layout().n, 9);
    const auto lines = env.LogMessages();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.find("after the ninth") != std::string::npos;
                            }),
              1);
}

TEST_F(TCastFixture, FamilyMembersShareTheRangeOfTheFirstOnePlotted) {
    // 111 is a second temperature sensor, reading 5 degrees more.
    TParameter* t2 = env.cast.Add(env.probe.FindPara(111)->MakeCopy());
    t2->CreateBuffers(8);
    Fill(8, 5);
    for (int r = 0; r < 8; ++r)
        t2->SortedBuffer->Add(15.0f + r, 0);
    SetPlotList(env.config, {101, 110, 120, 111});
    ASSERT_TRUE(ScanForAuto(env.config, env.cast, false, true));
    const TParaScale& t1 = env.cast.FindPara(110)->ParaScale;
    EXPECT_NEAR(static_cast<double>(t1.AutoMin.ToLongDouble()), 10 - 0.05 * 7, 1e-6);
    EXPECT_NEAR(static_cast<double>(t1.AutoMax.ToLongDouble()), 17 + 0.05 * 7, 1e-6);
    EXPECT_EQ(t2->ParaScale.AutoMin.ToLongDouble(), t1.AutoMin.ToLongDouble());
    EXPECT_EQ(t2->ParaScale.AutoMax.ToLongDouble(), t1.AutoMax.ToLongDouble());
    // Conductivity is of another family: its own range (at least MinExt wide).
    EXPECT_NE(env.cast.FindPara(120)->ParaScale.AutoMin.ToLongDouble(), t1.AutoMin.ToLongDouble());
}

} // namespace
} // namespace marevo

namespace marevo {
namespace {

TEST_F(TCastFixture, DuringACastOnlyTheHandOffReadsTheSeries) {
    Fill(6, 6);
    env.config.GenCfg.Direction = Direction_Down;
    env.cast.Acqui.RealTimeOn = true;
    TPlainPlotHost host;
    TPlotScene scene(env.config, env.cast, host);
    scene.myresize(731, 704);
    EXPECT_TRUE(scene.PlotFrame.Trait(1).empty());
    ASSERT_TRUE(scene.SetPlotA());
    EXPECT_EQ(scene.PlotFrame.Trait(1).size(), 6u);
    // The worker grows the series; a resize keeps drawing what the last hand-off copied.
    for (std::int32_t nb : {101, 110, 120})
        env.cast.FindPara(nb)->SortedBuffer->Add(6.0f, 0);
    env.cast.Bin.SortInfo.MaxIndex = env.cast.Bin.SortInfo.MaxDownIndex = 6;
    scene.myresize(700, 650);
    EXPECT_EQ(scene.PlotFrame.Trait(1).size(), 6u);
    ASSERT_TRUE(scene.SetPlotA());
    EXPECT_EQ(scene.PlotFrame.Trait(1).size(), 7u);
}

} // namespace
} // namespace marevo

// The values and bottles windows' content without widgets: the panel layout, the table of binned
// records and its link with the plot cursor, the refresh during a cast, the bottle table and the
// clicks that fire a bottle again.

#include "display/ValuesView.h"
#include "display/BottlesView.h"
#include "display/PlotHost.h"
#include "display/PlotScene.h"

#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace marevo {
namespace {

void SetList(TParaList& list, std::initializer_list<std::int32_t> numbers) {
    list.count = static_cast<std::int32_t>(numbers.size());
    int i = 0;
    for (std::int32_t nb : numbers) {
        list.List[i] = nb;
        list.Avail[i++] = 1;
    }
}

TEST(ValuesPanel, EntriesFillColumnsOfRows) {
    struct TCase {
        int count, rows;
        int entry, row, nameColumn;
    } cases[] = {
        {12, 6, 7, 1, 2}, {12, 6, 0, 0, 0},  {12, 6, 11, 5, 2},   {4, 5, 3, 3, 0},
        {10, 5, 9, 4, 2}, {11, 6, 10, 4, 2}, {33, 17, 32, 15, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.count * 100 + c.entry);
        EXPECT_EQ(PanelRows(c.count), c.rows);
        const TPanelPlace p = PanelPlace(c.entry, c.rows);
        EXPECT_EQ(p.row, c.row);
        EXPECT_EQ(p.nameColumn, c.nameColumn);
        EXPECT_EQ(p.valueColumn, c.nameColumn + 1);
    }
    EXPECT_EQ(PanelNameColours(true).background, 0x808080u);
    EXPECT_EQ(PanelNameColours(true).text, 0xFFFFFFu);
    EXPECT_EQ(PanelNameColours(false).background, 0xC0C0C0u);
    EXPECT_EQ(PanelNameColours(false).text, 0x808080u);
}

TEST(ValuesTexts, FixedWithScreenDecimalsAndAFlagMark) {
    EXPECT_EQ(ValueText({12.3456f, 0}, 3), "12.346");
    EXPECT_EQ(ValueText({12.3456f, 1}, 2), "12.35**");
    EXPECT_EQ(ExtractedText({7.25f, 0}, 2), "      7.25");
    EXPECT_EQ(ExtractedText({7.25f, 1}, 1), "     7.2**");
}

TEST(ValuesTexts, SevenCaptions) {
    struct TCase {
        bool onLine;
        TDisplayDirection direction;
        bool shown;
        const char* caption;
    } cases[] = {
        {true, Direction_Both, false, "Real Time Ctd Data"},
        {false, Direction_Both, true, "Extracted Cast Values"},
        {false, Direction_Up, true, "Extracted Cast Values - Up"},
        {false, Direction_Down, true, "Extracted Cast Values - Down"},
        {false, Direction_Both, false, "Extracted Cast Values - Flagged Data Hidden"},
        {false, Direction_Up, false, "Extracted Cast Values - Up - Flagged Data Hidden"},
        {false, Direction_Down, false, "Extracted Cast Values - Down - Flagged Data Hidden"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ValuesCaption(c.onLine, c.direction, c.shown), c.caption);
    TDataValidation v{};
    for (int setting = 0; setting < 2; ++setting)
        for (int down = 0; down < 2; ++down) {
            v.ShowFlagged = static_cast<std::uint8_t>(setting);
            EXPECT_EQ(FlaggedRowsShown(v, down != 0), setting != down);
        }
}

// A binned cast of pressure 101, temperature 110 and depth 403's stand-in: pressure is the
// vertical axis of the plot, the values window lists pressure and temperature.
struct TValuesFixture : ::testing::Test {
    TValuesFixture() {
        env.probe.DefaultParamCol();
        for (std::int32_t nb : {101, 110}) {
            TParameter* p = env.cast.Add(env.probe.FindPara(nb)->MakeCopy());
            p->CreateBuffers(8);
            p->ParaFrame.PosInList = env.cast.Count() - 1;
            p->ParaText.Decimal[txt_Screen] = 2;
        }
        SetList(env.config.GenCfg.ParaPlotList, {101, 110});
        SetList(env.config.GenCfg.CurParaList, {101, 110});
        env.config.UpdateAllParaPtr(InstalledCollections());
        env.cast.Loaded.TypeLoaded = FileTypeBinary;
        TParameter* pres = env.cast.FindPara(101);
        pres->ParaScale.CurMin = TExtended::FromLongDouble(30);
        pres->ParaScale.CurMax = TExtended::FromLongDouble(0);
        TParameter* temp = env.cast.FindPara(110);
        temp->ParaScale.CurMin = TExtended::FromLongDouble(0);
        temp->ParaScale.CurMax = TExtended::FromLongDouble(20);
    }
    // rows records, the deepest at downRows - 1; record r at pressure 2r on the way down;
    // the temperature of the records in `flagged` is flagged.
    void Fill(int rows, int downRows, std::initializer_list<int> flagged = {}) {
        for (int r = 0; r < rows; ++r) {
            const float pres = 2.0f * (r < downRows ? r : 2 * (downRows - 1) - r);
            const bool bad = std::find(flagged.begin(), flagged.end(), r) != flagged.end();
            env.cast.FindPara(101)->SortedBuffer->Add(pres, 0);
            env.cast.FindPara(110)->SortedBuffer->Add(10.0f + r, bad ? 1 : 0);
        }
        env.cast.Bin.SortInfo.MaxIndex = rows - 1;
        env.cast.Bin.SortInfo.MaxDownIndex = downRows - 1;
    }
    test::TAppEnv env;
};

TEST_F(TValuesFixture, HiddenFlaggedRowsKeepTheCursorOnTheRecordShown) {
    Fill(10, 10, {3});
    env.config.GenCfg.Direction = Direction_Both;
    TValuesContent content(env.config, env.cast);
    content.LayOut();
    ASSERT_EQ(content.EntryCount(), 2);

    content.Load(true, false);
    ASSERT_EQ(content.RowCount(), 9);
    for (int row = 0; row < 9; ++row)
        EXPECT_EQ(content.Label(row), std::to_string(row + 1));
    EXPECT_EQ(content.RecordOfRow(3), 4);
    EXPECT_EQ(content.Cell(3, 1), "14.00");
    // The table row to the plot: the cursor goes to the fifth record, not the hidden fourth.
    TPlainPlotHost host;
    host.cursor = true;
    TPlotScene scene(env.config, env.cast, host);
    scene.myresize(600, 500);
    ASSERT_TRUE(scene.PlotFrame.Prepared);
    scene.PlotFrame.SetCursor(content.RecordOfRow(3) - content.FirstIndex, env.cast, host);
    EXPECT_DOUBLE_EQ(static_cast<double>(scene.PlotFrame.CursorYVal), 8.0);
    // The plot to the table: the hidden record shows as the next row kept.
    EXPECT_EQ(content.RowOfRecord(3), 3);
    EXPECT_EQ(content.RowOfRecord(2), 2);
    EXPECT_EQ(content.RowOfRecord(40), 8);

    content.Load(true, true);
    ASSERT_EQ(content.RowCount(), 10);
    EXPECT_EQ(content.Cell(3, 1), "13.00**");
    EXPECT_EQ(content.Cell(3, 0), "6.00");
    EXPECT_EQ(content.Label(9), "10");
}

TEST_F(TValuesFixture, DirectionChoosesTheRecords) {
    struct TCase {
        TDisplayDirection direction;
        int first, rows;
        const char* firstLabel;
    } cases[] = {
        {Direction_Both, 0, 10, "1"},
        {Direction_Down, 0, 6, "1"},
        {Direction_Up, 5, 5, "6"},
    };
    Fill(10, 6);
    TValuesContent content(env.config, env.cast);
    content.LayOut();
    for (const TCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.direction));
        env.config.GenCfg.Direction = c.direction;
        content.Load(true, true);
        EXPECT_EQ(content.FirstIndex, c.first);
        EXPECT_EQ(content.RowCount(), c.rows);
        EXPECT_EQ(content.RecordOfRow(0), c.first);
        EXPECT_EQ(content.Label(0), c.firstLabel);
    }
}

TEST_F(TValuesFixture, AnAbsentParameterShowsNoValue) {
    SetList(env.config.GenCfg.CurParaList, {101, 130, 110});
    env.config.UpdateAllParaPtr(InstalledCollections());
    Fill(4, 4);
    TValuesContent content(env.config, env.cast);
    content.LayOut();
    content.Load(true, true);
    ASSERT_EQ(content.EntryCount(), 3);
    EXPECT_FALSE(content.Entries()[1].avail);
    EXPECT_FALSE(content.Entries()[1].name.empty());
    EXPECT_EQ(content.Cell(0, 1), "");
    EXPECT_EQ(content.Cell(0, 2), "10.00");
}

TEST_F(TValuesFixture, ExtractedValuesRefreshOnlyWhenANewRecordIsBinned) {
    Fill(3, 3);
    TValuesContent content(env.config, env.cast);
    content.LayOut();
    EXPECT_FALSE(content.UpdateCurValue(true, true)); // cursor on
    EXPECT_FALSE(content.Live);
    EXPECT_TRUE(content.UpdateCurValue(true, false));
    EXPECT_EQ(content.LiveTexts[1], "     12.00");
    EXPECT_FALSE(content.UpdateCurValue(true, false));
    Fill(1, 1); // one more record binned
    env.cast.Bin.SortInfo.MaxIndex = 3;
    EXPECT_TRUE(content.UpdateCurValue(true, false));
    EXPECT_EQ(content.LiveTexts[1], "     10.00");
    // Laying out again forgets the highest record shown.
    content.LayOut();
    EXPECT_TRUE(content.UpdateCurValue(true, false));

    TParamCollection none;
    TValuesContent nothing(env.config, none);
    nothing.LayOut();
    EXPECT_FALSE(nothing.UpdateCurValue(false, false));
}

// ---- Bottles
// ---------------------------------------------------------------------------------------

struct TBottlesFixture : TValuesFixture {
    TBottlesFixture() {
        env.cast.ProbeInfo.BottlesNumber = 12;
        SetList(env.config.GenCfg.BottleParaList, {501, 101, 110, 500, 130});
        env.config.GenCfg.BottleParaList.Avail[4] = 0;
        cruise.InfoStr[1].Set("NORD24");
        cast.ID = 5;
        env.cast.Loaded.CruiseHeader = &cruise;
        env.cast.Loaded.CastHeader = &cast;
        env.cast.Loaded.Bottles = &bottles;
    }
    void Fire(int number, TBottleStatus status, float pres, float temp) {
        TBottleInfo& b = bottles.Add();
        b.BottleNb = number;
        b.BtlStatus = status;
        b.RawValue[0] = {pres, 0};
        b.RawValue[1] = {temp, 0};
    }
    TCastInfo cruise, cast;
    TBottlesCollection bottles;
};

TEST_F(TBottlesFixture, OneRowPerPositionWithTheStoredValues) {
    Fire(3, btl_Closed, 120.5f, 4.25f);
    Fire(7, btl_cmdError, 60.0f, 8.5f);
    Fire(40, btl_Closed, 10.0f, 11.0f);
    const TBottleTable t = BottleTable(env.cast, env.config, false);
    EXPECT_EQ(t.caption, "Bottles - Cruise : NORD24 - Cast No: 5");
    EXPECT_EQ(t.rows, 13);
    ASSERT_EQ(t.Columns(), 6);
    EXPECT_EQ(t.headers[0], "N.");
    EXPECT_EQ(t.widths[0], 20);
    EXPECT_EQ(t.widths[1], 80);
    EXPECT_EQ(t.Cell(3, 1), "Closed");
    EXPECT_EQ(t.Cell(3, 2), "120.50");
    EXPECT_EQ(t.Cell(3, 3), "4.25");
    EXPECT_EQ(t.Cell(3, 4), "3");
    EXPECT_EQ(t.Cell(3, 5), ""); // not present in the cast
    EXPECT_EQ(t.Cell(7, 1), "Cmd_Err");
    EXPECT_EQ(t.Cell(7, 3), "8.50");
    EXPECT_EQ(t.Cell(5, 0), "5");
    for (int k : {1, 2, 4, 5, 6, 8, 12})
        EXPECT_TRUE(t.StatusCellEmpty(k)) << k;
    EXPECT_FALSE(t.StatusCellEmpty(3));
    EXPECT_FALSE(t.StatusCellEmpty(7));
    // The bottle numbered 40 has no row: logged, the others shown.
    EXPECT_TRUE(env.Logged("BottlesForm.UpdateCurValue bottle number 40 outside the rosette's "
                           "positions 1..12: not shown"));
    EXPECT_EQ(std::count(t.hidden.begin(), t.hidden.end(), true), 0);
}

TEST_F(TBottlesFixture, OnLineOnlyInstalledPositionsHaveHeight) {
    std::fill(std::begin(env.config.Rosette.BottleList), std::end(env.config.Rosette.BottleList),
              std::uint8_t{0});
    env.config.Rosette.BottleList[2] = 1; // position 3
    const TBottleTable t = BottleTable(env.cast, env.config, true);
    EXPECT_FALSE(t.hidden[3]);
    EXPECT_TRUE(t.hidden[4]);
    env.cast.ProbeInfo.BottlesNumber = 0;
    env.cast.Loaded.CastHeader->ID = 0;
    const TBottleTable none = BottleTable(env.cast, env.config, false);
    EXPECT_EQ(none.rows, 2);
    EXPECT_EQ(none.caption, "Bottles - Cruise : NORD24");
}

TEST(BottleClicks, PositionalAndSequentialOnAndOffLine) {
    using A = TFireAction;
    struct TCase {
        const char* name;
        TBottleClick click;
        A action;
        bool again;
        int requested;
    } cases[] = {
        {"off line", {false, false, true, 3, 1, true, "Cmd_Err", true}, A::DisableFire, false, 0},
        {"off line, right", {false, true, false, 3, 1, true, "", true}, A::DisableFire, false, 0},
        {"positional, status not closed",
         {true, false, true, 7, 1, true, "Cmd_Err", true},
         A::FireAgain,
         true,
         7},
        {"positional, no answer",
         {true, false, true, 7, 1, true, "No_Answ", true},
         A::FireAgain,
         true,
         7},
        {"positional, closed", {true, false, true, 3, 1, true, "Closed", true}, A::None, false, 0},
        {"positional, empty status", {true, false, true, 4, 1, true, "", true}, A::None, false, 0},
        {"positional, value column",
         {true, false, true, 7, 2, true, "60.00", true},
         A::None,
         false,
         0},
        {"positional, not installed",
         {true, false, true, 7, 1, false, "Cmd_Err", true},
         A::None,
         false,
         0},
        {"sequential, command error",
         {true, true, true, 7, 1, true, "Cmd_Err", true},
         A::FireAgain,
         true,
         7},
        {"sequential, no answer",
         {true, true, true, 7, 1, true, "No_Answ", true},
         A::None,
         false,
         0},
        {"positional right, empty",
         {true, false, false, 4, 2, true, "", true},
         A::OfferFire,
         false,
         4},
        {"positional right, fired",
         {true, false, false, 3, 1, true, "Closed", true},
         A::DisableFire,
         false,
         0},
        {"positional right, menu off",
         {true, false, false, 4, 1, true, "", false},
         A::DisableFire,
         false,
         0},
        {"positional right, not installed",
         {true, false, false, 4, 1, false, "", true},
         A::DisableFire,
         false,
         0},
        {"sequential right",
         {true, true, false, 3, 1, true, "Closed", true},
         A::OfferFire,
         false,
         0},
        {"sequential right, menu off",
         {true, true, false, 3, 1, true, "", false},
         A::DisableFire,
         false,
         0},
        {"right on the header",
         {true, true, false, 0, 1, true, "", true},
         A::DisableFire,
         false,
         0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TFireRequest r = BottleClick(c.click);
        EXPECT_EQ(r.action, c.action);
        EXPECT_EQ(r.fireAgain, c.again);
        EXPECT_EQ(r.requested, c.requested);
    }
    EXPECT_TRUE(SequentialRosette(ro_1015));
    EXPECT_TRUE(SequentialRosette(ro_MISS));
    EXPECT_TRUE(SequentialRosette(ro_KC));
    EXPECT_FALSE(SequentialRosette(ro_SBE));
    EXPECT_FALSE(SequentialRosette(ro_1014));
}

TEST_F(TBottlesFixture, NextBottleSkipsPositionsTheTableShows) {
    Fire(3, btl_Closed, 120.5f, 4.25f);
    TRosetteInfo& r = env.config.Rosette;
    std::fill(std::begin(r.BottleList), std::end(r.BottleList), std::uint8_t{0});
    for (int k : {2, 3, 4})
        r.BottleList[k - 1] = 1;
    r.MaxBottlePos = 12;
    env.config.SetBottlesPara();
    const TBottleTable t = BottleTable(env.cast, env.config, true);
    const auto empty = [&t](int k) { return t.StatusCellEmpty(k); };
    EXPECT_EQ(env.config.NextBottle(2, empty), 4);
    EXPECT_EQ(env.config.NextBottle(4, empty), 2);
}

} // namespace
} // namespace marevo

// The derived columns (SA, CT, SIG0, RHO, N2) in the plot and the values window: drawn and shown
// from the column of the binned table, recomputed when the table grows.

#include "display/PlotFrame.h"
#include "display/ValuesView.h"

#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "processing/Collections.h"
#include "processing/ConfigAuto.h"
#include "processing/DerivedColumns.h"
#include "records/CastInfo.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace marevo {
namespace {

// A binned table of pressure, temperature and salinity of a cast in the North Atlantic; rows
// 0..3 down, the rest up; the plot list pressure, CT, temperature, SIG0.
struct TDerivedViewRig : test::TAppEnv {
    TCastInfo header;
    std::vector<std::array<float, 3>> rows = {
        {2, 19.5f, 36.2f},  {50, 18.0f, 36.4f}, {200, 13.1f, 35.7f},
        {800, 6.2f, 35.1f}, {600, 8.0f, 35.2f}, {100, 16.0f, 36.0f},
    };

    TDerivedViewRig() {
        probe.DefaultParamCol();
        for (int n : {PressurePara, TemperaturePara, SalinityPara}) {
            TParameter* p = cast.Add(std::make_unique<TParameter>());
            p->SetDefPara(n);
            p->CreateBuffers(4);
        }
        header.latitude[0] = TExtended::FromDouble(41.2);
        header.longitude[0] = TExtended::FromDouble(-32.75);
        cast.Loaded.CastHeader = &header;
        cast.Bin.SortInfo.MaxDownIndex = 3;
        Append(rows);
        config.GenCfg.Direction = Direction_Both;
        config.GenCfg.DrawSmooth = 0;
        TParaList& plot = config.GenCfg.ParaPlotList;
        const std::int32_t numbers[] = {PressurePara, ConservativeTempPara, TemperaturePara,
                                        Sigma0Teos10Para};
        plot.count = 4;
        for (int i = 0; i < 4; ++i)
            plot.List[i] = numbers[i];
        cast.BuildCalcList();
        config.UpdateAllParaPtr(TConfigCollections(cast, probe));
    }

    void Append(const std::vector<std::array<float, 3>>& more) {
        const int numbers[] = {PressurePara, TemperaturePara, SalinityPara};
        for (int c = 0; c < 3; ++c)
            for (const auto& row : more)
                cast.FindPara(numbers[c])->SortedBuffer->AddFV({row[c], 0});
        cast.Bin.SortInfo.MaxIndex = cast.FindPara(PressurePara)->SortedBuffer->LastIndice;
    }

    // Rows 0..MaxIndex of the column as the exports compute it.
    std::vector<TFlaggedValue> Expected(std::int32_t number) {
        const std::unique_ptr<TParameter> column = ComputeDerivedColumn(cast, number);
        const TLinearArray& s = *column->SortedBuffer;
        return {s.Data(), s.Data() + s.LastIndice + 1};
    }
};

bool SameSeries(const std::vector<TFlaggedValue>& a, const std::vector<TFlaggedValue>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].flag != b[i].flag || (a[i].flag == 0 && a[i].value != b[i].value))
            return false;
    return true;
}

TEST(DerivedView, PlotDrawsTheDerivedColumnAndFollowsAGrowingTable) {
    TDerivedViewRig rig;
    const TParaList& plot = rig.config.GenCfg.ParaPlotList;
    // The cast holds the inputs: the derived entries are available and resolve to a definition
    // that names their axis.
    EXPECT_TRUE(plot.Avail[1] && plot.Avail[3]);
    EXPECT_EQ(rig.config.ScaleName(1), "Conservative Temperature [°C]");
    EXPECT_EQ(rig.config.ScaleName(3), "Sigma0 TEOS-10 [kg/m^3]");

    TPlotFrame frame;
    ASSERT_TRUE(frame.TakeSeries(rig.cast, rig.config));
    EXPECT_TRUE(SameSeries(frame.series.horizontal[1], rig.Expected(ConservativeTempPara)));
    EXPECT_TRUE(SameSeries(frame.series.horizontal[3], rig.Expected(Sigma0Teos10Para)));
    EXPECT_EQ(frame.series.horizontal[1].size(), rig.rows.size());
    EXPECT_EQ(frame.series.horizontal[1][0].flag, 0); // the position and inputs give values

    // The live table grows by two rows: the column is computed again for them.
    rig.Append({{60, 17.5f, 36.3f}, {10, 19.0f, 36.2f}});
    ASSERT_TRUE(frame.TakeSeries(rig.cast, rig.config));
    EXPECT_EQ(frame.series.horizontal[1].size(), rig.rows.size() + 2);
    EXPECT_TRUE(SameSeries(frame.series.horizontal[1], rig.Expected(ConservativeTempPara)));

    // Another position in the header: the cached column is not the cast's any more.
    rig.header.latitude[0] = TExtended::FromDouble(-60.0);
    rig.header.longitude[0] = TExtended::FromDouble(150.0);
    ASSERT_TRUE(frame.TakeSeries(rig.cast, rig.config));
    EXPECT_TRUE(SameSeries(frame.series.horizontal[1], rig.Expected(ConservativeTempPara)));
}

TEST(DerivedView, AutomaticRangeOfADerivedEntryHoldsItsValues) {
    TDerivedViewRig rig;
    rig.config.GenCfg.DrawAutoX = 1;
    ASSERT_TRUE(ScanForAuto(rig.config, rig.cast, true, true));
    float lo = 1e9f, hi = -1e9f;
    for (const TFlaggedValue& v : rig.Expected(Sigma0Teos10Para))
        if (v.flag == 0)
            lo = std::min(lo, v.value), hi = std::max(hi, v.value);
    const long double min = rig.config.ScaleMin(3), max = rig.config.ScaleMax(3);
    EXPECT_LT(min, lo);
    EXPECT_GT(max, hi);
    EXPECT_LT(max - min, 2 * (hi - lo)); // fitted to the values, not the default axis
    // The same from the columns a plot keeps.
    DerivedColumnDefinition(Sigma0Teos10Para)->ParaScale.AutoMin = TExtended::FromDouble(0);
    TDerivedColumnCache columns;
    ASSERT_TRUE(ScanForAuto(rig.config, rig.cast, true, true, &columns));
    EXPECT_EQ(rig.config.ScaleMin(3), min);
    EXPECT_EQ(rig.config.ScaleMax(3), max);
}

TEST(DerivedView, ValuesWindowShowsTheDerivedColumnAtEachRow) {
    TDerivedViewRig rig;
    TParaList& list = rig.config.GenCfg.CurParaList;
    list.count = 2;
    list.List[0] = PressurePara;
    list.List[1] = AbsoluteSalinityPara;
    rig.cast.BuildCalcList();
    TValuesContent content(rig.config, rig.cast);
    content.LayOut();
    ASSERT_EQ(content.EntryCount(), 2);
    EXPECT_TRUE(content.Entries()[1].avail);
    EXPECT_EQ(content.Entries()[1].name, "Absolute Salinity");
    content.Load(true, true);
    ASSERT_EQ(content.RowCount(), static_cast<int>(rig.rows.size()));
    const std::vector<TFlaggedValue> sa = rig.Expected(AbsoluteSalinityPara);
    for (int row = 0; row < content.RowCount(); ++row)
        EXPECT_EQ(content.Cell(row, 1), ValueText(sa[static_cast<std::size_t>(row)], 4)) << row;

    // During a cast the extracted view shows its last binned value once a new row is binned.
    EXPECT_TRUE(content.UpdateCurValue(true, false));
    rig.Append({{40, 18.1f, 36.4f}});
    EXPECT_TRUE(content.UpdateCurValue(true, false));
    EXPECT_EQ(content.LiveTexts[1], ExtractedText(rig.Expected(AbsoluteSalinityPara).back(), 4));
}

TEST(DerivedView, WithoutTheInputsADerivedEntryIsNotAvailable) {
    TDerivedViewRig rig;
    for (int i = rig.cast.Count() - 1; i >= 0; --i)
        if (rig.cast.Items(i)->GetParaNb() == SalinityPara)
            rig.cast.Delete(i);
    ASSERT_FALSE(rig.cast.ExistParaNb(SalinityPara));
    rig.cast.BuildCalcList();
    EXPECT_FALSE(rig.config.GenCfg.ParaPlotList.Avail[1]);
    TPlotFrame frame;
    ASSERT_TRUE(frame.TakeSeries(rig.cast, rig.config));
    EXPECT_TRUE(frame.series.horizontal[1].empty());
}

} // namespace
} // namespace marevo

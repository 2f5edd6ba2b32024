// The values and bottles windows holding the real cast of data/real-casts, binned by pressure,
// with four bottles recorded from its frames. With MAREVO_SCREENSHOT_DIR set, the windows are
// saved there as the manual's pictures (docs/manual/make-values-screenshots.sh).

#include "ui/BottlesForm.h"
#include "ui/ValuesForm.h"

#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "support/AppEnv.h"
#include "support/CastFrames.h"

#include <QApplication>
#include <QPixmap>
#include <QTableView>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace marevo {
namespace {

void SetList(TParaList& list, const TParamCollection& cast, std::vector<std::int32_t> numbers) {
    list.count = 0;
    for (std::int32_t nb : numbers)
        if (cast.ExistParaNb(nb) || nb == 500 || nb == 501) {
            list.List[list.count] = nb;
            list.Avail[list.count++] = 1;
        }
}

void Save(QWidget& w, const char* name) {
    const char* dir = std::getenv("MAREVO_SCREENSHOT_DIR");
    if (!dir)
        return;
    QApplication::processEvents();
    ASSERT_TRUE(
        w.grab().save(QString::fromStdString((std::filesystem::path(dir) / name).string())));
}

TEST(ValuesScreenshots, RealCastInBothWindows) {
    test::TAppEnv env;
    TParamCollection& cast = env.cast;
    test::BuildDF6Cast(cast, test::TRealCast::Channels());
    TAcquiCfg& acq = env.config.AcquiCfg;
    acq.AcquiMode = AM_Pressure;
    acq.VertUnit = vu_dbar;
    acq.VertStep = TExtended::FromDouble(1);
    acq.VertFirst = TExtended::FromDouble(1);
    acq.VertMeanItv = TExtended::FromDouble(1);
    ASSERT_TRUE(cast.InitRoundBuffer());
    ASSERT_TRUE(cast.InitLinearBuffer());
    TCastInfo cruise, header;
    TBottlesCollection bottles;
    cruise.InfoStr[1].Set("SOUTH-ATL");
    header.ID = 1;
    cast.Loaded.CruiseHeader = &cruise;
    cast.Loaded.CastHeader = &header;
    cast.Loaded.Bottles = &bottles;
    test::ReplayRealCast(cast, env.dir / "real.raw");
    cast.Loaded.TypeLoaded = FileTypeBinary;
    SetList(env.config.GenCfg.CurParaList, cast,
            {101, 403, 110, 111, 120, 121, 401, 599, 404, 140});
    // A third temperature sensor the probe did not carry: named on silver.
    TParaList& shown = env.config.GenCfg.CurParaList;
    ASSERT_FALSE(cast.ExistParaNb(112));
    shown.List[shown.count] = 112;
    shown.Avail[shown.count++] = 0;
    SetList(env.config.GenCfg.BottleParaList, cast, {501, 101, 403, 110, 120, 404});
    env.config.UpdateAllParaPtr(InstalledCollections());
    env.config.GenCfg.Direction = Direction_Both;
    env.config.DataValidation.ShowFlagged = 1;

    // Four bottles on the way up, each with the channels of one recorded frame.
    cast.ProbeInfo.BottlesNumber = 12;
    const TParameter* pres = cast.FindPara(101);
    ASSERT_TRUE(pres && pres->PostLinBuf);
    const int frames = pres->PostLinBuf->LastIndice + 1;
    const struct {
        int position;
        TBottleStatus status;
        double at; // part of the recording
    } fired[] = {{1, btl_Closed, 0.62},
                 {2, btl_Closed, 0.75},
                 {3, btl_cmdError, 0.85},
                 {5, btl_Closed, 0.95}};
    for (const auto& f : fired) {
        TBottleInfo& b = bottles.Add();
        b.BottleNb = f.position;
        b.BtlStatus = f.status;
        const int frame = static_cast<int>(f.at * frames);
        for (const auto& p : cast)
            if (p->PostLinBuf && p->ParaFrame.PosInList >= 0 &&
                p->ParaFrame.PosInList < RawFVCount && frame <= p->PostLinBuf->LastIndice)
                b.RawValue[p->ParaFrame.PosInList] = p->PostLinBuf->Data()[frame];
    }

    TValuesForm values(env.config, cast, {}, nullptr);
    values.resize(324, 126);
    values.show();
    env.config.GenCfg.ValueMode = vm_normal;
    values.SetScrollMode(false);
    EXPECT_FALSE(values.CellText(0, 1).isEmpty());
    // The record at 300 dbar, as the plot cursor would choose it.
    values.ShowCursorValue(299);
    EXPECT_EQ(values.CellText(0, 1), QStringLiteral("300.00"));
    Save(values, "values-panel.png");
    values.resize(760, 360);
    values.SetScrollMode(true);
    EXPECT_EQ(values.Grid()->model()->rowCount(), cast.Bin.SortInfo.MaxIndex + 1);
    EXPECT_GT(values.Grid()->model()->rowCount(), 100);
    Save(values, "values-table.png");

    TBottlesForm bottlesForm(env.config, cast, {}, nullptr);
    bottlesForm.resize(560, 300);
    bottlesForm.show();
    bottlesForm.UpdateCurValue();
    ASSERT_NE(bottlesForm.Grid()->item(2, 1), nullptr);
    EXPECT_EQ(bottlesForm.Grid()->item(2, 1)->text(), QStringLiteral("Cmd_Err"));
    Save(bottlesForm, "bottles-real-cast.png");
}

} // namespace
} // namespace marevo

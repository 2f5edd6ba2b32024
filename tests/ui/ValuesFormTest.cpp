// The values and bottles windows and their parameter dialogs off screen, on small collections:
// the panel, the table and its link with the plot cursor, the refresh during a cast, the bottle
// table and its clicks.

#include "ui/ValuesForm.h"
#include "ui/BottlesForm.h"
#include "ui/ParaListDialog.h"

#include "parameters/ParaNumbers.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "support/AppEnv.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QListWidget>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

namespace marevo {
namespace {

void SetList(TParaList& list, const std::vector<std::int32_t>& numbers) {
    list.count = static_cast<std::int32_t>(numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        list.List[i] = numbers[i];
        list.Avail[i] = 1;
    }
}

// A cast of pressure 101 and temperature 110 with ten binned records, record r at 2r dbar and
// 10 + r degrees; the values window lists both.
struct TValuesWindow : ::testing::Test {
    TValuesWindow() {
        env.probe.DefaultParamCol();
        for (std::int32_t nb : {101, 110}) {
            TParameter* p = env.cast.Add(env.probe.FindPara(nb)->MakeCopy());
            p->CreateBuffers(8);
            p->ParaFrame.PosInList = env.cast.Count() - 1;
            p->ParaText.Decimal[txt_Screen] = 2;
        }
        SetList(env.config.GenCfg.CurParaList, {101, 110});
        env.config.UpdateAllParaPtr(InstalledCollections());
        env.config.GenCfg.Direction = Direction_Both;
        for (int r = 0; r < 10; ++r) {
            env.cast.FindPara(101)->SortedBuffer->Add(2.0f * r, 0);
            env.cast.FindPara(110)->SortedBuffer->Add(10.0f + r, r == 3 ? 1 : 0);
        }
        env.cast.Bin.SortInfo.MaxIndex = 9;
        env.cast.Bin.SortInfo.MaxDownIndex = 9;
        env.cast.Loaded.TypeLoaded = FileTypeBinary;
        env.config.DataValidation.ShowFlagged = 0;
    }
    TValuesWindowHost Host() {
        return {[this] { return onLine; },
                [this] { return cursorOn; },
                [this] { return filterDown; },
                [this](int row) { cursorRows.push_back(row); },
                {},
                {}};
    }
    test::TAppEnv env;
    bool onLine = false, cursorOn = false, filterDown = false;
    std::vector<int> cursorRows;
};

TEST_F(TValuesWindow, PanelPlacesNamesAndMarksAbsentParameters) {
    // Twelve entries, of which the cast holds only pressure and temperature.
    SetList(env.config.GenCfg.CurParaList,
            {101, 110, 111, 120, 121, 130, 140, 147, 400, 403, 599, 600});
    env.config.UpdateAllParaPtr(InstalledCollections());
    env.config.GenCfg.ValueMode = vm_normal;
    TValuesForm form(env.config, env.cast, Host(), nullptr);
    form.ShowData();
    QAbstractItemModel* m = form.Grid()->model();
    EXPECT_EQ(m->rowCount(), 6);
    EXPECT_EQ(m->columnCount(), 4);
    const auto& e = form.Content().Entries();
    EXPECT_EQ(form.CellText(1, 2).toStdString(), e[7].name);
    EXPECT_EQ(form.CellText(0, 0).toStdString(), e[0].name);
    // Record 1 of the panel: the second binned record.
    EXPECT_EQ(form.CellText(0, 1), QStringLiteral("2.00"));
    EXPECT_EQ(form.CellText(1, 1), QStringLiteral("11.00"));
    const auto background = [&](int row, int column) {
        return m->data(m->index(row, column), Qt::BackgroundRole).value<QColor>();
    };
    EXPECT_EQ(background(0, 0), QColor(128, 128, 128));
    EXPECT_EQ(background(1, 2), QColor(192, 192, 192)); // 147 is not in the cast
    EXPECT_EQ(m->data(m->index(1, 2), Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));

    SetList(env.config.GenCfg.CurParaList, {101, 110, 111, 120});
    form.ShowData();
    EXPECT_EQ(m->rowCount(), 5);
    EXPECT_EQ(background(4, 0), QColor(192, 192, 192)); // beyond the list
}

TEST_F(TValuesWindow, HiddenFlaggedRecordAndTheCursorLink) {
    env.config.GenCfg.ValueMode = vm_scroll;
    TValuesForm form(env.config, env.cast, Host(), nullptr);
    form.show();
    QApplication::setActiveWindow(&form);
    form.ShowData();
    QAbstractItemModel* m = form.Grid()->model();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Extracted Cast Values - Flagged Data Hidden"));
    ASSERT_EQ(m->rowCount(), 9);
    for (int row = 0; row < 9; ++row)
        EXPECT_EQ(form.CellText(row, 0), QString::number(row + 1));
    EXPECT_EQ(form.CellText(3, 1), QStringLiteral("8.00"));
    EXPECT_EQ(form.CellText(3, 2), QStringLiteral("14.00"));
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("N."));

    // The table to the plot: the fourth row shows the fifth record, where the cursor goes.
    cursorOn = true;
    form.Grid()->selectRow(3);
    ASSERT_TRUE(form.isActiveWindow());
    ASSERT_FALSE(cursorRows.empty());
    EXPECT_EQ(cursorRows.back(), 4);
    EXPECT_EQ(form.SelectedRow(), 4);
    // The plot to the table: record 3 is hidden, the next one shown is selected; no cursor move.
    const std::size_t moves = cursorRows.size();
    form.ShowCursorValue(3);
    EXPECT_EQ(form.Grid()->currentIndex().row(), 3);
    EXPECT_EQ(cursorRows.size(), moves);
    // The cursor off: it stays where it is.
    cursorOn = false;
    form.Grid()->selectRow(6);
    EXPECT_EQ(cursorRows.size(), moves);

    filterDown = true; // inverts "hidden"
    form.ShowData();
    ASSERT_EQ(m->rowCount(), 10);
    EXPECT_EQ(form.CellText(3, 2), QStringLiteral("13.00**"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Extracted Cast Values"));
    env.config.GenCfg.Direction = Direction_Up;
    env.cast.Bin.SortInfo.MaxDownIndex = 6;
    form.ShowData();
    EXPECT_EQ(m->rowCount(), 4);
    EXPECT_EQ(form.CellText(0, 0), QStringLiteral("7"));
    EXPECT_EQ(form.FirstRow(), 6);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Extracted Cast Values - Up"));
}

TEST_F(TValuesWindow, LiveRowsShowOnlyTheTextsOfTheHandOff) {
    env.config.GenCfg.ValueMode = vm_scroll;
    onLine = true;
    TValuesForm form(env.config, env.cast, Host(), nullptr);
    form.ShowData();
    form.ExtractedAction->trigger();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Real Time Ctd Data - Extracted"));
    form.UpdateCurValue();
    ASSERT_EQ(form.Grid()->model()->rowCount(), 1);
    EXPECT_EQ(form.CellText(0, 2), QStringLiteral("     19.00"));
    // The worker moves on: the window repaints what the hand-off wrote, not the series.
    env.cast.FindPara(110)->SortedBuffer->Clear();
    form.Grid()->viewport()->repaint();
    EXPECT_EQ(form.CellText(0, 2), QStringLiteral("     19.00"));
    // No new record: nothing is refreshed; a new one is.
    for (float t : {30.0f, 31.0f})
        env.cast.FindPara(110)->SortedBuffer->Add(t, 0);
    form.UpdateCurValue();
    EXPECT_EQ(form.CellText(0, 2), QStringLiteral("     19.00"));
    env.cast.Bin.SortInfo.MaxIndex = 10;
    form.UpdateCurValue();
    EXPECT_EQ(form.CellText(0, 2), QStringLiteral("     31.00"));
    // With the cursor on, nothing.
    cursorOn = true;
    env.cast.Bin.SortInfo.MaxIndex = 11;
    form.UpdateCurValue();
    EXPECT_EQ(form.CellText(0, 2), QStringLiteral("     31.00"));
    form.ExtractedAction->trigger();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Real Time Ctd Data"));
}

TEST_F(TValuesWindow, ScrollViewIsStoredAndClearLeavesThreeEmptyRows) {
    env.config.GenCfg.ValueMode = vm_normal;
    TValuesForm form(env.config, env.cast, Host(), nullptr);
    form.ShowData();
    form.ScrollAction->trigger();
    EXPECT_TRUE(form.ScrollMode());
    EXPECT_EQ(env.config.GenCfg.ValueMode, vm_scroll);
    EXPECT_EQ(form.Grid()->model()->rowCount(), 9);
    form.Clear();
    EXPECT_EQ(form.Grid()->model()->rowCount(), 3);
    EXPECT_TRUE(form.CellText(0, 1).isEmpty());
}

// ---- Bottles -----------------------------------------------------------------------------------

struct TBottlesWindow : TValuesWindow {
    TBottlesWindow() {
        env.cast.ProbeInfo.BottlesNumber = 12;
        SetList(env.config.GenCfg.BottleParaList, {501, 101, 110});
        cruise.InfoStr[1].Set("NORD24");
        header.ID = 5;
        env.cast.Loaded.CruiseHeader = &cruise;
        env.cast.Loaded.CastHeader = &header;
        env.cast.Loaded.Bottles = &bottles;
        const struct {
            int number;
            TBottleStatus status;
            float pres, temp;
        } fired[] = {
            {3, btl_Closed, 120.5f, 4.25f}, {7, btl_cmdError, 60, 8.5f}, {40, btl_Closed, 1, 1}};
        for (const auto& f : fired) {
            TBottleInfo& b = bottles.Add();
            b.BottleNb = f.number;
            b.BtlStatus = f.status;
            b.RawValue[0] = {f.pres, 0};
            b.RawValue[1] = {f.temp, 0};
        }
        std::fill(std::begin(env.config.Rosette.BottleList),
                  std::end(env.config.Rosette.BottleList), std::uint8_t{1});
    }
    TBottlesWindowHost BottleHost() {
        return {[this] { return onLine; },
                [this] { return fireEnabled; },
                [this](bool again, int bottle) { requests.emplace_back(again, bottle); },
                [this] { ++fires; },
                {},
                {},
                {},
                [this] { ++rebuilds; }};
    }
    TCastInfo cruise, header;
    TBottlesCollection bottles;
    bool fireEnabled = true;
    std::vector<std::pair<bool, int>> requests;
    int fires = 0, rebuilds = 0;
};

TEST_F(TBottlesWindow, RowsByPositionWithTheStoredValues) {
    TBottlesForm form(env.config, env.cast, BottleHost(), nullptr);
    form.UpdateCurValue();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Bottles - Cruise : NORD24 - Cast No: 5"));
    QTableWidget* g = form.Grid();
    ASSERT_EQ(g->rowCount(), 12); // 13 with the header row
    ASSERT_EQ(g->columnCount(), 4);
    EXPECT_EQ(g->horizontalHeaderItem(0)->text(), QStringLiteral("N."));
    EXPECT_GE(g->columnWidth(0), 20);
    EXPECT_EQ(g->columnWidth(2), 80);
    const auto text = [g](int row, int column) {
        const QTableWidgetItem* item = g->item(row - 1, column);
        return item ? item->text() : QString();
    };
    EXPECT_EQ(text(3, 1), QStringLiteral("Closed"));
    EXPECT_EQ(text(3, 2), QStringLiteral("120.50"));
    EXPECT_EQ(text(7, 1), QStringLiteral("Cmd_Err"));
    EXPECT_EQ(text(7, 3), QStringLiteral("8.50"));
    EXPECT_EQ(text(12, 0), QStringLiteral("12"));
    EXPECT_TRUE(text(12, 1).isEmpty());
    EXPECT_TRUE(env.Logged("BottlesForm.UpdateCurValue bottle number 40 outside the rosette's "
                           "positions 1..12: not shown"));
    EXPECT_EQ(g->toolTip(), QStringLiteral("Click on Status cell, if not Closed, to fire AGAIN"));

    // A selected row is the bottle the plot marks solid; an empty row counts too.
    EXPECT_EQ(form.SelectedRow(), 0);
    g->selectRow(3);
    EXPECT_EQ(form.SelectedRow(), 4);

    form.Clear();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Bottles"));
    EXPECT_TRUE(form.StatusCellEmpty(3));
}

TEST_F(TBottlesWindow, ClicksAskForAFiringOnlyOnLine) {
    TBottlesForm form(env.config, env.cast, BottleHost(), nullptr);
    form.UpdateCurValue();
    form.Click(true, 7, 1); // off line
    EXPECT_FALSE(form.FireAction->isEnabled());
    EXPECT_TRUE(requests.empty());

    onLine = true;
    form.Click(true, 7, 1); // positional, "Cmd_Err": fire again at once
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.back(), std::make_pair(true, 7));
    EXPECT_EQ(fires, 1);
    form.Click(true, 3, 1); // "Closed"
    EXPECT_EQ(fires, 1);
    form.Click(false, 5, 2); // an empty row: offered
    EXPECT_TRUE(form.FireAction->isEnabled());
    EXPECT_EQ(requests.back(), std::make_pair(false, 5));
    form.FireAction->trigger();
    EXPECT_EQ(fires, 2);

    env.config.Rosette.RosetteType = ro_1015; // sequential: the next free position
    form.Click(false, 3, 1);
    EXPECT_EQ(requests.back(), std::make_pair(false, 0));
    fireEnabled = false;
    form.Click(false, 3, 1);
    EXPECT_FALSE(form.FireAction->isEnabled());
}

// ---- Parameter dialog
// ------------------------------------------------------------------------------

TEST(ParaListDialog, OkWritesTheListInOrderAndCancelLeavesItWhole) {
    test::TAppEnv env;
    env.probe.DefaultParamCol();
    env.cast.Add(env.probe.FindPara(101)->MakeCopy());
    TParaList list{};
    SetList(list, {110, 101});
    list.Ptr[0] = 77;
    const TParaList before = list;
    {
        TParaListDialog dialog(QStringLiteral("Values Window"), list, env.probe, env.cast);
        EXPECT_TRUE(dialog.AddNumber(120));
        dialog.reject();
    }
    EXPECT_EQ(std::memcmp(&list, &before, sizeof list), 0);

    TParaListDialog dialog(QStringLiteral("Values Window"), list, env.probe, env.cast);
    dialog.Chosen->setCurrentRow(1);
    dialog.MoveCurrent(-1);
    EXPECT_TRUE(dialog.AddNumber(120));
    dialog.SmoothType->setCurrentIndex(Smo_Mean);
    dialog.SmoothLength->setValue(500); // at most 100
    int added = 0;
    while (dialog.AddNumber(110))
        ++added;
    EXPECT_EQ(added, MaxParaListCount - 3);
    dialog.Chosen->setCurrentRow(2);
    dialog.accept();
    ASSERT_EQ(list.count, MaxParaListCount);
    EXPECT_EQ(list.List[0], 101);
    EXPECT_EQ(list.List[1], 110);
    EXPECT_EQ(list.List[2], 120);
    EXPECT_EQ(list.Avail[0], 1);
    EXPECT_EQ(list.Avail[1], 0); // not in the cast
    TParaSmooth& s = env.probe.FindPara(120)->ParaSmooth;
    EXPECT_EQ(s.SmoothType, Smo_Mean);
    EXPECT_EQ(s.FilterLength(Smo_Mean), 100);
}

TEST(ParaListDialog, TheValuesListOffersTheDerivedColumnsAfterTheProbesParameters) {
    test::TAppEnv env;
    env.probe.DefaultParamCol();
    env.cast.Add(env.probe.FindPara(101)->MakeCopy());
    TParaList list{};
    SetList(list, {101});
    {
        TParaListDialog bottles(QStringLiteral("Bottles Window"), list, env.probe, env.cast);
        EXPECT_FALSE(bottles.AddNumber(Sigma0Teos10Para));
        bottles.reject();
    }
    TParaListDialog dialog(QStringLiteral("Values Window"), list, env.probe, env.cast, nullptr,
                           true);
    const int n = dialog.Available->count();
    ASSERT_GT(n, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dialog.Available->item(n - 5 + i)->data(Qt::UserRole).toInt(),
                  AbsoluteSalinityPara + i);
    EXPECT_EQ(dialog.Available->item(n - 3)->text(), "Sigma0 TEOS-10");
    EXPECT_TRUE(dialog.AddNumber(Sigma0Teos10Para));
    // Nothing to smooth or limit in a derived column.
    EXPECT_FALSE(dialog.SmoothType->isEnabled());
    dialog.accept();
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(list.List[1], Sigma0Teos10Para);
    EXPECT_EQ(list.Avail[1], 0); // the cast lacks temperature and salinity
}

} // namespace
} // namespace marevo

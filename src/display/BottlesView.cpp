#include "display/BottlesView.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "processing/BottleColumns.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "records/Config.h"

#include <fmt/format.h>

#include <algorithm>

namespace marevo {

std::string BottlesCaption(const std::string& cruise, int castNb) {
    std::string caption = "Bottles - Cruise : " + cruise;
    if (castNb > 0)
        caption += " - Cast No: " + std::to_string(castNb);
    return caption;
}

std::string TBottleTable::Cell(int row, int column) const {
    if (row < 1 || row >= static_cast<int>(cells.size()) || column < 0 ||
        column >= static_cast<int>(cells[static_cast<std::size_t>(row)].size()))
        return {};
    return cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

bool TBottleTable::StatusCellEmpty(int k) const {
    return Cell(k, 1).empty();
}

TBottleTable BottleTable(TParamCollection& cast, TConfig& config, bool onLine) {
    TBottleTable t;
    const TCastInfo* cruise = cast.Loaded.CruiseHeader;
    const TCastInfo* header = cast.Loaded.CastHeader;
    t.caption =
        BottlesCaption(cruise ? cruise->InfoStr[1].Get() : std::string(), header ? header->ID : 0);
    const int positions = std::min<int>(cast.ProbeInfo.BottlesNumber, MaxBottles);
    t.rows = positions > 0 ? positions + 1 : 2;

    const TParaList& list = config.GenCfg.BottleParaList;
    const int count = std::clamp(list.count, 0, MaxParaListCount);
    std::vector<TParameter*> columns;
    for (int i = 0; i < count; ++i) {
        const std::int32_t nb = list.List[i];
        const TParameter* named = ProbeParamCol().FindPara(nb);
        if (!named)
            named = cast.FindPara(nb);
        t.headers.push_back(named ? named->ParaText.ParaStr[txt_Screen].Get() : std::to_string(nb));
        t.widths.push_back(80);
        // Number and status are no channel of the cast: the probe collection's parameters.
        TParameter* para = list.Avail[i] ? cast.FindPara(nb) : nullptr;
        if (!para && list.Avail[i] && (nb == BottleStatusPara || nb == BottleNumberPara))
            para = ProbeParamCol().FindPara(nb);
        columns.push_back(para);
    }
    t.hidden.assign(static_cast<std::size_t>(t.rows), false);
    for (int k = 1; k < t.rows; ++k)
        t.hidden[static_cast<std::size_t>(k)] = onLine && !config.Rosette.BottleList[k - 1];
    t.cells.assign(static_cast<std::size_t>(t.rows),
                   std::vector<std::string>(static_cast<std::size_t>(t.Columns())));
    for (int k = 1; k < t.rows; ++k)
        t.cells[static_cast<std::size_t>(k)][0] = std::to_string(k);

    const TBottlesCollection* bottles = cast.Loaded.Bottles;
    if (!bottles || bottles->Count() == 0 || bottles->Count() > positions || !header)
        return t;
    Guard({"BottlesForm.UpdateCurValue ", "Bottle: Update Current Value"}, [&] {
        TBottleColumns values(cast, *header);
        for (int b = 0; b < bottles->Count(); ++b) {
            const TBottleInfo& bottle = bottles->Items(b);
            if (bottle.BottleNb < 1 || bottle.BottleNb > positions) {
                // Another rosette's file, or a damaged record: it has no row of its own.
                WriteLog(fmt::format("BottlesForm.UpdateCurValue bottle number {} outside the "
                                     "rosette's positions 1..{}: not shown",
                                     bottle.BottleNb, positions));
                continue;
            }
            auto& row = t.cells[static_cast<std::size_t>(bottle.BottleNb)];
            for (std::size_t c = 0; c < columns.size(); ++c)
                if (columns[c])
                    row[c + 1] = values.ScreenText(*columns[c], bottle);
        }
    });
    return t;
}

bool SequentialRosette(int rosetteType) {
    return rosetteType == ro_1015 || rosetteType == ro_MISS || rosetteType == ro_KC;
}

TFireRequest BottleClick(const TBottleClick& c) {
    if (!c.onLine)
        return {TFireAction::DisableFire};
    if (c.left) {
        if (c.column != 1 || c.row < 1 || !c.installed || c.cell.empty())
            return {};
        const bool again = c.sequential ? c.cell == "Cmd_Err" : c.cell != "Closed";
        return again ? TFireRequest{TFireAction::FireAgain, true, c.row} : TFireRequest{};
    }
    if (c.row >= 1 && c.installed && c.fireEnabled) {
        if (!c.sequential && c.cell.empty())
            return {TFireAction::OfferFire, false, c.row};
        if (c.sequential)
            return {TFireAction::OfferFire, false, 0};
    }
    return {TFireAction::DisableFire};
}

} // namespace marevo

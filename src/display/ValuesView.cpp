#include "display/ValuesView.h"

#include "foundation/DataArray.h"
#include "foundation/FlaggedValue.h"
#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "processing/BottleColumns.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"

#include <fmt/format.h>

#include <algorithm>

namespace marevo {

namespace {

TValueContext ContextOf(const TParamCollection& cast, const TConfig& config) {
    const long double latitude =
        cast.Loaded.CastHeader ? cast.Loaded.CastHeader->latitude[0].ToLongDouble() : 0.0L;
    return ValueContextOf(cast, config.GenCfg, config.DataValidation, latitude);
}

TFlaggedValue At(const TLinearArray& s, int r) {
    return r >= 0 && r <= s.LastIndice ? s.Data()[r] : InvalidFV;
}

} // namespace

int PanelRows(int count) {
    return count > 10 ? (count + 1) / 2 : 5;
}

TPanelPlace PanelPlace(int entry, int rows) {
    rows = std::max(rows, 1);
    const int column = 2 * (entry / rows);
    return {entry % rows, column, column + 1};
}

TCellColours PanelNameColours(bool avail) {
    return avail ? TCellColours{0x808080, 0xFFFFFF} : TCellColours{0xC0C0C0, 0x808080};
}

std::string ValueText(const TFlaggedValue& v, int decimals) {
    return FlaggedText(v, 8, decimals);
}

std::string ExtractedText(const TFlaggedValue& v, int decimals) {
    return fmt::format("{:>10}", ValueText(v, decimals));
}

bool FlaggedRowsShown(const TDataValidation& validation, bool filterDown) {
    return (validation.ShowFlagged != 0) != filterDown;
}

std::string ValuesCaption(bool onLine, TDisplayDirection direction, bool flaggedShown) {
    if (onLine)
        return RealTimeCaption;
    std::string caption = InitialValuesCaption;
    if (direction == Direction_Up)
        caption += " - Up";
    else if (direction == Direction_Down)
        caption += " - Down";
    if (!flaggedShown)
        caption += " - Flagged Data Hidden";
    return caption;
}

TValuesContent::TValuesContent(TConfig& config, TParamCollection& cast)
    : config_(config), cast_(cast) {}

void TValuesContent::LayOut() {
    entries_.clear();
    highestShown_ = -1;
    const TParaList& list = config_.GenCfg.CurParaList;
    const int count = std::clamp(list.count, 0, MaxParaListCount);
    for (int i = 0; i < count; ++i) {
        TValueEntry e;
        e.number = list.List[i];
        e.derived = IsDerivedColumn(e.number);
        e.para = e.derived ? nullptr : cast_.FindPara(e.number);
        e.avail = list.Avail[i] != 0 &&
                  (e.para || (e.derived && DerivedColumnAvailable(cast_, e.number)));
        // The screen name and decimals of the cast's parameter, else of the configured one.
        const TParameter* named = e.para ? e.para : config_.CurParaPtr[static_cast<std::size_t>(i)];
        if (named) {
            e.name = named->ParaText.ParaStr[txt_Screen].Get();
            e.decimals = named->ParaText.Decimal[txt_Screen];
        } else {
            e.name = std::to_string(e.number);
        }
        entries_.push_back(std::move(e));
    }
    LiveTexts.assign(entries_.size(), std::string());
}

const TLinearArray* TValuesContent::ShownSeries(TParameter& p, bool recompute) const {
    const TValueContext ctx = ContextOf(cast_, config_);
    if (!p.SortedBuffer || !p.CalcUpdated(ctx))
        return nullptr;
    const TSmoothType type = p.ParaSmooth.SmoothType;
    const bool smoothing = type == Smo_Mean || type == Smo_LP1stOrder;
    if (smoothing && recompute && p.SmoothBuffer)
        p.SmoothBuffer->Clear();
    if (config_.GenCfg.DrawSmooth && smoothing && p.SmoothBuffer && p.Smooth(ctx))
        return p.SmoothBuffer.get();
    return p.SortedBuffer.get();
}

const TLinearArray* TValuesContent::EntrySeries(const TValueEntry& e, bool recompute) {
    if (!e.avail)
        return nullptr;
    if (e.derived) {
        const TParameter* d = derived_.Get(cast_, e.number);
        return d ? d->SortedBuffer.get() : nullptr;
    }
    return e.para ? ShownSeries(*e.para, recompute) : nullptr;
}

void TValuesContent::Load(bool table, bool flaggedShown) {
    Live = false;
    records_.clear();
    const TSortInfo& s = cast_.Bin.SortInfo;
    FirstIndex = 0;
    LastIndex = s.MaxIndex;
    switch (config_.GenCfg.Direction) {
    case Direction_Down: LastIndex = s.MaxDownIndex; break;
    case Direction_Up:
        if (s.MaxDownIndex >= 0)
            FirstIndex = s.MaxDownIndex;
        break;
    default: break;
    }
    for (TValueEntry& e : entries_)
        e.series = EntrySeries(e, true);
    if (!table || LastIndex < FirstIndex)
        return;
    records_.reserve(static_cast<std::size_t>(LastIndex - FirstIndex + 1));
    for (int r = FirstIndex; r <= LastIndex; ++r) {
        if (!flaggedShown) {
            const bool flagged = std::any_of(entries_.begin(), entries_.end(), [r](const auto& e) {
                return e.series && r <= e.series->LastIndice && e.series->Data()[r].flag != 0;
            });
            if (flagged)
                continue;
        }
        records_.push_back(r);
    }
}

int TValuesContent::RecordOfRow(int row) const {
    return row >= 0 && row < RowCount() ? records_[static_cast<std::size_t>(row)] : -1;
}

int TValuesContent::RowOfRecord(int record) const {
    if (records_.empty())
        return -1;
    const auto it = std::lower_bound(records_.begin(), records_.end(), record);
    if (it == records_.end())
        return RowCount() - 1;
    return static_cast<int>(it - records_.begin());
}

std::string TValuesContent::Label(int row) const {
    return row >= 0 && row < RowCount() ? std::to_string(FirstIndex + row + 1) : std::string();
}

std::string TValuesContent::RecordText(int record, int entry) const {
    if (entry < 0 || entry >= EntryCount())
        return {};
    const TLinearArray* series = entries_[static_cast<std::size_t>(entry)].series;
    if (!series || record < 0 || record > series->LastIndice)
        return {};
    return ValueText(series->Data()[record], entries_[static_cast<std::size_t>(entry)].decimals);
}

std::string TValuesContent::Cell(int row, int entry) const {
    return RecordText(RecordOfRow(row), entry);
}

bool TValuesContent::UpdateCurValue(bool extractedOnly, bool cursorOn) {
    if (cast_.Count() == 0 || cursorOn)
        return false;
    Live = true;
    LiveTexts.resize(entries_.size());
    if (extractedOnly) {
        const int maxIndex = cast_.Bin.SortInfo.MaxIndex;
        if (maxIndex <= highestShown_)
            return false;
        highestShown_ = maxIndex;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const TValueEntry& e = entries_[i];
            const TLinearArray* series = EntrySeries(e, false);
            LiveTexts[i] = series && series->LastIndice >= 0
                               ? ExtractedText(At(*series, series->LastIndice), e.decimals)
                               : std::string();
        }
        return true;
    }
    const TValueContext ctx = ContextOf(cast_, config_);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const TValueEntry& e = entries_[i];
        // A derived column has rows of the binned table only, no value of the current frame.
        if (!e.avail || !e.para) {
            LiveTexts[i].clear();
            continue;
        }
        e.para->CurValue(ctx);
        LiveTexts[i] = e.para->CurrentStr;
    }
    return true;
}

} // namespace marevo

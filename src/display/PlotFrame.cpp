#include "display/PlotFrame.h"

#include "app/AppContext.h"
#include "display/PlotHost.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/GenConfig.h"

#include <algorithm>
#include <cmath>

namespace marevo {

namespace {

// Pixels beyond which a point is not drawn at all (the drawing surface's coordinate range).
constexpr long double PixelLimit = 32000;

bool Between(long double v, long double a, long double b) {
    return v >= std::min(a, b) && v <= std::max(a, b);
}

// Element r of a series, invalid when the series does not hold it.
TFlaggedValue At(const TLinearArray& s, int r) {
    return r >= 0 && r <= s.LastIndice ? s.Data()[r] : InvalidFV;
}

TValueContext ContextOf(const TParamCollection& cast, const TConfig& config) {
    const long double latitude =
        cast.Loaded.CastHeader ? cast.Loaded.CastHeader->latitude[0].ToLongDouble() : 0.0L;
    return ValueContextOf(cast, config.GenCfg, config.DataValidation, latitude);
}

} // namespace

bool TPlotFrame::Prepare(TConfig& config, const TPlotLayout& layout) {
    Prepared = false;
    n = layout.n;
    if (n < 2)
        return false;
    width = layout.plot.Width();
    height = layout.plot.Height();
    try {
        for (int i = 0; i < n; ++i) {
            smin[i] = config.ScaleMin(i);
            smax[i] = config.ScaleMax(i);
            // The vertical axis is always linear.
            ScLog[i] = i > 0 && config.ScaleLog(i);
            if (smax[i] == smin[i])
                Raise("TPlotFrame.Prepare: max=min!");
            TAxisMap map;
            const TAxisFault fault = i == 0 ? MakeAxisMap(smax[0], smin[0], false, height, map)
                                            : MakeAxisMap(smin[i], smax[i], ScLog[i], width, map);
            if (fault != TAxisFault::None)
                Raise(std::string("TPlotFrame.Prepare: ") + AxisFaultText(fault));
            maps[i] = map;
            // Pixels per unit (per decade on a logarithmic axis); y grows downwards from smax[0].
            sfact[i] = i == 0 ? -map.Factor() : map.Factor();
            xColor[i] = config.ScaleColor(i);
        }
    } catch (...) {
        const std::string message = CurrentFailureMessage();
        if (message != lastFault_)
            WriteLog("Error in TPlotFrame.Prepare " + message);
        lastFault_ = message;
        return false;
    }
    lastFault_.clear();
    Prepared = true;
    return true;
}

bool TPlotFrame::TakeSeries(TParamCollection& cast, TConfig& config) {
    series = {};
    return Guard({"Error in TPlotFrame.DrawCurves "}, [&] {
        const TGenConfig& gen = config.GenCfg;
        const int entries =
            std::min(std::clamp(gen.ParaPlotList.count, 0, MaxParaListCount), MaxPlotEntries);
        if (entries < 1)
            return;
        const TSortInfo& s = cast.Bin.SortInfo;
        int first = 0, last = -1;
        switch (gen.Direction) {
        case Direction_Down: first = 0, last = s.MaxDownIndex; break;
        case Direction_Up: first = s.MaxDownIndex, last = s.MaxIndex; break;
        case Direction_Both: first = 0, last = s.MaxIndex; break;
        default: return;
        }
        TParameter* vertical = cast.FindPara(gen.ParaPlotList.List[0]);
        if (!vertical || !vertical->SortedBuffer)
            return;
        const TValueContext ctx = ContextOf(cast, config);
        vertical->CalcUpdated(ctx);
        series.verticalPara = vertical->GetParaNb();

        // Bottle marks need only the vertical parameter.
        if (cast.Loaded.Bottles)
            for (int b = 0; b < cast.Loaded.Bottles->Count(); ++b) {
                const TBottleInfo& bottle = cast.Loaded.Bottles->Items(b);
                series.bottles.emplace_back(bottle.BottleNb,
                                            vertical->CalcValue(bottle.RawValue, ctx));
            }

        if (last - first < 1 || last < 2 || first < 0)
            return;
        series.first = first;
        series.last = last;
        const TLinearArray& v = *vertical->SortedBuffer;
        for (int r = first; r <= last; ++r)
            series.vertical.push_back(At(v, r));
        for (int k = 1; k < entries; ++k) {
            const std::int32_t number = gen.ParaPlotList.List[k];
            if (IsDerivedColumn(number)) {
                // Never smoothed: the column is computed from the binned inputs.
                const TParameter* d = derived_.Get(cast, number);
                if (!d || !d->SortedBuffer || d->SortedBuffer->LastIndice < last)
                    continue;
                auto& out = series.horizontal[k];
                for (int r = first; r <= last; ++r)
                    out.push_back(At(*d->SortedBuffer, r));
                continue;
            }
            TParameter* h = cast.FindPara(number);
            if (!h || !h->SortedBuffer || !h->CalcUpdated(ctx))
                continue;
            const bool smooth = gen.DrawSmooth && h->SmoothBuffer && h->Smooth(ctx);
            const TLinearArray& values = smooth ? *h->SmoothBuffer : *h->SortedBuffer;
            if (values.LastIndice + 1 < last)
                continue;
            auto& out = series.horizontal[k];
            for (int r = first; r <= last; ++r)
                out.push_back(At(values, r));
        }
    });
}

std::vector<TPenPoint> TPlotFrame::Trait(int k) const {
    std::vector<TPenPoint> path;
    if (!Prepared || k < 1 || k >= n)
        return path;
    const auto& h = series.horizontal[k];
    if (h.size() != series.vertical.size())
        return path;
    const TAxisMap& ym = maps[0];
    const TAxisMap& xm = maps[k];
    bool previousGood = false;
    for (std::size_t i = 0; i < h.size(); ++i) {
        const TFlaggedValue v = series.vertical[i], x = h[i];
        const bool good = v.flag == 0 && x.flag == 0 && Between(x.value, xm.v0, xm.v1) &&
                          Between(v.value, ym.v0, ym.v1);
        const long double px = xm.Pos(x.value), py = ym.Pos(v.value);
        if (std::isfinite(px) && std::isfinite(py) && std::fabs(px) <= PixelLimit &&
            std::fabs(py) <= PixelLimit)
            path.push_back({px, py, i > 0 && good && previousGood});
        previousGood = good;
    }
    return path;
}

std::vector<TBottleMark> TPlotFrame::BottleMarks(int selectedRow) const {
    std::vector<TBottleMark> marks;
    switch (series.verticalPara) {
    case 100:
    case 101:
    case 400:
    case 403: break;
    default: return marks;
    }
    if (!Prepared)
        return marks;
    for (const auto& [number, value] : series.bottles) {
        // A bottle whose value cannot be computed has no place on the axis.
        if (value.flag != 0 || !std::isfinite(value.value))
            continue;
        const long double y = maps[0].Pos(value.value);
        if (std::fabs(y) <= PixelLimit)
            marks.push_back({y, selectedRow > 0 && number == selectedRow});
    }
    return marks;
}

std::int32_t TPlotFrame::ClampCursor(long double y) const {
    if (!std::isfinite(y))
        y = 1;
    return static_cast<std::int32_t>(
        std::clamp<long double>(std::round(y), 1, std::max(1, height - 2)));
}

void TPlotFrame::DrawCursor(std::int32_t y) {
    CursorYPos = ClampCursor(y);
}

std::int32_t TPlotFrame::CursorPixel() const {
    return Prepared ? ClampCursor(maps[0].Pos(CursorYVal)) : CursorYPos;
}

void TPlotFrame::ShowCursor(std::int32_t y, TParamCollection& cast, IPlotHost& host) {
    Guard({"Error in TPlotFrame.ShowCursor "}, [&] {
        if (!Prepared)
            return;
        const long double value = maps[0].Value(y);
        const bool up = GenCfg().Direction == Direction_Up;
        const std::int32_t row = up ? cast.GetUpIndex(value) : cast.GetDownIndex(value);
        host.ShowValuesRow(up ? row - host.ValuesFirstRow() : row);
        CursorYVal = cast.GetYValue(row);
        DrawCursor(ClampCursor(maps[0].Pos(CursorYVal)));
    });
}

void TPlotFrame::SetCursor(int row, TParamCollection& cast, IPlotHost& host) {
    Guard({"Error in TPlotFrame.SetCursor"}, [&] {
        if (!Prepared)
            return;
        const int record = GenCfg().Direction == Direction_Up ? host.ValuesFirstRow() + row : row;
        // The value too, so that the next paint (which places the cursor by its value) keeps it.
        CursorYVal = cast.GetYValue(record);
        DrawCursor(ClampCursor(maps[0].Pos(CursorYVal)));
    });
}

} // namespace marevo

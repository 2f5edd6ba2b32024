#pragma once
// The plot area of the profile plot without its drawing surface: the axis factors of every plot
// entry, the copy of the cast's series it draws from, the pen path of each curve, the bottle
// marks and the cursor. The series are copied only by TakeSeries (a full rebuild, or the
// acquisition worker's display hand-off during a cast); every paint and resize works from the
// copy, so it never reads series the worker is extending.

#include "display/AxisMap.h"
#include "display/PlotLayout.h"
#include "foundation/FlaggedValue.h"
#include "processing/DerivedColumns.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace marevo {

class IPlotHost;
class TConfig;
class TParamCollection;

// One point of a curve's pen path: a line to it from the previous point (draw) or a move.
struct TPenPoint {
    long double x = 0, y = 0; // pixels in the plot area
    bool draw = false;
};

struct TBottleMark {
    long double y = 0;     // pixels in the plot area
    bool selected = false; // the bottle of the bottles window's selected row: solid, not dotted
};

// The records a curve runs over and their values, as read from the cast.
struct TSeriesCopy {
    int first = 0, last = -1;               // records; last < first: nothing to draw
    std::vector<TFlaggedValue> vertical;    // records first..last; a missing record is invalid
    // Per entry 1..8: records first..last, empty when the curve cannot be drawn.
    std::array<std::vector<TFlaggedValue>, MaxPlotEntries> horizontal;
    std::int32_t verticalPara = 0;
    // Each bottle: its number and its value on the vertical axis (invalid when unknown).
    std::vector<std::pair<std::int32_t, TFlaggedValue>> bottles;
};

class TPlotFrame {
public:
    // Axis values and factors of entries 0..n-1 (entry 0 vertical, origin at the top showing
    // smax[0]).
    std::array<long double, MaxPlotEntries> smin{}, smax{}, sfact{};
    std::array<bool, MaxPlotEntries> ScLog{};
    std::array<std::int32_t, MaxPlotEntries> xColor{}; // 0x00BBGGRR
    std::array<TAxisMap, MaxPlotEntries> maps{};
    bool Prepared = false;
    int n = 0;
    std::int32_t width = 0, height = 0; // plot rectangle

    std::int32_t CursorYPos = 0;  // pixels from the top of the plot area
    long double CursorYVal = 0;   // on the vertical axis
    bool CursorMoving = false;

    TSeriesCopy series;

    // Axis factors from the configuration's plot scales for the plot rectangle. A plot entry
    // whose range cannot be drawn leaves Prepared false; the reason is logged once (a window
    // being resized would otherwise write it on every step).
    bool Prepare(TConfig& config, const TPlotLayout& layout);
    // Copies the records to draw of the cast's plot parameters (and the bottles' vertical
    // values), bringing computed and smoothed series up to date first. A derived column (SA, CT,
    // SIG0, RHO, N2) is drawn from its column of the binned table, computed once for the table
    // and kept beside the copy until the cast or its row count changes.
    bool TakeSeries(TParamCollection& cast, TConfig& config);
    void ClearSeries() { series = {}; }
    // The derived columns of the table drawn (for the automatic ranges of the same refresh).
    TDerivedColumnCache& DerivedColumns() { return derived_; }

    // The pen path of entry k's curve (DrawTrait); empty unless Prepared.
    std::vector<TPenPoint> Trait(int k) const;
    // The marks of the fired bottles (DrawBottles) for a vertical axis of time counter,
    // pressure, time or depth; selectedRow: the bottles window's selected row.
    std::vector<TBottleMark> BottleMarks(int selectedRow) const;

    // ---- Cursor (pixels from the top of the plot area) ------------------------------------------
    void DrawCursor(std::int32_t y);
    // The cursor at y: its value, the values window's row there, the cursor on that row's value.
    void ShowCursor(std::int32_t y, TParamCollection& cast, IPlotHost& host);
    // The cursor on the values window's row.
    void SetCursor(int row, TParamCollection& cast, IPlotHost& host);
    // Where a paint draws the cursor: from its value.
    std::int32_t CursorPixel() const;

private:
    std::int32_t ClampCursor(long double y) const;
    std::string lastFault_;
    TDerivedColumnCache derived_;
};

} // namespace marevo

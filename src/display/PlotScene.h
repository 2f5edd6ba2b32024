#pragma once
// The profile plot as a whole, without its windows: the layout of its frame, the vertical scale,
// the eight horizontal scale frames and the plot area, rebuilt from the configuration's plot list
// and the cast collection (the application's ConfigObj and CastParamCol). The window
// (ui/PlotForm.h) and the file renderer (display/PlotRender.h) paint it with the same function.

#include "display/PlotFrame.h"
#include "display/PlotLayout.h"
#include "display/Scale.h"

#include <array>

namespace marevo {

class IPlotHost;
class TConfig;
class TParamCollection;

struct TXScaleFrame {
    TScale theScale;
    int ScaleIndex = 0;     // its plot entry
    bool ShowActive = false; // selected
    bool Enabled = true;     // its parameter is present in the cast
    bool Visible = false;
};

struct TYScaleFrame {
    TScale theScale;
    bool ShowActive = false;
    bool Visible = false;
};

class TPlotScene {
public:
    TPlotScene(TConfig& config, TParamCollection& cast, IPlotHost& host);

    // Layout for a frame of width x height pixels, then SetPlot.
    void myresize(std::int32_t width, std::int32_t height);
    // Full rebuild: scales, axis factors and, unless a cast is being acquired, the series copy
    // (during acquisition the copy is taken by SetPlotA alone).
    bool SetPlot();
    // Refresh in the acquisition worker's display hand-off: automatic ranges when the autoscale
    // button is down, scales, axis factors, series copy.
    bool SetPlotA();
    // Rebuild for a batch overlay: as SetPlot, but curves are drawn only on request.
    bool SetPlotB();

    // Appends a horizontal scale of pressure; false (with the beep) when the plot has no
    // vertical axis and one horizontal one yet, or already eight horizontal ones.
    bool AddScale();
    // Removes plot entry k; false (with the beep) without data or with one horizontal scale left.
    bool RemoveScale(int k);
    void DeSelectScale();

    // Plot entries in use: the plot list's count, at most nine.
    int EntryCount() const;
    bool HasData() const;
    // Which scale frame (0 the vertical, 1..8 horizontal) or the plot area (-1) holds a point of
    // the frame; -2 elsewhere.
    int HitTest(std::int32_t x, std::int32_t y) const;

    const TPlotLayout& Layout() const { return layout_; }
    TConfig& Config() { return config_; }
    TParamCollection& Cast() { return cast_; }
    IPlotHost& Host() { return host_; }

    TYScaleFrame YScaleFrame;
    std::array<TXScaleFrame, MaxXScales + 1> XScaleFrames; // 1..8 used
    TPlotFrame PlotFrame;
    bool PlotVisible = false;
    bool MenuEnabled = false;       // the context menu's items
    bool RemoveScaleEnabled = false; // "Remove Scale" of the context menu
    // Batch overlays: the curves are drawn only after an explicit DrawCurves.
    bool CurvesRequested = true;
    int ScaleSelected = 0;

private:
    bool SetScales(bool show);
    void LayoutNow();

    TConfig& config_;
    TParamCollection& cast_;
    IPlotHost& host_;
    TPlotLayout layout_;
    bool overlongListLogged_ = false;
};

} // namespace marevo

#include "display/PlotScene.h"

#include "display/PlotHost.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "processing/Collections.h"
#include "processing/ConfigAuto.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"

#include <algorithm>

namespace marevo {

TPlotScene::TPlotScene(TConfig& config, TParamCollection& cast, IPlotHost& host)
    : config_(config), cast_(cast), host_(host) {
    for (int k = 1; k <= MaxXScales; ++k)
        XScaleFrames[k].ScaleIndex = k;
}

int TPlotScene::EntryCount() const {
    return std::clamp(config_.GenCfg.ParaPlotList.count, 0, MaxPlotEntries);
}

bool TPlotScene::HasData() const {
    return cast_.Loaded.TypeLoaded != FileTypeNone;
}

void TPlotScene::LayoutNow() {
    const int count = config_.GenCfg.ParaPlotList.count;
    if (count > MaxPlotEntries) {
        // Only eight horizontal scale frames exist.
        if (!overlongListLogged_)
            WriteLog("Error in TPlotMainFrame.Resize the plot list holds " + std::to_string(count) +
                     " entries; entries after the ninth are not shown");
        overlongListLogged_ = true;
    } else {
        overlongListLogged_ = false;
    }
    layout_ = PlotLayout(layout_.width, layout_.height, EntryCount());
}

void TPlotScene::myresize(std::int32_t width, std::int32_t height) {
    layout_.width = width;
    layout_.height = height;
    LayoutNow();
    SetPlot();
}

bool TPlotScene::SetScales(bool show) {
    LayoutNow();
    const int n = layout_.n;
    const TRect& plot = layout_.plot;
    if (n < 1) {
        // Nothing to plot against: no scale at all.
        YScaleFrame.Visible = false;
        for (auto& f : XScaleFrames)
            f.Visible = false;
        return false;
    }
    // Entry 0 runs from ScaleMax(0) at the top to ScaleMin(0) at the bottom, always linear.
    YScaleFrame.theScale.SetScale(plot.left, plot.top, config_.ScaleName(0), false, 1, 0,
                                  config_.ScaleMin(0), config_.ScaleMax(0), gauche,
                                  plot.Height() - 1);
    if (show)
        YScaleFrame.Visible = true;
    for (int k = 1; k <= MaxXScales; ++k) {
        TXScaleFrame& f = XScaleFrames[k];
        if (k >= n) {
            f.Visible = false;
            continue;
        }
        f.ScaleIndex = k;
        f.Enabled = config_.GenCfg.ParaPlotList.Avail[k] != 0;
        Guard({"Error in TXScaleFrame.SetScale"}, [&] {
            f.theScale.SetScale(plot.left, 0, config_.ScaleName(k), config_.ScaleLog(k), 1,
                                config_.ScaleColor(k), config_.ScaleMax(k), config_.ScaleMin(k),
                                bas, plot.Width());
        });
        if (show)
            f.Visible = true;
    }
    return true;
}

bool TPlotScene::SetPlot() {
    return Guard({"Error in TPlotMainFrame.SetPlot"}, [&] {
        CurvesRequested = true;
        if (!HasData()) {
            YScaleFrame.Visible = false;
            for (auto& f : XScaleFrames)
                f.Visible = false;
            PlotVisible = false;
            MenuEnabled = false;
            RemoveScaleEnabled = false;
            PlotFrame.Prepared = false;
            PlotFrame.ClearSeries();
            return;
        }
        MenuEnabled = true;
        RemoveScaleEnabled = false;
        SetScales(true);
        PlotFrame.Prepare(config_, layout_);
        if (!cast_.Acqui.RealTimeOn)
            PlotFrame.TakeSeries(cast_, config_);
        PlotVisible = true;
    });
}

bool TPlotScene::SetPlotA() {
    return Guard({"Error in TPlotMainFrame.SetPlotA", "Plotting data"}, [&] {
        const TGenConfig& gen = config_.GenCfg;
        if (host_.AutoScaleButtonDown() && (gen.DrawAutoX || gen.DrawAutoY))
            ScanForAuto(config_, cast_, gen.DrawAutoY != 0, gen.DrawAutoX != 0,
                        &PlotFrame.DerivedColumns());
        SetScales(false);
        PlotFrame.Prepare(config_, layout_);
        PlotFrame.TakeSeries(cast_, config_);
    });
}

bool TPlotScene::SetPlotB() {
    return Guard({"Error in TPlotMainFrame.SetPlot"}, [&] {
        SetPlot();
        // The overlay starts empty: curves come with each DrawCurves.
        CurvesRequested = false;
        PlotFrame.Prepared = false;
    });
}

bool TPlotScene::AddScale() {
    const int n = EntryCount();
    TParaList& list = config_.GenCfg.ParaPlotList;
    if (n < 2 || n > MaxXScales || list.count != n) {
        Operator().Beep();
        return false;
    }
    return Guard({"Error in TPlotForm.AddScale"}, [&] {
        list.List[n] = 101;
        list.Avail[n] = cast_.ExistParaNb(101);
        ++list.count;
        config_.SetParaPtr(list, config_.PlotParaPtr, TConfigCollections(cast_, ProbeParamCol()));
        if (cast_.Count() > 0)
            cast_.BuildCalcList();
        myresize(layout_.width, layout_.height);
        DeSelectScale();
        XScaleFrames[n].ShowActive = true;
    });
}

bool TPlotScene::RemoveScale(int k) {
    if (!HasData() || EntryCount() <= 2 || k < 1 || k >= EntryCount()) {
        Operator().Beep();
        return false;
    }
    return Guard({"Error in TPlotMainFrame.RemoveScale"}, [&] {
        config_.RemoveScale(k);
        myresize(layout_.width, layout_.height);
    });
}

void TPlotScene::DeSelectScale() {
    YScaleFrame.ShowActive = false;
    for (auto& f : XScaleFrames)
        f.ShowActive = false;
}

int TPlotScene::HitTest(std::int32_t x, std::int32_t y) const {
    for (int k = 1; k <= MaxXScales; ++k)
        if (XScaleFrames[k].Visible && layout_.XFrame(k).Contains(x, y))
            return k;
    if (PlotVisible && layout_.Area().Contains(x, y))
        return -1;
    if (YScaleFrame.Visible && layout_.YFrame(YScaleFrame.theScale.SetScaleDone()).Contains(x, y))
        return 0;
    return -2;
}

} // namespace marevo

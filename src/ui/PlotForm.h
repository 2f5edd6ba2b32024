#pragma once
// The plot window ("Plot"): the profile plot of the cast in hand, its scales, the context menu,
// the scale dialogs and the cursor that follows the values window. The plot is painted from an
// image rebuilt by SetPlot, SetPlotA and resizing; the cursor is drawn over it on every paint.

#include "display/PlotScene.h"

#include <QImage>
#include <QWidget>

#include <functional>

class QAction;
class QMenu;

namespace marevo {

class IPlotHost;
class TConfig;
class TEnviron;
class TParamCollection;

class TPlotMainFrame : public QWidget {
public:
    TPlotMainFrame(TConfig& config, TParamCollection& cast, IPlotHost& host,
                   QWidget* parent = nullptr);

    TPlotScene& Scene() { return scene_; }
    // The image the window paints (without the cursor).
    const QImage& PlotImage() const { return image_; }

    // Layout for the current size, then SetPlot.
    void myresize();
    void SetPlot();
    // The acquisition worker's display hand-off: the only place series are read during a cast.
    void SetPlotA();
    void SetPlotB();
    // Batch overlay: the curves of the cast in hand over what the plot shows.
    void DrawCurves();
    void AddScale();
    void RemoveScale(int k);
    void DeSelectScale();
    // The cursor on the values window's row.
    void SetCursor(int row);
    // The plot with its outline on the clipboard, as SVG and as an image.
    void Copy();
    bool CursorShown();
    // While frozen (long work changes the cast on a worker) the window repaints its last image
    // and reads no series; thawing lays it out again unless relayout is false (a batch overlay
    // keeps the curves it drew).
    void Freeze(bool frozen, bool relayout = true);

    // The scale dialogs; tests replace them. True when the operator pressed OK.
    std::function<bool(int entry)> XScaleDialog;
    std::function<bool()> YScaleDialog;

    QMenu* PlotPopup = nullptr;
    QAction* AddScaleAction = nullptr;
    QAction* RemoveScaleAction = nullptr;
    QAction* PrintAction = nullptr;
    QAction* CopyAction = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Rebuild();
    void UpdateMenu();
    void OpenXScaleDialog(int k);
    void OpenYScaleDialog();
    bool NearCursor(int y);

    TPlotScene scene_;
    QImage image_;
    bool frozen_ = false;
};

class TPlotForm : public QWidget {
public:
    // environ: where the window's bounds are kept (PlotRect); null keeps them nowhere.
    TPlotForm(TConfig& config, TParamCollection& cast, IPlotHost& host, TEnviron* environ,
              QWidget* parent = nullptr);

    TPlotMainFrame* PlotMainFrame;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void StoreRect();
    TEnviron* environ_;
    bool applied_ = false;
};

} // namespace marevo

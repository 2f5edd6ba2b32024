#include "ui/PlotForm.h"
#include "ui/WindowPlace.h"

#include "display/PlotHost.h"
#include "display/PlotPainter.h"
#include "display/PlotRender.h"
#include "foundation/Guard.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "ui/ScaleDialogs.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace marevo {

TPlotMainFrame::TPlotMainFrame(TConfig& config, TParamCollection& cast, IPlotHost& host,
                               QWidget* parent)
    : QWidget(parent), scene_(config, cast, host) {
    setMouseTracking(true);
    setMinimumSize(200, 150);
    XScaleDialog = [this](int entry) {
        return XScaleDlg(scene_.Config(), scene_.Cast(), entry, this);
    };
    YScaleDialog = [this] { return YScaleDlg(scene_.Config(), scene_.Cast(), this); };

    PlotPopup = new QMenu(this);
    AddScaleAction = PlotPopup->addAction(QStringLiteral("Add Scale"));
    RemoveScaleAction = PlotPopup->addAction(QStringLiteral("Remove Scale"));
    PlotPopup->addSeparator();
    PrintAction = PlotPopup->addAction(QStringLiteral("Print"));
    CopyAction = PlotPopup->addAction(QStringLiteral("Copy"));
    connect(AddScaleAction, &QAction::triggered, this, [this] {
        DeSelectScale();
        AddScale();
        DeSelectScale();
    });
    connect(RemoveScaleAction, &QAction::triggered, this, [this] {
        RemoveScale(scene_.ScaleSelected);
        DeSelectScale();
        if (scene_.Cast().Count() > 0)
            scene_.Cast().BuildCalcList();
        myresize();
    });
    connect(PrintAction, &QAction::triggered, this, [this] { scene_.Host().PrintPlot(); });
    connect(CopyAction, &QAction::triggered, this, [this] { Copy(); });
    UpdateMenu();
}

void TPlotMainFrame::Rebuild() {
    image_ =
        QImage(std::max(1, width()), std::max(1, height()), QImage::Format_ARGB32_Premultiplied);
    image_.fill(Qt::white);
    QPainter p(&image_);
    BuildPlot(p, scene_, false);
    p.end();
    UpdateMenu();
    update();
}

void TPlotMainFrame::UpdateMenu() {
    for (QAction* a : {AddScaleAction, PrintAction, CopyAction})
        a->setEnabled(scene_.MenuEnabled);
    RemoveScaleAction->setEnabled(scene_.MenuEnabled && scene_.RemoveScaleEnabled);
}

void TPlotMainFrame::Freeze(bool frozen, bool relayout) {
    frozen_ = frozen;
    if (!frozen && relayout)
        myresize();
}

void TPlotMainFrame::myresize() {
    if (frozen_)
        return;
    Guard({"Error in TPlotMainFrame.Resize"}, [&] {
        scene_.myresize(width(), height());
        Rebuild();
    });
}

void TPlotMainFrame::SetPlot() {
    if (frozen_)
        return;
    scene_.SetPlot();
    Rebuild();
}

void TPlotMainFrame::SetPlotA() {
    scene_.SetPlotA();
    Rebuild();
}

void TPlotMainFrame::SetPlotB() {
    scene_.SetPlotB();
    Rebuild();
}

void TPlotMainFrame::DrawCurves() {
    TPlotFrame& f = scene_.PlotFrame;
    if (!f.Prepare(scene_.Config(), scene_.Layout()) ||
        !f.TakeSeries(scene_.Cast(), scene_.Config()))
        return;
    QPainter p(&image_);
    const TRect area = scene_.Layout().Area();
    p.translate(area.left, area.top);
    p.setClipRect(QRect(0, 0, area.Width(), area.Height()));
    PaintCurves(p, scene_);
    p.end();
    update();
}

void TPlotMainFrame::AddScale() {
    const int entry = scene_.EntryCount();
    if (!scene_.AddScale())
        return;
    Rebuild();
    Guard({"Error in TPlotForm.AddScale"}, [&] {
        // A cancelled dialog takes the new scale away again.
        if (!XScaleDialog(entry))
            scene_.Config().RemoveScale(entry);
        if (scene_.Cast().Count() > 0)
            scene_.Cast().BuildCalcList();
    });
    myresize();
}

void TPlotMainFrame::RemoveScale(int k) {
    if (scene_.RemoveScale(k))
        Rebuild();
}

void TPlotMainFrame::DeSelectScale() {
    scene_.DeSelectScale();
    Rebuild();
}

void TPlotMainFrame::SetCursor(int row) {
    scene_.PlotFrame.SetCursor(row, scene_.Cast(), scene_.Host());
    update();
}

bool TPlotMainFrame::CursorShown() {
    return scene_.Config().GenCfg.CursorOn && scene_.Host().CursorAllowed() && scene_.PlotVisible &&
           scene_.PlotFrame.Prepared;
}

void TPlotMainFrame::Copy() {
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/svg+xml"), RenderPlotSvg(scene_));
    mime->setImageData(RenderPlotImage(scene_));
    QGuiApplication::clipboard()->setMimeData(mime);
}

void TPlotMainFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_);
    if (CursorShown()) {
        TPlotFrame& f = scene_.PlotFrame;
        f.CursorYPos = f.CursorPixel();
        PaintCursor(p, scene_);
    }
}

void TPlotMainFrame::resizeEvent(QResizeEvent*) {
    myresize();
}

bool TPlotMainFrame::NearCursor(int y) {
    return CursorShown() &&
           std::abs(y - scene_.Layout().plot.top - scene_.PlotFrame.CursorYPos) <= 1;
}

void TPlotMainFrame::OpenXScaleDialog(int k) {
    Guard({"Error in TXScaleFrame.XScaleDlg"}, [&] {
        DeSelectScale();
        scene_.XScaleFrames[k].ShowActive = true;
        Rebuild();
        XScaleDialog(k);
        if (scene_.Cast().Count() > 0)
            scene_.Cast().BuildCalcList();
        scene_.DeSelectScale();
        myresize();
    });
}

void TPlotMainFrame::OpenYScaleDialog() {
    Guard({"Error in TPlotForm.YScaleFramelClick"}, [&] {
        for (auto& f : scene_.XScaleFrames)
            f.ShowActive = false;
        scene_.YScaleFrame.ShowActive = true;
        Rebuild();
        YScaleDialog();
        scene_.DeSelectScale();
        myresize();
    });
}

void TPlotMainFrame::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const int hit = scene_.HitTest(at.x(), at.y());
    if (event->button() == Qt::RightButton) {
        DeSelectScale();
        scene_.RemoveScaleEnabled = hit >= 1;
        if (hit >= 1) {
            scene_.XScaleFrames[hit].ShowActive = true;
            scene_.ScaleSelected = hit;
            Rebuild();
        }
        UpdateMenu();
        PlotPopup->popup(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (hit >= 1)
        OpenXScaleDialog(hit);
    else if (hit == 0)
        OpenYScaleDialog();
    else {
        DeSelectScale();
        if (hit == -1 && NearCursor(at.y()))
            scene_.PlotFrame.CursorMoving = true;
    }
}

void TPlotMainFrame::mouseMoveEvent(QMouseEvent* event) {
    Guard({"Error in TPlotFrame.PlotPBMouseMove"}, [&] {
        const int y = event->position().toPoint().y();
        TPlotFrame& f = scene_.PlotFrame;
        setCursor(NearCursor(y) || f.CursorMoving ? Qt::SplitVCursor : Qt::ArrowCursor);
        if (f.CursorMoving && (event->buttons() & Qt::LeftButton) && CursorShown() &&
            scene_.Cast().Bin.SortInfo.MaxIndex > 0) {
            f.ShowCursor(y - scene_.Layout().plot.top, scene_.Cast(), scene_.Host());
            update();
        }
    });
}

void TPlotMainFrame::mouseReleaseEvent(QMouseEvent*) {
    scene_.PlotFrame.CursorMoving = false;
}

TPlotForm::TPlotForm(TConfig& config, TParamCollection& cast, IPlotHost& host, TEnviron* environ,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), environ_(environ) {
    setWindowTitle(QStringLiteral("Plot"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    PlotMainFrame = new TPlotMainFrame(config, cast, host, this);
    layout->addWidget(PlotMainFrame);
}

void TPlotForm::showEvent(QShowEvent* event) {
    if (environ_ && !applied_)
        PlaceWindow(this, environ_->PlotRect, {420, 420});
    applied_ = true;
    QWidget::showEvent(event);
}

void TPlotForm::StoreRect() {
    if (!environ_ || !applied_)
        return;
    const QRect g = geometry();
    environ_->PlotRect = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void TPlotForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    StoreRect();
}

void TPlotForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    StoreRect();
}

} // namespace marevo

#include "display/PlotPainter.h"

#include "display/PlotHost.h"
#include "display/PlotScene.h"
#include "display/Scale.h"
#include "foundation/Guard.h"
#include "records/Config.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace marevo {

namespace {

const QColor Grey(128, 128, 128);
const QColor Silver(192, 192, 192);
const QColor BottleRed(255, 0, 0);
// Drawn in XOR over the plot, yellow shows as its complement over every colour.
const QColor CursorColour(255, 255, 0);

QRect ToQRect(const TRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

} // namespace

QColor ToQColor(std::int32_t color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QFont LabelFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    return f;
}

QFont TitleFont(std::int32_t cellHeight) {
    QFont f(QStringLiteral("DejaVu Sans"));
    // The cell height includes the internal leading; the glyphs take about four fifths.
    f.setPixelSize(std::max(6, static_cast<int>(std::lround(std::abs(cellHeight) * 0.8))));
    return f;
}

void DrawAlignedText(QPainter& p, double x, double y, const QString& text, std::int32_t align,
                     std::int32_t orient) {
    const QFontMetricsF fm(p.font());
    const double w = fm.horizontalAdvance(text);
    const std::int32_t h = align & textalign::Center;
    double dx = h == textalign::Center ? -w / 2 : h == textalign::Right ? -w : 0;
    // Level text stays on the page: a long scale title set right of its reference point at the
    // left edge would otherwise lose its first letters.
    if (orient == 0) {
        const QRect page = p.window();
        if (x + dx < page.left() + 1)
            dx = page.left() + 1 - x;
        else if (x + dx + w > page.right())
            dx = std::max(page.left() + 1 - x, page.right() - w - x);
    }
    const std::int32_t v = align & textalign::Baseline;
    const double dy = v == textalign::Baseline ? 0
                      : v == textalign::Bottom ? -fm.descent()
                                               : fm.ascent();
    p.save();
    p.translate(x, y);
    if (orient != 0)
        p.rotate(-orient / 10.0);
    p.drawText(QPointF(dx, dy), text);
    p.restore();
}

void PaintScale(QPainter& p, TScale& scale) {
    Guard({"Error in TScale.BuildMF"}, [&] {
        if (!scale.SetScaleDone())
            return;
        const std::vector<RTic> tics = scale.Prepare();
        const TScaleRec& r = scale.Info();
        const TScaleInfo& si = r.sinfo;
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(ToQColor(r.color), 1));
        const int x0 = r.POrg.x, y0 = r.POrg.y;
        p.drawLine(x0, y0, x0 + r.XLength, y0 + r.YLength);
        p.setFont(LabelFont());
        const int h = static_cast<int>(std::ceil(QFontMetricsF(p.font()).height()));
        for (const RTic& t : tics) {
            const QString label = QString::fromStdString(t.slab);
            if (r.position == bas) {
                const int x = x0 + t.ixp;
                if (!label.isEmpty())
                    DrawAlignedText(p, x + si.LabInf.XOfs, y0 + si.LabInf.YOfs, label,
                                    si.LabInf.Align);
                p.drawLine(x, y0, x, y0 + si.TicLen);
            } else {
                const int y = y0 + t.ixp;
                // A label at the far end sits wholly above its tick, inside the frame.
                const int offset = std::abs(t.ixp - r.YLength) < h / 2 ? h : h / 2;
                if (!label.isEmpty())
                    DrawAlignedText(p, x0 + si.LabInf.XOfs, y - offset, label, si.LabInf.Align);
                p.drawLine(x0, y, x0 + si.TicLen, y);
            }
        }
        QFont titleFont = TitleFont(si.TitleInf.Height);
        if (r.position == bas && si.TitleInf.Orient == 0) {
            // A title longer than the margin left of its scale is set smaller (down to 70 %)
            // rather than run into the scale's first label.
            const double room = x0 + si.TitleInf.XOfs - p.window().left() - 2;
            const double width =
                QFontMetricsF(titleFont).horizontalAdvance(QString::fromStdString(r.title));
            if (width > room && room > 0)
                titleFont.setPixelSize(std::max(
                    6, static_cast<int>(titleFont.pixelSize() * std::max(0.7, room / width))));
        }
        p.setFont(titleFont);
        DrawAlignedText(p, x0 + si.TitleInf.XOfs, y0 + si.TitleInf.YOfs,
                        QString::fromStdString(r.title), si.TitleInf.Align, si.TitleInf.Orient);
        p.restore();
    });
}

void PaintCurves(QPainter& p, TPlotScene& scene) {
    Guard({"Error in TPlotFrame.DrawCurves "}, [&] {
        const TPlotFrame& f = scene.PlotFrame;
        if (!f.Prepared)
            return;
        p.save();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setBrush(Qt::NoBrush);
        for (int k = 1; k < f.n; ++k) {
            const std::vector<TPenPoint> path = f.Trait(k);
            QPainterPath curve;
            for (const TPenPoint& pt : path) {
                const QPointF q(static_cast<double>(pt.x), static_cast<double>(pt.y));
                if (pt.draw)
                    curve.lineTo(q);
                else
                    curve.moveTo(q);
            }
            p.setPen(QPen(ToQColor(f.xColor[k]), 1));
            p.drawPath(curve);
        }
        p.restore();
    });
}

void PaintPlotArea(QPainter& p, TPlotScene& scene) {
    Guard({"Error in TPlotFrame.BuildMF"}, [&] {
        const TRect area = scene.Layout().Area();
        p.save();
        p.setClipRect(QRect(0, 0, area.Width(), area.Height()));
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(0, 0, area.Width() - 1, area.Height() - 1);
        if (scene.CurvesRequested)
            PaintCurves(p, scene);
        if (scene.Config().GenCfg.DrawBottles) {
            const int selected = scene.Host().BottlesSelectedRow();
            for (const TBottleMark& m : scene.PlotFrame.BottleMarks(selected)) {
                p.setPen(QPen(BottleRed, 1, m.selected ? Qt::SolidLine : Qt::DotLine));
                const double y = std::round(static_cast<double>(m.y));
                p.drawLine(QPointF(1, y), QPointF(area.Width() - 2, y));
            }
        }
        p.restore();
    });
}

void BuildPlot(QPainter& p, TPlotScene& scene, bool outline) {
    const TPlotLayout& l = scene.Layout();
    p.save();
    if (scene.YScaleFrame.Visible && scene.YScaleFrame.ShowActive)
        p.fillRect(ToQRect(l.YFrame(scene.YScaleFrame.theScale.SetScaleDone())), Grey);
    for (int k = 1; k <= MaxXScales; ++k) {
        const TXScaleFrame& f = scene.XScaleFrames[k];
        if (!f.Visible)
            continue;
        if (f.ShowActive)
            p.fillRect(ToQRect(l.XFrame(k)), Grey);
        else if (!f.Enabled)
            p.fillRect(ToQRect(l.XFrame(k)), Silver);
    }
    if (scene.PlotVisible) {
        p.save();
        p.translate(l.plot.left, l.plot.top);
        PaintPlotArea(p, scene);
        p.restore();
    }
    if (scene.YScaleFrame.Visible)
        PaintScale(p, scene.YScaleFrame.theScale);
    for (int k = 1; k <= MaxXScales; ++k) {
        TXScaleFrame& f = scene.XScaleFrames[k];
        if (!f.Visible)
            continue;
        p.save();
        p.translate(0, l.XFrame(k).top);
        PaintScale(p, f.theScale);
        p.restore();
    }
    if (outline) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, l.width - 1, l.height - 1);
    }
    p.restore();
}

void PaintCursor(QPainter& p, TPlotScene& scene) {
    const TPlotFrame& f = scene.PlotFrame;
    const TPlotLayout& l = scene.Layout();
    if (!scene.PlotVisible || !f.Prepared)
        return;
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(CursorColour, 1, Qt::DotLine));
    const int y = l.plot.top + f.CursorYPos;
    p.drawLine(l.plot.left + 1, y, l.plot.right - 1, y);
    p.restore();
}

} // namespace marevo

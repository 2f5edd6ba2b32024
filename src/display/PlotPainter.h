#pragma once
// The one drawing of the profile plot, with QPainter: the same calls paint the window, an image,
// a PDF page, an SVG drawing and the printer. Coordinates are the plot frame's pixels.

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>

class QPainter;

namespace marevo {

class TScale;
class TPlotScene;

// 0x00BBGGRR, the colour form of the settings.
QColor ToQColor(std::int32_t color);

// Text at a reference point with the drawing surface's alignment flags (TTextInfo.Align) and
// angle (tenths of a degree, counter-clockwise).
void DrawAlignedText(QPainter& p, double x, double y, const QString& text, std::int32_t align,
                     std::int32_t orient = 0);

// Font of the tick labels, and of a title of the given cell height (pixels).
QFont LabelFont();
QFont TitleFont(std::int32_t cellHeight);

// An axis: line, ticks, labels and title (TScale.BuildMF), in its own frame's coordinates.
void PaintScale(QPainter& p, TScale& scale);
// The plot area (TPlotFrame.BuildMF): white rectangle with black border, curves when asked,
// bottle marks when the configuration shows them; in the area's coordinates, clipped to it.
void PaintPlotArea(QPainter& p, TPlotScene& scene);
// The curves of the cast in hand over what the area already shows (batch overlays).
void PaintCurves(QPainter& p, TPlotScene& scene);
// The whole plot (BuildPlot): scale frames (grey when selected, silver when their parameter is
// absent), plot area, scales and, when asked, a black outline of the whole frame.
void BuildPlot(QPainter& p, TPlotScene& scene, bool outline);
// The cursor line over a painted plot, in XOR so that it shows over any colour.
void PaintCursor(QPainter& p, TPlotScene& scene);

} // namespace marevo

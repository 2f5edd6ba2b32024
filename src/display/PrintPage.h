#pragma once
// The printed plot page as numbers: where the plot, the four text lines and the header block go
// on a page, the font sizes, and the reading of the page setup fields. No Qt: the painting
// (PrintPainter.h) and the setup dialog use these.
//
// Page positions are in tenths of a millimetre from the top-left corner, y growing downwards
// (the layout's fractions count from the bottom edge; they are turned here, once).

#include "records/Environ.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace marevo {

// The font sizes a layout item's size index chooses, points.
inline constexpr std::array<int, 14> PrintFontSizes = {8,  9,  10, 12, 14, 16, 18,
                                                       20, 22, 24, 26, 28, 36, 48};
// The largest margin printed: at 0.5 the left and right edges meet.
inline constexpr float MaxPrintMargin = 0.45f;

// A fraction kept within 0..1; a value that is no number counts as 0.
float ClampFraction(float value);
// The layout as printed: every position and the plot height within 0..1, the plot height at most
// the plot position (the plot ends on the page), the margin within 0..MaxPrintMargin, the size
// indexes within the size table, the alignments within left..right.
TPrintLayout PrintableLayout(const TPrintLayout& layout);

// Em height of a size index, tenths of a millimetre: the table's size × 300/72 (the size taken
// as pixels of a 300-dpi printer). An index outside the table takes its nearest end.
double PrintEmHeight(int sizeIndex);

struct TPageRect {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const TPageRect&) const = default;
};

// The plot's rectangle on a page of w × h (any unit, rounded to whole units), for a layout as
// PrintableLayout leaves it.
TPageRect PrintPlotRect(const TPrintLayout& layout, double w, double h);

// Text line k (0..3) on a page of pageW × pageH tenths of a millimetre: its reference point
// (the top of the text; x its left edge, centre or right edge by align) and its em height.
struct TPrintTextPlace {
    double x = 0, top = 0;
    int align = 0; // 0 left, 1 centre, 2 right
    double em = 0;
};
TPrintTextPlace PrintTextPlace(const TPrintLayout& layout, int k, double pageW, double pageH);

// The header block with its line height h (tenths of a millimetre, measured from the font): row k
// of both lists at top y0 + k × h; names left-aligned at nameX, values right-aligned at valueX.
struct THeaderBlockPlace {
    double y0 = 0, h = 0, em = 0;
    double leftNameX = 0, leftValueX = 0, rightNameX = 0, rightValueX = 0;
    bool framed = false;
    TPageRect frame; // when framed: over the longer list and one row more
};
THeaderBlockPlace HeaderBlockPlace(const TPrintLayout& layout, double pageW, double pageH, double h,
                                   int leftRows, int rightRows);

// ---- The page setup dialog's fields ---------------------------------------------------------

// A fraction as the dialog shows it: fixed, 2 decimals.
std::string FractionText(float value);
// A field read back: clamped to 0..1; none when the text is no number.
std::optional<float> ReadFraction(std::string_view text);

// The fraction fields of the "Page" page.
struct TPageFractionFields {
    std::array<std::string, 4> Text; // positions of the four text lines
    std::string Header, Plot, PlotHeight, Margin;
};
TPageFractionFields PageFractionFields(const TPrintLayout& layout);
// Takes the fields into layout: all of them, or, when one is no number, none (bad then names
// that field: "Text 1".."Text 4", "Header", "Plot", "Plot height", "Margin"). The plot height is
// kept at most the plot position.
bool ReadPageFractionFields(const TPageFractionFields& fields, TPrintLayout& layout,
                            std::string& bad);

} // namespace marevo

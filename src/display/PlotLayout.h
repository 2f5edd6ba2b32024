#pragma once
// Where the parts of the profile plot go in its frame of width x height pixels with n plot
// entries (one vertical axis, n - 1 horizontal ones stacked under the plot area).

#include <cstdint>

namespace marevo {

// The horizontal scale frames of the plot; plot entries 1..8 use them.
constexpr int MaxXScales = 8;
constexpr int MaxPlotEntries = MaxXScales + 1;
// Height of one horizontal scale frame, pixels.
constexpr int XScaleHeight = 30;
// Width of the vertical scale frame (one more once its scale is set).
constexpr int YScaleWidth = 150;

struct TRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    bool Contains(std::int32_t x, std::int32_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    bool operator==(const TRect&) const = default;
};

struct TPlotLayout {
    std::int32_t width = 0, height = 0; // the whole frame
    int n = 0;                          // plot entries
    TRect plot;                         // the plot rectangle shared by area and scales

    // The plot area's bounds (one pixel wider than the plot rectangle).
    TRect Area() const { return {plot.left, plot.top, plot.right + 1, plot.bottom}; }
    // Horizontal scale frame k (1..8).
    TRect XFrame(int k) const {
        const std::int32_t top = plot.bottom + (k - 1) * XScaleHeight;
        return {0, top, width - 10, top + XScaleHeight};
    }
    TRect YFrame(bool scaleSet) const {
        return {0, 0, YScaleWidth + (scaleSet ? 1 : 0), plot.bottom + 1};
    }
};

inline TPlotLayout PlotLayout(std::int32_t width, std::int32_t height, int n) {
    TPlotLayout l;
    l.width = width;
    l.height = height;
    l.n = n;
    l.plot = {YScaleWidth, 20, width - 20, height - (n - 1) * XScaleHeight};
    return l;
}

} // namespace marevo

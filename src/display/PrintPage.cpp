#include "display/PrintPage.h"

#include <fmt/core.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace marevo {

float ClampFraction(float value) {
    if (!(value >= 0.0f)) // also a value that is no number
        return 0.0f;
    return std::min(value, 1.0f);
}

TPrintLayout PrintableLayout(const TPrintLayout& layout) {
    TPrintLayout l = layout;
    for (TPrintItem& item : l.Items) {
        item.Position = ClampFraction(item.Position);
        item.SizeIndex = std::clamp<std::int32_t>(
            item.SizeIndex, 0, static_cast<std::int32_t>(PrintFontSizes.size()) - 1);
        item.Alignment = std::min<std::uint8_t>(item.Alignment, 2);
    }
    l.PlotHeight = std::min(ClampFraction(l.PlotHeight), l.Items[pi_Plot].Position);
    l.Margin = std::min(ClampFraction(l.Margin), MaxPrintMargin);
    return l;
}

double PrintEmHeight(int sizeIndex) {
    const int i = std::clamp(sizeIndex, 0, static_cast<int>(PrintFontSizes.size()) - 1);
    return PrintFontSizes[static_cast<std::size_t>(i)] * 300.0 / 72.0;
}

TPageRect PrintPlotRect(const TPrintLayout& layout, double w, double h) {
    const TPrintLayout l = PrintableLayout(layout);
    const double margin = l.Margin;
    TPageRect r;
    r.left = std::round(w * margin);
    r.right = std::round(w * (1.0 - margin));
    r.top = std::round(h * (1.0 - l.Items[pi_Plot].Position));
    r.bottom = r.top + std::round(h * l.PlotHeight);
    return r;
}

TPrintTextPlace PrintTextPlace(const TPrintLayout& layout, int k, double pageW, double pageH) {
    const TPrintLayout l = PrintableLayout(layout);
    const TPrintItem& item = l.Items[std::clamp(k, 0, 3)];
    const double margin = l.Margin;
    TPrintTextPlace place;
    place.align = item.Alignment;
    place.x = item.Alignment == 0   ? pageW * margin
              : item.Alignment == 1 ? pageW / 2
                                    : pageW - pageW * margin;
    place.top = (1.0 - item.Position) * pageH;
    place.em = PrintEmHeight(item.SizeIndex);
    return place;
}

THeaderBlockPlace HeaderBlockPlace(const TPrintLayout& layout, double pageW, double pageH, double h,
                                   int leftRows, int rightRows) {
    const TPrintLayout l = PrintableLayout(layout);
    const TPrintItem& item = l.Items[pi_Header];
    const double margin = l.Margin;
    THeaderBlockPlace b;
    b.framed = item.Framed != 0;
    const double f = b.framed ? 0.03 : 0.0;
    b.y0 = (1.0 - item.Position) * pageH;
    b.h = h;
    b.em = PrintEmHeight(item.SizeIndex);
    b.leftNameX = (margin + f) * pageW;
    b.leftValueX = (f + 0.9) * pageW / 2;
    b.rightNameX = static_cast<double>(std::lround(1.1 * pageW) / 2);
    b.rightValueX = pageW - (margin + f) * pageW;
    if (b.framed) {
        const int n = std::max({leftRows, rightRows, 0});
        b.frame.left = pageW * margin;
        b.frame.right = pageW - pageW * margin;
        b.frame.top = b.y0 - h / 2;
        b.frame.bottom = b.frame.top + (n + 1) * h;
    }
    return b;
}

std::string FractionText(float value) {
    return fmt::format("{:.2f}", static_cast<double>(value));
}

std::optional<float> ReadFraction(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    float value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return ClampFraction(value);
}

TPageFractionFields PageFractionFields(const TPrintLayout& layout) {
    TPageFractionFields f;
    for (int k = 0; k < 4; ++k)
        f.Text[static_cast<std::size_t>(k)] = FractionText(layout.Items[k].Position);
    f.Header = FractionText(layout.Items[pi_Header].Position);
    f.Plot = FractionText(layout.Items[pi_Plot].Position);
    f.PlotHeight = FractionText(layout.PlotHeight);
    f.Margin = FractionText(layout.Margin);
    return f;
}

bool ReadPageFractionFields(const TPageFractionFields& fields, TPrintLayout& layout,
                            std::string& bad) {
    struct TField {
        const std::string* text;
        float* target;
        const char* name;
    };
    TPrintLayout l = layout;
    const TField all[] = {{&fields.Text[0], &l.Items[pi_Text1].Position, "Text 1"},
                          {&fields.Text[1], &l.Items[pi_Text2].Position, "Text 2"},
                          {&fields.Text[2], &l.Items[pi_Text3].Position, "Text 3"},
                          {&fields.Text[3], &l.Items[pi_Text4].Position, "Text 4"},
                          {&fields.Header, &l.Items[pi_Header].Position, "Header"},
                          {&fields.Plot, &l.Items[pi_Plot].Position, "Plot"},
                          {&fields.PlotHeight, &l.PlotHeight, "Plot height"},
                          {&fields.Margin, &l.Margin, "Margin"}};
    for (const TField& f : all) {
        const std::optional<float> value = ReadFraction(*f.text);
        if (!value) {
            bad = f.name;
            return false;
        }
        *f.target = *value;
    }
    l.PlotHeight = std::min(l.PlotHeight, l.Items[pi_Plot].Position);
    layout = l;
    return true;
}

} // namespace marevo

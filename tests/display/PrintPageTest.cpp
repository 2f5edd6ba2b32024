// The printed page's geometry on an A4 page (2100 × 2970 tenths of a millimetre), its clamps and
// the reading of the page setup fields.

#include "display/PrintPage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace marevo {
namespace {

constexpr double A4W = 2100, A4H = 2970;

TPrintLayout Defaults() {
    TPrintLayout l{};
    SetPrintLayoutDefaults(l);
    return l;
}

TEST(PrintPage, DefaultGeometryOnA4) {
    const TPrintLayout l = Defaults();
    const TPageRect plot = PrintPlotRect(l, A4W, A4H);
    EXPECT_EQ(plot, (TPageRect{210, std::round(0.31 * A4H), 1890, std::round(0.81 * A4H)}));

    const struct {
        int k;
        int align;
        double x, top, em;
    } texts[] = {{0, 0, 210, 178.2, 10 * 300 / 72.0},
                 {1, 1, 1050, 356.4, 20 * 300 / 72.0},
                 {2, 1, 1050, 2435.4, 10 * 300 / 72.0},
                 {3, 2, 1890, 2762.1, 10 * 300 / 72.0}};
    for (const auto& t : texts) {
        const TPrintTextPlace p = PrintTextPlace(l, t.k, A4W, A4H);
        EXPECT_EQ(p.align, t.align) << t.k;
        EXPECT_NEAR(p.x, t.x, 0.01) << t.k;
        EXPECT_NEAR(p.top, t.top, 0.01) << t.k;
        EXPECT_NEAR(p.em, t.em, 1e-9) << t.k;
    }

    const double h = 50;
    const THeaderBlockPlace b = HeaderBlockPlace(l, A4W, A4H, h, 4, 3);
    EXPECT_NEAR(b.y0, 564.3, 0.01);
    EXPECT_NEAR(b.leftNameX, 273, 0.01);
    EXPECT_NEAR(b.leftValueX, 976.5, 0.01);
    EXPECT_NEAR(b.rightNameX, 1155, 0.01);
    EXPECT_NEAR(b.rightValueX, 1827, 0.01);
    ASSERT_TRUE(b.framed);
    EXPECT_NEAR(b.frame.left, 210, 0.01);
    EXPECT_NEAR(b.frame.right, 1890, 0.01);
    EXPECT_NEAR(b.frame.top, 564.3 - h / 2, 0.01);
    EXPECT_NEAR(b.frame.bottom - b.frame.top, 5 * h, 0.01); // 4 left rows, 3 right, one more

    // An empty right list: the frame follows the left one.
    EXPECT_NEAR(HeaderBlockPlace(l, A4W, A4H, h, 4, 0).frame.bottom - b.frame.top, 5 * h, 0.01);
    EXPECT_NEAR(HeaderBlockPlace(l, A4W, A4H, h, 2, 0).frame.bottom - b.frame.top, 3 * h, 0.01);

    // Not framed: no inset.
    TPrintLayout open = l;
    open.Items[pi_Header].Framed = 0;
    const THeaderBlockPlace o = HeaderBlockPlace(open, A4W, A4H, h, 4, 3);
    EXPECT_FALSE(o.framed);
    EXPECT_NEAR(o.leftNameX, 210, 0.01);
    EXPECT_NEAR(o.leftValueX, 945, 0.01);
    EXPECT_NEAR(o.rightValueX, 1890, 0.01);
}

TEST(PrintPage, FontSizeIsTheTableSizeOnA300DpiPrinter) {
    EXPECT_NEAR(PrintEmHeight(0), 8 * 300 / 72.0, 1e-9);
    EXPECT_NEAR(PrintEmHeight(13), 48 * 300 / 72.0, 1e-9);
    // An index from a file outside the table takes its nearest end.
    EXPECT_NEAR(PrintEmHeight(20), PrintEmHeight(13), 1e-9);
    EXPECT_NEAR(PrintEmHeight(-3), PrintEmHeight(0), 1e-9);
}

TEST(PrintPage, ValuesFromAFileArePrintedWithinThePage) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float plotPos, plotHeight, margin;
        TPageRect expected;
    } cases[] = {
        {5.0f, 0.5f, 0.1f, {210, 0, 1890, 1485}},    // position above the page
        {nan, 0.5f, 0.1f, {210, 2970, 1890, 2970}},  // no number: at the bottom, no height
        {0.69f, 0.8f, 0.1f, {210, 921, 1890, 2970}}, // height beyond the bottom edge
        {0.69f, nan, 0.1f, {210, 921, 1890, 921}},   // height no number
        {0.69f, 0.5f, 0.7f, {945, 921, 1155, 2406}}, // margin past the middle
        {0.69f, 0.5f, -0.2f, {0, 921, 2100, 2406}},  // negative margin
    };
    for (const auto& c : cases) {
        TPrintLayout l = Defaults();
        l.Items[pi_Plot].Position = c.plotPos;
        l.PlotHeight = c.plotHeight;
        l.Margin = c.margin;
        const TPageRect r = PrintPlotRect(l, A4W, A4H);
        EXPECT_EQ(r, c.expected) << c.plotPos << " " << c.plotHeight << " " << c.margin;
        EXPECT_LT(r.left, r.right);
        EXPECT_LE(r.bottom, A4H);
        // The texts and the header block keep left of right as well.
        const TPrintLayout p = PrintableLayout(l);
        EXPECT_LT(PrintTextPlace(l, 0, A4W, A4H).x, PrintTextPlace(l, 3, A4W, A4H).x);
        const THeaderBlockPlace b = HeaderBlockPlace(l, A4W, A4H, 50, 4, 3);
        EXPECT_LT(b.frame.left, b.frame.right);
        EXPECT_LE(p.PlotHeight, p.Items[pi_Plot].Position);
    }
    // Size index and alignment beyond their ranges.
    TPrintLayout l = Defaults();
    l.Items[pi_Text2].SizeIndex = 20;
    l.Items[pi_Text2].Alignment = 7;
    l.Items[pi_Text1].Position = -1.0f;
    const TPrintTextPlace t = PrintTextPlace(l, 1, A4W, A4H);
    EXPECT_NEAR(t.em, 48 * 300 / 72.0, 1e-9);
    EXPECT_EQ(t.align, 2);
    EXPECT_NEAR(PrintTextPlace(l, 0, A4W, A4H).top, A4H, 0.01);
}

TEST(PrintPage, SetupFieldsAreReadClampedOrNotAtAll) {
    const TPrintLayout defaults = Defaults();
    const TPageFractionFields shown = PageFractionFields(defaults);
    EXPECT_EQ(shown.Text[0], "0.94");
    EXPECT_EQ(shown.Plot, "0.69");
    EXPECT_EQ(shown.PlotHeight, "0.50");
    EXPECT_EQ(shown.Margin, "0.10");

    const struct {
        const char* text;
        std::optional<float> value;
    } reads[] = {{"0.25", 0.25f}, {"1.5", 1.0f},    {"-0.2", 0.0f}, {" 0.3 ", 0.3f},
                 {"abc", {}},     {"", {}},         {"0.5x", {}},   {"nan", {}},
                 {"1e9", 1.0f},   {"+0.75", 0.75f}, {"0,5", {}}};
    for (const auto& r : reads)
        EXPECT_EQ(ReadFraction(r.text), r.value) << r.text;

    // The plot height is kept within the plot position.
    TPrintLayout l = defaults;
    TPageFractionFields f = shown;
    f.PlotHeight = "0.8";
    std::string bad;
    ASSERT_TRUE(ReadPageFractionFields(f, l, bad));
    EXPECT_FLOAT_EQ(l.PlotHeight, 0.69f);
    f.Text[0] = "1.5";
    f.Margin = "-0.2";
    ASSERT_TRUE(ReadPageFractionFields(f, l, bad));
    EXPECT_FLOAT_EQ(l.Items[pi_Text1].Position, 1.0f);
    EXPECT_FLOAT_EQ(l.Margin, 0.0f);

    // A field that is no number: named, and the layout is left as it was, earlier fields too.
    TPrintLayout kept = defaults;
    f = shown;
    f.Text[0] = "0.5";
    f.Plot = "abc";
    EXPECT_FALSE(ReadPageFractionFields(f, kept, bad));
    EXPECT_EQ(bad, "Plot");
    EXPECT_FLOAT_EQ(kept.Items[pi_Text1].Position, 0.94f);
}

} // namespace
} // namespace marevo

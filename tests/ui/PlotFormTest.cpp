// The plot window on the real cast, off screen: frames, curves, the cursor over the cached
// image, and the refusals of the scale commands.

#include "ui/PlotForm.h"
#include "ui/ScaleDialogs.h"

#include "display/PlotHost.h"
#include "display/PlotRender.h"
#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "processing/DerivedColumns.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "support/AppEnv.h"
#include "support/CastFrames.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <cstdlib>

namespace marevo {
namespace {

// The real cast binned by pressure (1 dbar), shown as pressure against temperature and
// conductivity of sensor 1.
struct TRealPlot : ::testing::Test {
    TRealPlot() {
        TParamCollection& cast = env.cast;
        test::BuildDF6Cast(cast, test::TRealCast::Channels());
        TAcquiCfg& acq = env.config.AcquiCfg;
        acq.AcquiMode = AM_Pressure;
        acq.VertUnit = vu_dbar;
        acq.VertStep = TExtended::FromDouble(1);
        acq.VertFirst = TExtended::FromDouble(1);
        acq.VertMeanItv = TExtended::FromDouble(1);
        EXPECT_TRUE(cast.InitRoundBuffer());
        EXPECT_TRUE(cast.InitLinearBuffer());
        cast.Loaded.CastHeader = &header;
        cast.Loaded.Bottles = &bottles;
        test::ReplayRealCast(cast, env.dir / "real.raw");
        cast.Loaded.TypeLoaded = FileTypeBinary;

        TParaList& plot = env.config.GenCfg.ParaPlotList;
        plot.count = 3;
        const std::int32_t numbers[] = {101, 110, 120};
        for (int i = 0; i < 3; ++i) {
            plot.List[i] = numbers[i];
            plot.Avail[i] = 1;
        }
        env.config.UpdateAllParaPtr(InstalledCollections());
        env.config.GenCfg.Direction = Direction_Down;
        Range(101, 1100, 0);
        Range(110, 0, 30);
        Range(120, 30, 60);
        cast.FindPara(110)->ParaScale.Color = 0xFF0000; // blue
        cast.FindPara(120)->ParaScale.Color = 0x0000FF; // red
    }
    void Range(std::int32_t nb, double lo, double hi) {
        TParaScale& s = env.cast.FindPara(nb)->ParaScale;
        s.CurMin = TExtended::FromDouble(lo);
        s.CurMax = TExtended::FromDouble(hi);
    }
    // Pixels inside rect of image close to the colour (curves and text are antialiased).
    static int Count(const QImage& image, const QRect& rect, QColor colour) {
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QColor c(image.pixel(x, y));
                n += std::abs(c.red() - colour.red()) < 100 &&
                     std::abs(c.green() - colour.green()) < 100 &&
                     std::abs(c.blue() - colour.blue()) < 100;
            }
        return n;
    }

    test::TAppEnv env;
    TCastInfo header;
    TBottlesCollection bottles;
    TPlainPlotHost host;
};

TEST_F(TRealPlot, SetPlotShowsTheFramesAndTheCurvesOfTheCast) {
    TPlotForm form(env.config, env.cast, host, &env.environ);
    form.resize(731, 704);
    form.show();
    TPlotMainFrame& frame = *form.PlotMainFrame;
    frame.SetPlot();
    TPlotScene& scene = frame.Scene();
    ASSERT_EQ(frame.size(), QSize(731, 704));
    EXPECT_TRUE(scene.PlotVisible);
    EXPECT_TRUE(scene.PlotFrame.Prepared);
    EXPECT_TRUE(scene.YScaleFrame.Visible);
    EXPECT_TRUE(scene.XScaleFrames[1].Visible);
    EXPECT_TRUE(scene.XScaleFrames[2].Visible);
    EXPECT_FALSE(scene.XScaleFrames[3].Visible);
    EXPECT_EQ(scene.Layout().plot, (TRect{150, 20, 711, 644}));
    EXPECT_TRUE(frame.AddScaleAction->isEnabled());
    EXPECT_FALSE(frame.RemoveScaleAction->isEnabled());

    const QImage& image = frame.PlotImage();
    const QRect area(151, 21, 560, 622);
    EXPECT_GT(Count(image, area, Qt::blue), 200); // temperature
    EXPECT_GT(Count(image, area, Qt::red), 200);  // conductivity
    // Axis lines: the vertical one on the area's left edge, the horizontal ones below it.
    EXPECT_EQ(QColor(image.pixel(150, 300)), QColor(Qt::black));
    EXPECT_GT(Count(image, QRect(150, 644, 562, 1), Qt::blue), 500);
    EXPECT_GT(Count(image, QRect(150, 674, 562, 1), Qt::red), 500);
    // Tick labels left of the vertical axis.
    EXPECT_GT(Count(image, QRect(100, 20, 45, 624), Qt::black), 100);
    // Nothing outside the plot area is drawn on by a curve.
    EXPECT_EQ(Count(image, QRect(0, 0, 731, 19), Qt::blue), 0);

    // The same drawing for a file.
    const QImage file = RenderPlotImage(scene);
    EXPECT_EQ(Count(file, area, Qt::blue), Count(image, area, Qt::blue));
    QSvgRenderer svg(RenderPlotSvg(scene));
    EXPECT_TRUE(svg.isValid());
    EXPECT_EQ(svg.viewBox(), QRect(0, 0, 731, 704));

    // The window's bounds go to the environment.
    form.resize(700, 650);
    EXPECT_EQ(env.environ.PlotRect.Right - env.environ.PlotRect.Left, 700);
    EXPECT_EQ(frame.Scene().Layout().plot.bottom, 650 - 2 * 30);
}

TEST_F(TRealPlot, TheCursorIsDrawnInXorOverTheCachedImage) {
    env.config.GenCfg.CursorOn = 1;
    host.cursor = true;
    TPlotMainFrame frame(env.config, env.cast, host);
    frame.resize(731, 704);
    frame.myresize();
    const TPlotFrame& f = frame.Scene().PlotFrame;
    ASSERT_TRUE(f.Prepared);
    frame.SetCursor(100); // the 100th bin: about 100 dbar
    const int y = f.CursorYPos;
    EXPECT_NEAR(y, f.maps[0].Pos(env.cast.GetYValue(100)), 0.5);
    EXPECT_NEAR(static_cast<double>(f.CursorYVal), 100, 2);

    const QImage cached = frame.PlotImage();
    const QImage shown = frame.grab().toImage();
    const int row = 20 + y;
    // On white the yellow XOR line reads blue; the cached image has no cursor.
    int xored = 0;
    for (int x = 152; x < 700; ++x)
        if (QColor(cached.pixel(x, row)) == QColor(Qt::white))
            xored += QColor(shown.pixel(x, row)) == QColor(Qt::blue);
    EXPECT_GT(xored, 100);
    EXPECT_EQ(shown.pixel(300, row + 3), cached.pixel(300, row + 3));

    host.cursor = false;
    const QImage hidden = frame.grab().toImage();
    EXPECT_EQ(hidden.pixel(300, row), cached.pixel(300, row));
}

TEST_F(TRealPlot, RemoveAndAddScaleBeepAtTheirLimits) {
    TPlotMainFrame frame(env.config, env.cast, host);
    frame.resize(731, 704);
    frame.myresize();
    int dialogs = 0;
    bool answer = true;
    frame.XScaleDialog = [&](int) {
        ++dialogs;
        return answer;
    };
    frame.RemoveScale(2);
    EXPECT_EQ(env.config.PlotCount(), 2);
    env.op.Clear();
    frame.RemoveScale(1); // one horizontal scale left
    EXPECT_EQ(env.op.Events(), std::vector<std::string>{"Beep 0 0"});
    EXPECT_EQ(env.config.PlotCount(), 2);

    answer = false; // a cancelled dialog takes the new scale away again
    frame.AddScale();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(env.config.PlotCount(), 2);
    answer = true;
    for (int k = 2; k <= MaxXScales; ++k)
        frame.AddScale();
    EXPECT_EQ(env.config.PlotCount(), 9);
    EXPECT_TRUE(frame.Scene().XScaleFrames[8].Visible);
    env.op.Clear();
    frame.AddScale(); // a ninth horizontal scale
    EXPECT_EQ(env.op.Events(), std::vector<std::string>{"Beep 0 0"});
    EXPECT_EQ(dialogs, 8);
    EXPECT_EQ(env.config.PlotCount(), 9);
}

// A horizontal scale set to Conservative Temperature in its dialog: the dialog offers the derived
// columns after the probe's parameters (the vertical one does not), OK keeps the number in the
// plot list, and the curve is drawn from the column.
TEST_F(TRealPlot, ADerivedColumnChosenInTheScaleDialogIsDrawn) {
    std::vector<std::pair<std::string, TParameter*>> names;
    ProbeParamCol().CreateStrings(names);
    const int probeCount = static_cast<int>(names.size());
    {
        TScaleDialog vertical(env.config, env.cast, 0);
        EXPECT_EQ(vertical.Parameter->count(), probeCount);
    }
    TScaleDialog dialog(env.config, env.cast, 1);
    ASSERT_EQ(dialog.Parameter->count(), probeCount + 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dialog.Parameter->itemData(probeCount + i).toInt(), AbsoluteSalinityPara + i);
    EXPECT_EQ(dialog.Parameter->itemText(probeCount + 1), "CT Conservative Temperature [°C]");
    dialog.Parameter->setCurrentIndex(probeCount + 1);
    dialog.Min->setText(QStringLiteral("0"));
    dialog.Max->setText(QStringLiteral("25"));
    dialog.accept();
    const TParaList& plot = env.config.GenCfg.ParaPlotList;
    EXPECT_EQ(plot.List[1], ConservativeTempPara);
    EXPECT_EQ(plot.Avail[1], 1); // the cast holds pressure, temperature and salinity
    TParaScale& axis = DerivedColumnDefinition(ConservativeTempPara)->ParaScale;
    EXPECT_EQ(axis.CurMax.ToLongDouble(), 25);
    axis.Color = 0xFF0000; // blue

    TPlotMainFrame frame(env.config, env.cast, host);
    frame.resize(731, 704);
    frame.myresize();
    frame.SetPlot();
    TPlotScene& scene = frame.Scene();
    EXPECT_EQ(scene.XScaleFrames[1].theScale.Info().title, "Conservative Temperature [°C]");
    const std::unique_ptr<TParameter> ct = ComputeDerivedColumn(env.cast, ConservativeTempPara);
    const auto& drawn = scene.PlotFrame.series.horizontal[1];
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.size(), static_cast<std::size_t>(scene.PlotFrame.series.last -
                                                     scene.PlotFrame.series.first + 1));
    EXPECT_EQ(drawn[10].value, ct->SortedBuffer->Data()[scene.PlotFrame.series.first + 10].value);
    EXPECT_GT(Count(frame.PlotImage(), QRect(151, 21, 560, 622), Qt::blue), 200);
}

} // namespace
} // namespace marevo

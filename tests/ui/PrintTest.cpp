// Printing on a PDF device: the text printer of the tables (pages, colour, failures) and the
// plot page's failure report. The PDFs are read back with the poppler tools.

#include "display/PlotHost.h"
#include "display/PlotScene.h"
#include "display/PrintPainter.h"
#include "foundation/Guard.h"
#include "support/AppEnv.h"
#include "ui/PrintDialogs.h"

#include <QImage>
#include <QLineEdit>
#include <QPageSize>
#include <QPdfWriter>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace marevo {
namespace {

namespace fs = std::filesystem;

// Standard output of a command.
std::string Output(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get()))
        out += buffer;
    return out;
}

std::unique_ptr<QPdfWriter> A4Pdf(const fs::path& file) {
    auto pdf = std::make_unique<QPdfWriter>(QString::fromStdString(file.string()));
    pdf->setPageSize(QPageSize(QPageSize::A4));
    pdf->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    return pdf;
}

TEST(TextPrinter, EightyLinesFillTwoPagesInTheColourAsked) {
    test::TTestEnv env;
    const fs::path file = env.dir / "lines.pdf";
    int pages = 0;
    {
        auto pdf = A4Pdf(file);
        TQtTextPrinter printer(*pdf);
        printer.BeginDoc(0x00FF0000, 10); // blue
        for (int k = 1; k <= 80; ++k)
            printer.PrintLine("Line " + std::to_string(k) + "\t12.50\tClosed\t" +
                              std::string(300, 'x'));
        printer.EndDoc();
        pages = printer.Pages();
    }
    EXPECT_EQ(pages, 2);
    EXPECT_NE(Output("pdfinfo '" + file.string() + "'").find("Pages:           2"),
              std::string::npos);
    // Top-down: the first page begins with line 1, the second with the line after the last
    // one that fitted; tabs became blanks.
    const std::string first = Output("pdftotext -f 1 -l 1 -layout '" + file.string() + "' -");
    const std::string second = Output("pdftotext -f 2 -l 2 -layout '" + file.string() + "' -");
    EXPECT_NE(first.find("Line 1 "), std::string::npos);
    EXPECT_EQ(second.find("Line 1 "), std::string::npos);
    EXPECT_NE(second.find("Line 80 "), std::string::npos);
    EXPECT_EQ(ExpandTabs("Line 1\t12.50\tClosed"), "Line 1  12.50   Closed");

    // The text is blue: the inked pixels of page 1 are.
    const fs::path png = env.dir / "page";
    ASSERT_EQ(std::system(("pdftoppm -r 50 -f 1 -l 1 -png -singlefile '" + file.string() + "' '" +
                           png.string() + "'")
                              .c_str()),
              0);
    const QImage image(QString::fromStdString(png.string() + ".png"));
    ASSERT_FALSE(image.isNull());
    int inked = 0, blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c(image.pixel(x, y));
            if (c.red() + c.green() + c.blue() < 600) {
                ++inked;
                blue += c.blue() - std::max(c.red(), c.green()) > 60;
            }
        }
    EXPECT_GT(inked, 1000);
    EXPECT_GT(blue, inked * 95 / 100);
    // A long line is cut at the page's right edge, not wrapped: 80 lines, 80 text lines.
    EXPECT_EQ(std::count(first.begin(), first.end(), 'L') +
                  std::count(second.begin(), second.end(), 'L'),
              80);
}

TEST(TextPrinter, APrinterThatCannotStartRaises) {
    test::TTestEnv env;
    auto pdf = A4Pdf(env.dir / "none" / "lines.pdf");
    TQtTextPrinter printer(*pdf);
    EXPECT_THROW(printer.BeginDoc(0, 10), EMarevoError);
    EXPECT_THROW(printer.PrintLine("x"), EMarevoError);
    EXPECT_THROW(printer.EndDoc(), EMarevoError);
}

TEST(PlotPrint, APrinterThatCannotStartIsToldOnceAndFails) {
    test::TAppEnv env;
    TPlainPlotHost host;
    TPlotScene scene(env.config, env.cast, host);
    scene.myresize(PrintPlotWidth, PrintPlotHeight);
    TPrintLayout layout{};
    SetPrintLayoutDefaults(layout);
    auto pdf = A4Pdf(env.dir / "none" / "page.pdf");
    EXPECT_FALSE(PrintPlot(*pdf, layout, scene, {}, {}));
    EXPECT_TRUE(env.Logged("Error in TPlotForm.Print the printer cannot start the document"));
    int boxes = 0;
    for (const std::string& e : env.op.Events())
        boxes += e.starts_with("Message ") && e.find("Print Plot") != std::string::npos;
    EXPECT_EQ(boxes, 1);
}

TEST(PlotSetup, FractionsAreShownWithTwoDecimalsAndReadBackClamped) {
    test::TAppEnv env;
    TPrintLayout layout{};
    SetPrintLayoutDefaults(layout);
    const auto open = [&] {
        return std::make_unique<TPlotSetupDialog>(layout, env.probe, THeaderListChooser(),
                                                  std::function<void()>());
    };
    auto dialog = open();
    EXPECT_EQ(dialog->FractionField("Plot")->text(), "0.69");
    EXPECT_EQ(dialog->FractionField("Margin")->text(), "0.10");

    const struct {
        const char* field;
        const char* typed;
        float TPrintLayout::*direct; // or else the item's position
        int item;
        float stored;
    } cases[] = {{"Plot height", "0.8", &TPrintLayout::PlotHeight, 0, 0.69f},
                 {"Text 1", "1.5", nullptr, pi_Text1, 1.0f},
                 {"Header", "-0.2", nullptr, pi_Header, 0.0f},
                 {"Margin", "0.25", &TPrintLayout::Margin, 0, 0.25f}};
    for (const auto& c : cases) {
        dialog = open();
        dialog->FractionField(c.field)->setText(c.typed);
        dialog->TextField(1)->setText("Station 12");
        dialog->accept();
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << c.field;
        const TPrintLayout& r = dialog->Result();
        EXPECT_FLOAT_EQ(c.direct ? r.*c.direct : r.Items[c.item].Position, c.stored) << c.field;
        EXPECT_EQ(r.Text[1].Get(), "Station 12");
    }

    // Not a number: the operator is told, the dialog stays open, nothing is taken.
    dialog = open();
    dialog->FractionField("Text 2")->setText("0.5");
    dialog->FractionField("Plot")->setText("abc");
    dialog->TextField(0)->setText("changed");
    env.op.Clear();
    dialog->accept();
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    ASSERT_EQ(env.op.Events().size(), 1u);
    EXPECT_NE(env.op.Events()[0].find("abc"), std::string::npos) << env.op.Events()[0];
    EXPECT_EQ(std::memcmp(&dialog->Result(), &layout, sizeof layout), 0);
}

} // namespace
} // namespace marevo

#include "PrintCommands.h"

#include "CliApp.h"

#include "display/PlotHost.h"
#include "display/PlotScene.h"
#include "display/PrintPainter.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "storage/CruiseFile.h"

#include <QGuiApplication>
#include <QPageSize>

#include <fmt/core.h>

#include <optional>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

std::optional<QPageSize> PageOf(const std::string& name) {
    if (name == "A4")
        return QPageSize(QPageSize::A4);
    if (name == "Letter")
        return QPageSize(QPageSize::Letter);
    return std::nullopt;
}

struct TQtGui {
    TQtGui(const char* programName) : argv{const_cast<char*>(programName), nullptr} {
        // Fonts and painting need a GUI application; none is shown.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        gui.emplace(argc, argv);
    }
    int argc = 1;
    char* argv[2];
    std::optional<QGuiApplication> gui;
};

int PrintPlot(const TPrintOptions& o, const fs::path& dataRoot, const char* programName) {
    const std::optional<QPageSize> page = PageOf(o.page);
    if (!page) {
        fmt::print(stderr, "marevo-cli: --page {}: A4 or Letter\n", o.page);
        return 2;
    }
    TCliApp app(dataRoot);
    if (!app.Start())
        return 1;
    TCruisefile file(app.cast);
    if (!OpenCast(app, file, o.cruise, o.cast))
        return 1;
    const fs::path bin = file.BinPath();
    if (!app.cast.BinRead(bin))
        return Fail("cannot read " + bin.string());
    const TPrintLayout& layout = app.environ.PrintLayout;
    const std::vector<THeaderRow> left = PrintHeaderRows(file.CastInfoc, layout.LeftHeaderList);
    const std::vector<THeaderRow> right = PrintHeaderRows(file.CastInfoc, layout.RightHeaderList);

    TQtGui gui(programName);
    TPlainPlotHost host;
    TPlotScene scene(app.config, app.cast, host);
    scene.myresize(PrintPlotWidth, PrintPlotHeight);

    std::string reason, error; // the page's, the file's
    if (!PrintPdfFile(
            o.output, *page, 0,
            [&](QPagedPaintDevice& pdf) {
                return PrintPlotPage(pdf, layout, scene, left, right, reason);
            },
            error)) {
        fmt::print(stderr, "marevo-cli: {}{}\n", error, reason.empty() ? "" : ": " + reason);
        return 1;
    }
    fmt::print("wrote {} (one {} page)\n", o.output, o.page);
    return 0;
}

int PrintBottles(const TPrintOptions& o, const fs::path& dataRoot, const char* programName) {
    TCliApp app(dataRoot);
    if (!app.Start())
        return 1;
    TCruisefile file(app.cast);
    if (!OpenCast(app, file, o.cruise, o.cast))
        return 1;
    file.CloseCruiseFile();
    if (file.CastInfoc.Bottles.Count() == 0) {
        fmt::print(stderr, "marevo-cli: cast {} has no bottles\n", o.cast);
        return 1;
    }
    TQtGui gui(programName);
    const fs::path out = o.output;
    int pages = 0;
    std::string error;
    if (!PrintPdfFile(
            out, QPageSize(QPageSize::A4), 15,
            [&](QPagedPaintDevice& pdf) {
                TQtTextPrinter printer(pdf);
                const bool printed = file.TxtBottlePrint(
                    DefaultCruiseName(app.environ.DataRootPath(), o.cruise), printer);
                pages = printer.Pages();
                return printed;
            },
            error))
        return Fail(error);
    fmt::print("wrote {} ({} bottles, {} pages)\n", out.string(), file.CastInfoc.Bottles.Count(),
               pages);
    return 0;
}

} // namespace

void AddPrintCommands(CLI::App& app, CLI::App& cruise, TPrintOptions& o) {
    o.printPlot = app.add_subcommand(
        "print-plot", "Print a cast's plot page (the environment's page layout) into a PDF");
    o.printPlot->add_option("CRUISE", o.cruise, "Cruise name")->required();
    o.printPlot->add_option("CAST", o.cast, "Cast number")
        ->required()
        ->check(CLI::Range(1, MaxCastNumber));
    o.printPlot->add_option("OUT", o.output, "PDF file")->required();
    o.printPlot->add_option("--page", o.page, "Page size: A4 or Letter")->capture_default_str();

    o.printBottles = cruise.add_subcommand(
        "print-bottles", "Print the bottle table of a cast (bottle text settings) into a PDF");
    o.printBottles->add_option("NAME", o.cruise, "Cruise name")->required();
    o.printBottles->add_option("CAST", o.cast, "Cast number")
        ->required()
        ->check(CLI::Range(1, MaxCastNumber));
    o.printBottles->add_option("OUT", o.output, "PDF file")->required();
}

bool PrintCommandChosen(const TPrintOptions& o) {
    return (o.printPlot && *o.printPlot) || (o.printBottles && *o.printBottles);
}

int RunPrintCommand(const TPrintOptions& o, const fs::path& dataRoot, const char* programName) {
    if (!CruiseNameOk(o.cruise))
        return 2;
    if (*o.printPlot)
        return PrintPlot(o, dataRoot, programName);
    return PrintBottles(o, dataRoot, programName);
}

} // namespace marevo::cli

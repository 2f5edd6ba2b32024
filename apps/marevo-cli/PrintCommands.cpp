#include "PrintCommands.h"

#include "CliApp.h"

#include "display/PlotHost.h"
#include "display/PlotScene.h"
#include "display/PrintPainter.h"
#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "storage/CruiseFile.h"

#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>

#include <fmt/core.h>

#include <optional>
#include <system_error>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

int Fail(std::string_view what) {
    fmt::print(stderr, "marevo-cli: {}: {}\n", what, EventLog().LastMessage());
    return 1;
}

// The file written beside out, renamed over it once complete.
fs::path PartOf(const fs::path& out) {
    const fs::path dir = out.has_parent_path() ? out.parent_path() : fs::path(".");
    return dir / ("." + out.filename().string() + ".part");
}

// The part file renamed over out when it was written; removed otherwise.
bool Publish(bool written, const fs::path& part, const fs::path& out, std::string& error) {
    std::error_code ec;
    if (written && fs::exists(part, ec) && fs::file_size(part, ec) > 0 && !ec) {
        fs::rename(part, out, ec);
        if (!ec)
            return true;
    }
    error = "cannot write " + out.string() + (ec ? ": " + ec.message() : std::string());
    fs::remove(part, ec);
    return false;
}

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

    const fs::path out = o.output, part = PartOf(out);
    std::string error;
    bool written = false;
    {
        QPdfWriter pdf(QString::fromStdString(part.string()));
        pdf.setPageSize(*page);
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(QStringLiteral("Plot"));
        written = PrintPlotPage(pdf, layout, scene, left, right, error);
    }
    if (!Publish(written, part, out, error)) {
        fmt::print(stderr, "marevo-cli: {}\n", error);
        return 1;
    }
    fmt::print("wrote {} (one {} page)\n", out.string(), o.page);
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
    const fs::path out = o.output, part = PartOf(out);
    bool written = false;
    int pages = 0;
    {
        QPdfWriter pdf(QString::fromStdString(part.string()));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setTitle(QStringLiteral("Bottles"));
        TQtTextPrinter printer(pdf);
        written =
            file.TxtBottlePrint(DefaultCruiseName(app.environ.DataRootPath(), o.cruise), printer);
        pages = printer.Pages();
    }
    std::string error;
    if (!Publish(written, part, out, error)) {
        fmt::print(stderr, "marevo-cli: {}: {}\n", error, EventLog().LastMessage());
        return 1;
    }
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

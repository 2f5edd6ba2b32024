#include "PlotCommand.h"

#include "CliApp.h"

#include "display/PlotHost.h"
#include "display/PlotRender.h"
#include "display/PlotScene.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "parameters/ParaNumbers.h"
#include "processing/Collections.h"
#include "processing/ConfigAuto.h"
#include "processing/DerivedColumns.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "storage/CruiseFile.h"

#include <QGuiApplication>

#include <fmt/core.h>

#include <charconv>
#include <vector>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

bool ParseInt(std::string_view text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// "731x704" -> 731, 704.
bool ParseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find_first_of("xX");
    return x != std::string::npos && ParseInt(std::string_view(text).substr(0, x), width) &&
           ParseInt(std::string_view(text).substr(x + 1), height) && width >= 1 && height >= 1 &&
           width <= 10000 && height <= 10000;
}

bool ParseList(const std::string& text, std::vector<int>& numbers) {
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        int nb = 0;
        if (!ParseInt(rest.substr(0, comma), nb))
            return false;
        numbers.push_back(nb);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return numbers.size() >= 2 && static_cast<int>(numbers.size()) <= MaxParaListCount;
}

} // namespace

void AddPlotCommand(CLI::App& app, TPlotOptions& o) {
    o.plot = app.add_subcommand(
        "plot", "Render a cast's profile plot (the plot window's drawing) to PNG, PDF or SVG");
    o.plot->add_option("CRUISE", o.cruise, "Cruise name")->required();
    o.plot->add_option("CAST", o.cast, "Cast number")
        ->required()
        ->check(CLI::Range(1, MaxCastNumber));
    o.plot->add_option("OUT", o.output, "Picture file: .png, .pdf or .svg")->required();
    o.plot->add_option("--size", o.size, "Plot frame in pixels, WxH")->capture_default_str();
    o.plot->add_flag("--auto", o.autoScale,
                     "Automatic ranges from the cast's data, for this rendering only");
    o.plot->add_option("--list", o.list,
                       "Plot list for this rendering only: vertical axis first, then up to "
                       "eight horizontal ones, e.g. 101,401,599; a horizontal one may be a "
                       "derived column (2001 SA, 2002 CT, 2003 SIG0, 2004 RHO, 2005 N2)");
}

int RunPlotCommand(const TPlotOptions& o, const fs::path& dataRoot, const char* programName) {
    int width = 0, height = 0;
    if (!ParseSize(o.size, width, height)) {
        fmt::print(stderr, "marevo-cli: --size {}: expected WxH, 1 to 10000 pixels each\n", o.size);
        return 2;
    }
    if (!PlotFileTypeKnown(o.output)) {
        fmt::print(stderr, "marevo-cli: {}: the picture type must be png, pdf or svg\n", o.output);
        return 2;
    }
    std::vector<int> list;
    if (!o.list.empty() && !ParseList(o.list, list)) {
        fmt::print(stderr,
                   "marevo-cli: --list {}: expected 2 to {} parameter numbers, "
                   "separated by commas\n",
                   o.list, MaxParaListCount);
        return 2;
    }
    if (!CruiseNameOk(o.cruise))
        return 2;

    TCliApp app(dataRoot);
    TParamCollection& cast = app.cast;
    TConfig& config = app.config;
    if (!app.Start())
        return 1;

    // The cast is opened as `show` opens it: header and probe block from the cruise file, the
    // binned series from its binary file.
    TCruisefile file(cast);
    if (!OpenCast(app, file, o.cruise, o.cast))
        return 1;
    const fs::path bin = file.BinPath();
    if (!cast.BinRead(bin))
        return Fail("cannot read " + bin.string());

    // Settings changed for this rendering only: the configuration is not written back.
    if (!list.empty()) {
        TParaList& plot = config.GenCfg.ParaPlotList;
        plot.count = static_cast<std::int32_t>(list.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            const int nb = list[i];
            // A derived column of the binned table on a horizontal axis only.
            const bool derived = i > 0 && IsDerivedColumn(nb);
            if (!derived && !cast.FindPara(nb) && !ProbeParamCol().FindPara(nb)) {
                fmt::print(stderr, "marevo-cli: --list: no parameter {}\n", nb);
                return 2;
            }
            plot.List[i] = nb;
            // Without its vertical axis nothing of the plot can be drawn.
            plot.Avail[i] = (cast.ExistParaNb(nb) || DerivedColumnAvailable(cast, nb)) &&
                            cast.ExistParaNb(list[0]);
        }
        config.SetParaPtr(plot, config.PlotParaPtr, app.Collections());
    }
    if (o.autoScale) {
        config.GenCfg.DrawAutoX = 1;
        config.GenCfg.DrawAutoY = 1;
        if (!ScanForAuto(config, cast, true, true))
            return Fail("cannot compute the automatic ranges");
    }

    // Fonts and painting need a GUI application; none is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {const_cast<char*>(programName), nullptr};
    QGuiApplication gui(qtArgc, qtArgv);

    TPlainPlotHost host;
    TPlotScene scene(config, cast, host);
    scene.myresize(width, height);
    if (!scene.PlotVisible) {
        fmt::print(stderr, "marevo-cli: cast {} holds no data to plot\n", o.cast);
        return 1;
    }
    std::string error;
    if (!RenderPlotFile(scene, o.output, error)) {
        fmt::print(stderr, "marevo-cli: {}\n", error);
        return 1;
    }
    int curves = 0;
    for (int k = 1; k < scene.Layout().n; ++k)
        curves += scene.PlotFrame.Trait(k).empty() ? 0 : 1;
    fmt::print("wrote {} ({}x{} pixels, {} curves over {} rows{})\n", o.output, width, height,
               curves, scene.PlotFrame.series.last - scene.PlotFrame.series.first + 1,
               scene.PlotFrame.Prepared ? "" : "; the plot's ranges cannot be drawn, see the log");
    return 0;
}

} // namespace marevo::cli

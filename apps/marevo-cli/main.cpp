// marevo-cli: the headless face of Marevo. Verbs mirror the library's operations.

#include "AcquireCommand.h"
#include "UploadCommand.h"
#include "BatchCommand.h"
#include "CalcCommand.h"
#include "CastCommands.h"
#include "ConsoleOperator.h"
#include "ConfigCommand.h"
#include "CruiseCommand.h"
#include "Demo.h"
#include "ImportCommands.h"
#include "InitCommand.h"
#include "ParamsCommand.h"
#ifdef MAREVO_CLI_PLOT
#include "PlotCommand.h"
#include "PrintCommands.h"
#endif
#include "RawCheckCommand.h"

#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "platform/Clock.h"
#include "records/Environ.h"

#include <fmt/core.h>

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <optional>

int main(int argc, char** argv) {
    using namespace marevo;
    CLI::App app{"Marevo CTD profiling, command-line tool"};
    app.require_subcommand(1);
    app.fallthrough(); // the common options may also follow the verb

    std::string dataRoot = DefaultDataRoot().string();
    bool yes = false, quiet = false;
    app.add_option("--data-root", dataRoot, "Data folder (settings, cruises, logs)")
        ->capture_default_str();
    app.add_flag("--yes", yes, "Answer OK to every question (default: Cancel)");
    app.add_flag("-q,--quiet", quiet, "Print no status or progress lines");

    auto* demo = app.add_subcommand(
        "demo", "Record the real cast with the simulated probe as a logger, import it into a new "
                "cruise, process, store and export it, print its summary and first rows");
    std::string demoProbePort;
    demo->add_option("--probe-port", demoProbePort,
                     "Serial device of a (simulated) probe to identify through the protocol");
    auto* init = app.add_subcommand(
        "init", "Create or read the settings under the data root, as the program starts");
    auto* params = app.add_subcommand(
        "params", "List a parameter collection (the default one, or a Param.col file)");
    std::string paramFile, writeDefault;
    params->add_option("--file", paramFile, "Param.col file to list");
    params->add_option("--write-default", writeDefault,
                       "Write the default collection to this Param.col file first");

    auto* rawCheck = app.add_subcommand(
        "raw-check", "Read a raw file through the frame ring and count accepted and bad frames");
    std::string rawFile;
    int protocol = 6, frameSize = 0;
    rawCheck->add_option("FILE", rawFile, "Raw file (.raw)")->required()->check(CLI::ExistingFile);
    rawCheck->add_option("--protocol", protocol, "Probe protocol: 5 (DF5), 6 (DF6), 7 (DF7)")
        ->check(CLI::IsMember({5, 6, 7}))
        ->capture_default_str();
    rawCheck->add_option("--frame-size", frameSize, "Bytes per frame")
        ->required()
        ->check(CLI::Range(1, 255));

    auto* calc = app.add_subcommand(
        "calc", "Evaluate a computed parameter from its inputs (or CSV samples on standard input)");
    cli::TCalcOptions calcOptions;
    cli::AddCalcOptions(*calc, calcOptions);

    auto* config = app.add_subcommand("config", "List, show, change, create and choose "
                                                "configurations");
    cli::TConfigOptions configOptions;
    cli::AddConfigCommands(*config, configOptions);

    auto* cruise = app.add_subcommand("cruise", "Create, list, show and export cruises");
    cli::TCruiseOptions cruiseOptions;
    cli::AddCruiseCommands(*cruise, cruiseOptions);

    cli::TCastOptions castOptions;
    cli::AddCastCommands(app, castOptions);

    cli::TImportOptions importOptions;
    cli::AddImportCommands(app, importOptions);

    cli::TBatchOptions batchOptions;
    cli::AddBatchCommands(app, batchOptions);

#ifdef MAREVO_CLI_PLOT
    cli::TPlotOptions plotOptions;
    cli::AddPlotCommand(app, plotOptions);
    cli::TPrintOptions printOptions;
    cli::AddPrintCommands(app, *cruise, printOptions);
#endif

    cli::TAcquireOptions acquireOptions;
    cli::AddAcquireCommand(app, acquireOptions);
    cli::TUploadOptions uploadOptions;
    cli::AddUploadCommand(app, uploadOptions);

    CLI11_PARSE(app, argc, argv);
    {
        std::string note, error;
        const auto root = ResolveDataRoot(dataRoot, note, error);
        if (!root) {
            fmt::print(stderr, "marevo-cli: {}\n", error);
            return 2;
        }
        if (!note.empty() && !quiet)
            fmt::print(stderr, "marevo-cli: {}\n", note);
        dataRoot = root->string();
    }

    cli::TConsoleOperator op(yes, quiet);
    // MAREVO_CLOCK_START (a date-time in days since 1899-12-30) runs the tool on a clock that
    // starts there and moves only when the tool sleeps, so two runs write the same bytes: the
    // replay checks of the test suite use it.
    std::optional<TFakeClock> fixedClock;
    if (const char* start = std::getenv("MAREVO_CLOCK_START"); start && *start)
        fixedClock.emplace(std::strtod(start, nullptr));
    TRuntimeScope runtime({fixedClock ? &*fixedClock : nullptr, &op, nullptr, nullptr});
    if (*demo)
        return cli::RunDemo(dataRoot, demoProbePort);
    if (*init)
        return cli::RunInit(dataRoot);
    if (*params)
        return cli::RunParams(paramFile, writeDefault);
    if (*rawCheck)
        return cli::RunRawCheck(rawFile, protocol, frameSize);
    if (*calc)
        return cli::RunCalc(calcOptions, dataRoot);
    if (*config)
        return cli::RunConfig(configOptions, dataRoot);
#ifdef MAREVO_CLI_PLOT
    if (cli::PrintCommandChosen(printOptions))
        return cli::RunPrintCommand(printOptions, dataRoot, argv[0]);
#endif
    if (*cruise)
        return cli::RunCruise(cruiseOptions, dataRoot);
    if (*batchOptions.batch)
        return cli::RunBatchCommand(batchOptions, dataRoot);
    if (cli::ImportCommandChosen(importOptions))
        return cli::RunImportCommand(importOptions, dataRoot);
#ifdef MAREVO_CLI_PLOT
    if (*plotOptions.plot)
        return cli::RunPlotCommand(plotOptions, dataRoot, argv[0]);
#endif
    if (*acquireOptions.acquire) {
        acquireOptions.yes = yes;
        return cli::RunAcquire(acquireOptions, dataRoot, quiet);
    }
    if (*uploadOptions.upload)
        return cli::RunUpload(uploadOptions, dataRoot, quiet);
    if (*acquireOptions.probe)
        return cli::RunProbeCommand(acquireOptions, dataRoot);
    if (cli::CastCommandChosen(castOptions))
        return cli::RunCastCommand(castOptions, dataRoot);
    return 2;
}

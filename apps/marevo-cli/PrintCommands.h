#pragma once
// `print-plot`: the printed plot page of a stored cast as a PDF; `cruise print-bottles`: the
// bottle table of a cast printed as text into a PDF. Both need the Qt display.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>

namespace marevo::cli {

struct TPrintOptions {
    CLI::App* printPlot = nullptr;
    CLI::App* printBottles = nullptr; // under `cruise`
    std::string cruise;
    int cast = 0;
    std::string output; // .pdf
    std::string page = "A4";
};

// print-plot on app, print-bottles on its `cruise` verb.
void AddPrintCommands(CLI::App& app, CLI::App& cruise, TPrintOptions& options);
bool PrintCommandChosen(const TPrintOptions& options);

// 0 on success, 1 on a failure (told on standard error), 2 for bad arguments.
int RunPrintCommand(const TPrintOptions& options, const std::filesystem::path& dataRoot,
                    const char* programName);

} // namespace marevo::cli

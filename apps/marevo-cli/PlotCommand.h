#pragma once
// `plot`: the profile plot of a stored cast, rendered off screen into a PNG, PDF or SVG file.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>

namespace marevo::cli {

struct TPlotOptions {
    CLI::App* plot = nullptr;
    std::string cruise;
    int cast = 0;
    std::string output;           // .png, .pdf or .svg
    std::string size = "731x704"; // the plot window's frame, pixels
    bool autoScale = false;       // automatic ranges for this rendering
    std::string list;             // another plot list for this rendering: "101,401,599"
};

void AddPlotCommand(CLI::App& app, TPlotOptions& options);

// 0 on success, 1 on a failure (told on standard error), 2 for bad arguments.
int RunPlotCommand(const TPlotOptions& options, const std::filesystem::path& dataRoot,
                   const char* programName);

} // namespace marevo::cli

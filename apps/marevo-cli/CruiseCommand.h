#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>

namespace marevo::cli {

struct TCruiseOptions {
    // The verb chosen: new, list, show, export-headers, export-bottles.
    CLI::App* create = nullptr;
    CLI::App* list = nullptr;
    CLI::App* show = nullptr;
    CLI::App* exportHeaders = nullptr;
    CLI::App* exportBottles = nullptr;
    std::string name;   // cruise
    int cast = 0;       // export-bottles
    std::string output; // export file; default in the cruise's txt folder
    std::string vessel; // new
    std::string person; // new: operator
};

// Declares the cruise verbs and their arguments under `cruise`.
void AddCruiseCommands(CLI::App& cruise, TCruiseOptions& options);

// Starts the settings under dataRoot as the program does, then runs the chosen verb on the
// cruises of the data root. 0 on success, 1 on a failure (told on standard error), 2 for a name
// that cannot be a cruise.
int RunCruise(const TCruiseOptions& options, const std::filesystem::path& dataRoot);

} // namespace marevo::cli

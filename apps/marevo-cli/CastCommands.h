#pragma once
// The verbs on one stored cast: replay its raw file again, export its table (text, NetCDF or ODV;
// NetCDF and ODV also every cast of the cruise), print it.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>

namespace marevo::cli {

struct TCastOptions {
    // The verb chosen.
    CLI::App* reprocess = nullptr;
    CLI::App* exportText = nullptr;
    CLI::App* show = nullptr;
    std::string cruise;
    int cast = 0;
    std::string output; // export: the text file; default in the cruise's txt folder
    bool all = false;   // show: every row, not only the first and last ones
    std::string columns; // export: parameter numbers of the columns, for this export only
    std::string castText; // export: a cast number or "all"
    std::string format;   // export: text, netcdf or odv; empty: from the file name
};

// Declares `reprocess`, `export` and `show` with their arguments on app.
void AddCastCommands(CLI::App& app, TCastOptions& options);

// Whether one of the cast verbs was chosen.
bool CastCommandChosen(const TCastOptions& options);

// Starts the settings under dataRoot as the program does, opens the cast and runs the chosen
// verb. 0 on success, 1 on a failure (told on standard error), 2 for a name that cannot be a
// cruise.
int RunCastCommand(const TCastOptions& options, const std::filesystem::path& dataRoot);

} // namespace marevo::cli

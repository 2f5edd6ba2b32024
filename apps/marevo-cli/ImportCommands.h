#pragma once
// The verbs that bring casts into a cruise without a live probe: import logger recordings,
// rebuild a cruise file from its raw folder, and make a logger recording with the simulated
// probe.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace marevo::cli {

struct TImportOptions {
    // The verb chosen.
    CLI::App* import = nullptr;
    CLI::App* rebuild = nullptr;
    CLI::App* simulate = nullptr;
    std::vector<std::string> files; // import: the recordings' raw files
    std::string cruise;             // import, rebuild
    // simulate
    std::string output;    // the raw file to write
    int format = 6;
    std::string cast;      // a recorded cnv cast; empty: synthetic
    double seconds = 0;    // 0: the whole cast
    double bottom = 200;   // synthetic cast [dbar]
    double rate = 24;      // Hz
};

// Declares `import`, `rebuild` and `simulate` with their arguments on app.
void AddImportCommands(CLI::App& app, TImportOptions& options);

// Whether one of these verbs was chosen.
bool ImportCommandChosen(const TImportOptions& options);

// Starts the settings under dataRoot as the program does and runs the chosen verb. 0 on success,
// 1 on a failure (its reason on the last line of standard error), 2 for a name that cannot be a
// cruise.
int RunImportCommand(const TImportOptions& options, const std::filesystem::path& dataRoot);

// The road of a logger recording: the simulated probe records realCast (a synthetic cast when the
// file is missing), the recording is imported into a new cruise, processed, stored and exported,
// and the cast's summary and first binned rows are printed. 0 on success.
int RunImportDemo(const std::filesystem::path& dataRoot, const std::filesystem::path& realCast);

} // namespace marevo::cli

#pragma once
// `batch`: run a command list over a list of casts, show a ".bal" file, make one.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace marevo::cli {

struct TBatchOptions {
    CLI::App* batch = nullptr;
    CLI::App* run = nullptr;
    CLI::App* show = nullptr;
    CLI::App* make = nullptr;
    std::string commands;            // run: a ".bal" file instead of the environment's list
    std::vector<std::string> casts;  // run: instead of the environment's cast list
    std::string file;                // show, make
    std::vector<std::string> names;  // make: command names in order
};

void AddBatchCommands(CLI::App& app, TBatchOptions& options);

// 0 on success; 1 when an entry failed (they are named on standard error) or the run could not
// start; 2 for a command line that names no valid command or file.
int RunBatchCommand(const TBatchOptions& options, const std::filesystem::path& dataRoot);

} // namespace marevo::cli

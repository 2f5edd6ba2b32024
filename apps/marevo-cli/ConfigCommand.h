#pragma once

#include <CLI/CLI.hpp>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace marevo::cli {

struct TConfigOptions {
    // The verb chosen: list, show, set, new, use, ports.
    CLI::App* list = nullptr;
    CLI::App* show = nullptr;
    CLI::App* set = nullptr;
    CLI::App* create = nullptr;
    CLI::App* use = nullptr;
    CLI::App* ports = nullptr;
    std::string name;                     // configuration (show: default the current one)
    std::string from;                     // new: the configuration copied
    std::vector<std::string> assignments; // set: FIELD=VALUE
    bool describe = false;                // show: what each field holds
    // ports: the devices of the probe, GPS, external sensor and depth repeater ("" unchanged).
    std::array<std::string, 4> devices;
};

// Declares the configuration verbs under `config`.
void AddConfigCommands(CLI::App& config, TConfigOptions& options);

// Runs the chosen verb on the configuration files of the data root's configuration folder. 0 on
// success, 1 on a failure or a refused value (told on standard error; no file written), 2 for a
// name that cannot be a configuration.
int RunConfig(const TConfigOptions& options, const std::filesystem::path& dataRoot);

} // namespace marevo::cli

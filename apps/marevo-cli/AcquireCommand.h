#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>

namespace marevo::cli {

struct TAcquireOptions {
    CLI::App* acquire = nullptr;
    std::string cruise;
    std::string probePort;
    std::string gpsPort;
    std::string extPort;
    std::string rdrPort; // the remote depth display, when the environment enables it
    double seconds = 0;  // 0: until stopped
    int firstBottle = 0; // 0: "No Rosette connected"
    bool yes = false;    // the operator dialog's "Fire" pressed at once
    // `probe stop-flow|clear-memory`
    CLI::App* probe = nullptr;
    CLI::App* stopFlow = nullptr;
    CLI::App* clearMemory = nullptr;
    std::string commandPort;
};

// Declares `acquire` and `probe` on app.
void AddAcquireCommand(CLI::App& app, TAcquireOptions& options);

// A real-time cast of the cruise on the given devices: the whole start, a live line per value
// period, Save and Exit after the given seconds, on SIGINT/SIGTERM, on "stop" read from standard
// input or at the automatic stop; then the end report. 0 when the cast is stored, 1 when it is
// not, 3 when it is stored but the probe link was lost at the end, 2 for a bad cruise name.
int RunAcquire(const TAcquireOptions& options, const std::filesystem::path& dataRoot, bool quiet);

// `probe stop-flow` / `probe clear-memory` on the given device: 0 when done, 1 otherwise.
int RunProbeCommand(const TAcquireOptions& options, const std::filesystem::path& dataRoot);

} // namespace marevo::cli

#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>

namespace marevo::cli {

struct TUploadOptions {
    CLI::App* upload = nullptr;
    std::string cruise;
    std::string probePort;
    bool list = false;
    std::string casts = "all"; // "2,4" or "all"
};

// Declares `upload` on app.
void AddUploadCommand(CLI::App& app, TUploadOptions& options);

// The probe's memory upload into the cruise on the given device: --list prints the probe's cast
// list; otherwise the chosen casts are uploaded in list order, with the progress text as the
// progress line and one result line per cast. SIGINT aborts, a "skip" line on standard input
// skips the cast in transfer. 0 when every chosen cast was stored, 1 otherwise (naming the cast),
// 2 for bad options.
int RunUpload(const TUploadOptions& options, const std::filesystem::path& dataRoot, bool quiet);

} // namespace marevo::cli

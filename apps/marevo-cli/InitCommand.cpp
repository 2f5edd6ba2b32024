#include "InitCommand.h"

#include "foundation/EventLog.h"
#include "foundation/Runtime.h"
#include "shell/Application.h"

#include <fmt/core.h>

#include <string>

namespace marevo::cli {

namespace {

void Line(std::string_view what, const std::filesystem::path& file, bool created) {
    fmt::print("{:<24} {} ({})\n", what, file.string(), created ? "created" : "read");
}

} // namespace

int RunInit(const std::filesystem::path& dataRoot) {
    TApplication app(dataRoot);
    const TStartSettingsResult r = app.Start({.writeMissingEnviron = true});
    if (!r.completed) {
        if (r.invalidFile != TSettingsFile::None) {
            // The warning itself went to the operator; name the files on this system too.
            fmt::print(stderr, "marevo-cli: delete these files to start again with defaults:\n");
            for (const auto& file : {r.environFile, r.paramColFile})
                fmt::print(stderr, "  {}\n", file.string());
            fmt::print(stderr, "  {}\n", (r.paramColFile.parent_path() / "*.cfg").string());
        } else {
            fmt::print(stderr, "marevo-cli: start-up failed: {}\n", EventLog().LastMessage());
        }
        return 1;
    }

    fmt::print("{:<24} {}\n", "data folder", app.environ.DataRootPath().string());
    fmt::print("{:<24} {}\n", "event log", EventLog().FileName().string());
    if (r.environBackupFound)
        fmt::print("{:<24} {}\n", "environment copy", r.environBackupUsed ? "used" : "discarded");
    Line("environment", r.environFile, r.environWritten);
    Line("parameter collection", r.paramColFile, r.paramColCreated);
    if (r.configBackupFound)
        fmt::print("{:<24} {}\n", "configuration copy", r.configBackupUsed ? "used" : "discarded");
    Line("configuration", r.configFile, r.configCreated);
    fmt::print("{:<24} {} parameters\n", "probe collection", app.probe.Count());
    fmt::print("{:<24} {}\n", "current cruise", app.config.GenCfg.CruiseName.Get());
    return 0;
}

} // namespace marevo::cli

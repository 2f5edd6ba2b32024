#include "InitCommand.h"

#include "foundation/EventLog.h"
#include "foundation/Runtime.h"
#include "app/AppContext.h"
#include "processing/ParamCollection.h"
#include "shell/Startup.h"
#include "records/Config.h"
#include "records/Environ.h"

#include <fmt/core.h>

#include <string>

namespace marevo::cli {

namespace {

void Line(std::string_view what, const std::filesystem::path& file, bool created) {
    fmt::print("{:<24} {} ({})\n", what, file.string(), created ? "created" : "read");
}

} // namespace

int RunInit(const std::filesystem::path& dataRoot) {
    TParamCollection probe;
    TParamCollection cast;
    TConfig config;
    TEnviron environ(dataRoot);
    TAppScope scope({&probe, &cast, &config.GenCfg, &config.CurParaPtr, &config, &environ});

    const TStartSettingsResult r = StartSettings({.writeMissingEnviron = true});
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

    fmt::print("{:<24} {}\n", "data folder", environ.DataRootPath().string());
    fmt::print("{:<24} {}\n", "event log", EventLog().FileName().string());
    if (r.environBackupFound)
        fmt::print("{:<24} {}\n", "environment copy", r.environBackupUsed ? "used" : "discarded");
    Line("environment", r.environFile, r.environWritten);
    Line("parameter collection", r.paramColFile, r.paramColCreated);
    if (r.configBackupFound)
        fmt::print("{:<24} {}\n", "configuration copy", r.configBackupUsed ? "used" : "discarded");
    Line("configuration", r.configFile, r.configCreated);
    fmt::print("{:<24} {} parameters\n", "probe collection", probe.Count());
    fmt::print("{:<24} {}\n", "current cruise", config.GenCfg.CruiseName.Get());
    return 0;
}

} // namespace marevo::cli

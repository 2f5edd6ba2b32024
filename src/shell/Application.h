#pragma once
// The application's wiring, one for every program (the command-line tool, the main window, the
// benchmarks and the tests): the data root, the probe and cast collections, the configuration
// and the environment, installed as the process-wide objects (app/AppContext.h) for the
// object's lifetime, and the settings started under the data root as the program's start-up
// starts them (shell/Startup.h).

#include "app/AppContext.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "shell/Startup.h"

#include <filesystem>

namespace marevo {

class TApplication {
public:
    explicit TApplication(const std::filesystem::path& dataRoot)
        : dataRoot(dataRoot), environ(dataRoot) {}
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Starts the settings under the data root (environment, Param.col, configuration). Never
    // throws; on failure the result is not completed and the event log's last message says why.
    TStartSettingsResult Start(const TStartSettingsOptions& options = {});

    // This application's collections as its configuration sees them.
    TConfigCollections Collections() { return {cast, probe}; }

    std::filesystem::path dataRoot; // as given by the caller
    TParamCollection probe;
    TParamCollection cast;
    TConfig config;
    TEnviron environ;

private:
    TAppScope scope_{{&probe, &cast, &config.GenCfg, &config.CurParaPtr, &config, &environ}};
};

} // namespace marevo

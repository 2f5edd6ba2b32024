#pragma once
// What the commands that work on the settings share: the application objects installed for the
// command's lifetime, the settings started as the program starts them, the cruise-name check.

#include "app/AppContext.h"
#include "processing/ParamCollection.h"
#include "shell/Startup.h"
#include "records/Config.h"
#include "records/Environ.h"

#include <filesystem>
#include <string>

namespace marevo::cli {

struct TCliApp {
    explicit TCliApp(const std::filesystem::path& dataRoot)
        : dataRoot(dataRoot), environ(dataRoot) {}
    // Starts the settings under the data root; false after saying why on stderr.
    bool Start(const TStartSettingsOptions& options = {});

    std::filesystem::path dataRoot; // as given on the command line
    TParamCollection probe;
    TParamCollection cast;
    TConfig config;
    TEnviron environ;
    TAppScope scope{{&probe, &cast, &config.GenCfg, &config.CurParaPtr, &config, &environ}};
};

// Whether name can be a cruise name; false after saying why on stderr.
bool CruiseNameOk(const std::string& name);

} // namespace marevo::cli

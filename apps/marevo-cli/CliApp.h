#pragma once
// What the commands that work on the settings share: the application (shell/Application.h) with
// the tool's own report of a failed start, and the cruise-name check.

#include "shell/Application.h"

#include <filesystem>
#include <string>

namespace marevo::cli {

struct TCliApp : TApplication {
    using TApplication::TApplication;
    // Starts the settings under the data root; false after saying why on stderr.
    bool Start(const TStartSettingsOptions& options = {});
};

// Whether name can be a cruise name; false after saying why on stderr.
bool CruiseNameOk(const std::string& name);

} // namespace marevo::cli

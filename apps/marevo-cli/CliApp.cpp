#include "CliApp.h"

#include "foundation/EventLog.h"
#include "foundation/Runtime.h"

#include <fmt/core.h>

namespace marevo::cli {

bool TCliApp::Start(const TStartSettingsOptions& options) {
    if (TApplication::Start(options).completed)
        return true;
    fmt::print(stderr, "marevo-cli: the settings under {} cannot be used ({}); see `init`\n",
               dataRoot.string(), EventLog().LastMessage());
    return false;
}

bool CruiseNameOk(const std::string& name) {
    if (IsSafeSettingsName(name))
        return true;
    fmt::print(stderr,
               "marevo-cli: \"{}\" cannot be a cruise name (1 to {} characters, no folder "
               "separator, no dot)\n",
               name, MaxSettingsNameLength);
    return false;
}

} // namespace marevo::cli

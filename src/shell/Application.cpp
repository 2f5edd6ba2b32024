#include "shell/Application.h"

namespace marevo {

TStartSettingsResult TApplication::Start(const TStartSettingsOptions& options) {
    // StartSettings works on the installed objects, which are this application's own.
    return StartSettings(options);
}

} // namespace marevo

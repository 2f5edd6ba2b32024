#pragma once
// What the commands that work on the settings share: the application (shell/Application.h) with
// the tool's own report of a failed start, and the cruise-name check.

#include "shell/Application.h"
#include "storage/CruiseFile.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace marevo::cli {

struct TCliApp : TApplication {
    using TApplication::TApplication;
    // Starts the settings under the data root; false after saying why on stderr.
    bool Start(const TStartSettingsOptions& options = {});
};

// Opens cast castNb of the cruise into app.cast as the cast verbs do: its header, probe block
// and bottles from the cruise file (which keeps them and lends them to the collection), the
// cruise name of its files set, the collection's series prepared. False after saying why on
// stderr.
bool OpenCast(TCliApp& app, TCruisefile& file, const std::string& cruise, int castNb);

// Whether name can be a cruise name; false after saying why on stderr.
bool CruiseNameOk(const std::string& name);

// Says on stderr that what failed, with the event log's last message as the reason; 1.
int Fail(std::string_view what);

} // namespace marevo::cli

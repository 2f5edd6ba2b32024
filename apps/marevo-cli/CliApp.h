#pragma once
// What the commands that work on the settings share: the application (shell/Application.h) with
// the tool's own report of a failed start, and the cruise-name check.

#include "probelink/FileComm.h"
#include "shell/Application.h"
#include "storage/CruiseFile.h"

#include <filesystem>
#include <memory>
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

// Makes cruise the configuration's current one; false after saying on stderr that the data root
// holds no such cruise.
bool UseCruise(TCliApp& app, const std::string& cruise);

// A port on a device path, with the settings of the environment's port text (its COMn name is
// replaced by the device; a port the settings leave unset takes the probe's usual line
// settings). None for an empty path.
std::unique_ptr<TFileCOMM> OpenDevice(const std::string& device, const TCommPort& port,
                                      const char* label);

// Says on stderr that what failed, with the event log's last message as the reason; 1.
int Fail(std::string_view what);

} // namespace marevo::cli

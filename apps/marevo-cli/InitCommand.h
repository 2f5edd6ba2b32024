#pragma once

#include <filesystem>

namespace marevo::cli {

// The settings part of the start-up, without windows: under dataRoot, makes the folders and the
// event log, and writes Environ.env, Param.col and the current configuration when they are
// missing; reads them all back and prints what it found or created. A second run changes no
// byte of the settings files. 0 on success, 1 when a file is invalid or a step failed.
int RunInit(const std::filesystem::path& dataRoot);

} // namespace marevo::cli

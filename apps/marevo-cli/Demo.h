#pragma once

#include <filesystem>
#include <string>

namespace marevo::cli {

// The main job as far as it exists: see Demo.cpp. probePort: the device of a probe (the
// simulator's pseudo-terminal) to identify through the command protocol; empty: none.
int RunDemo(const std::filesystem::path& dataRoot, const std::string& probePort = {});

} // namespace marevo::cli

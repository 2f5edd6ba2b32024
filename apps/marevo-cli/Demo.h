#pragma once

#include <filesystem>

namespace marevo::cli {

// The main job as far as it exists: see Demo.cpp.
int RunDemo(const std::filesystem::path& dataRoot);

} // namespace marevo::cli

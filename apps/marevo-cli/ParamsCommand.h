#pragma once

#include <filesystem>

namespace marevo::cli {

// Lists a parameter collection, one parameter per line: the default collection, or the
// Param.col file `file`. With `writeDefault`, first writes the default collection to that file.
int RunParams(const std::filesystem::path& file, const std::filesystem::path& writeDefault);

} // namespace marevo::cli

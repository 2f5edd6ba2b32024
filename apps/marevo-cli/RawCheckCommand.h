#pragma once

#include <filesystem>

namespace marevo::cli {

// Reads a raw file through the frame ring and prints the frames accepted and the error counts.
int RunRawCheck(const std::filesystem::path& file, int protocol, int frameSize);

} // namespace marevo::cli

#pragma once
// The standard names of the settings' files and the cruises' folders and files, and the text
// operations that take cruise names and cast numbers out of file names.

#include <filesystem>
#include <string>
#include <string_view>

namespace marevo {

// Folders and names come from the settings (environment and configuration), which pass them in.

// $HOME/MarevoData, the data root of a new workstation.
std::filesystem::path DefaultDataRoot();

std::filesystem::path ParamColName(const std::filesystem::path& cfgFolder);
std::filesystem::path EnvironName(const std::filesystem::path& cfgFolder);
std::filesystem::path DefaultConfigName(const std::filesystem::path& cfgFolder,
                                        std::string_view configName);
std::filesystem::path CruiseFolder(const std::filesystem::path& dataRoot, std::string_view cruise);
std::filesystem::path DefaultCruiseName(const std::filesystem::path& dataRoot,
                                        std::string_view cruise);
// "000" + n, last three characters: cast numbers above 999 keep their last three digits.
std::string CastNumberText(int castNumber);
// Binary file of cast n of the current cruise: binDir / cruise + three digits + ".bin".
std::filesystem::path BinFileName(const std::filesystem::path& binDir, std::string_view cruise,
                                  int castNumber);
// Binary file that belongs to the cast file f of any type, in its cruise's "bin" folder.
std::filesystem::path BinFileOf(const std::filesystem::path& dataRoot, std::string_view f);

// ---- Names in text ----------------------------------------------------------------------------

// Last n characters of s; all of s when shorter.
std::string RightChars(std::string_view s, int n);
// File part of f up to its first "."; f unchanged (folders included) when the file part has none.
// Both "/" and "\" separate folders, so names written on other systems split the same way.
std::string BaseFileName(std::string_view f);
// Cruise name of a cruise file ("CR.cru"), a cast file ("CR007.bin") or a cast-list entry
// ("CR007"); empty when the name is too short.
std::string ExtractCruise(std::string_view f);
// Cast number of a cast file: the last three characters of its base name; 0 when not a number.
int ExtractCastNumber(std::string_view f);

} // namespace marevo

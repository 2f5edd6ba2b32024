#pragma once
// Small rules of the main window's data commands that touch names and files: which stored "last
// file" may be reopened, and which files "Clear log files" may delete.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace marevo {

struct TCastName {
    std::string cruise;
    int cast = 0;
};

// The cast a stored last-file name designates: a safe cruise name followed by three digits
// 001..999 (as the cruise names its cast files), nothing else: no folder, no extension, no other
// characters. Nullopt for anything else, which the caller then clears.
std::optional<TCastName> LastFileCast(std::string_view lastFile);

// file itself when it exists, else the entry of its folder whose name matches it without regard
// to letter case ("C001.BIN" for "C001.bin"); file when there is none.
std::filesystem::path FindIgnoringCase(const std::filesystem::path& file);

// Whether name is a file of the event log ("log_" + ddMMyy + "_" + HHmmss + ".txt").
bool IsEventLogName(std::string_view name);

// Deletes the event log files of folder except current (the log in use); a user's own
// "logbook.txt" and everything else stays. The number deleted.
int ClearLogFiles(const std::filesystem::path& folder, const std::filesystem::path& current);

} // namespace marevo

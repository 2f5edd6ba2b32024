#pragma once
// A new cast never writes over files of an earlier one: when its .raw, .ext or .xfr already
// exists (a cast interrupted before it was stored kept that number), the old file is renamed
// aside to the first free "<name>.1", "<name>.2", ... and the renaming is logged.

#include <filesystem>
#include <vector>

namespace marevo {

// The three data files of a cast whose raw file is raw: .raw, .ext, .xfr.
std::vector<std::filesystem::path> CastDataFiles(const std::filesystem::path& raw);
// Renames file aside when it exists; the new name, or empty when there was nothing to move.
// Raises EMarevoError when it cannot be moved.
std::filesystem::path RenameAside(const std::filesystem::path& file);
// RenameAside for each of the cast's data files; the names given.
std::vector<std::filesystem::path> MoveCastFilesAside(const std::filesystem::path& raw);
// The data files of a cast that was not completed (a skipped or failed upload) renamed to
// <name>.partial, so that a rebuild does not take them for a cast; an older ".partial" is
// renamed aside first. Nothing is deleted. The names given.
std::vector<std::filesystem::path> KeepPartialCastFiles(const std::filesystem::path& raw);

} // namespace marevo

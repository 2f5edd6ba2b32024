#pragma once
// One Marevo per user and data root: a lock file in the user's runtime folder (never in the data
// root, so a refused second start touches no file of it), held for the program's life and freed
// by the system when the program ends, however it ends.

#include <QLockFile>

#include <filesystem>
#include <memory>

namespace marevo {

class TInstanceLock {
public:
    explicit TInstanceLock(const std::filesystem::path& dataRoot);
    // False when another running program holds it.
    bool TryLock();
    std::filesystem::path FileName() const { return file_; }

private:
    std::filesystem::path file_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace marevo

#pragma once
// Files that several programs may write at once, and files that must never be half-written or
// written through a link someone planted: exclusive locks, temporary files of unique names created
// exclusively, copies that never replace an existing name, and named stop points through which a
// test ends the process at a chosen moment of a long operation.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace marevo {

// An exclusive lock (flock) on a lock file, held while the object lives. Re-entrant within the
// process: a second lock of the same file by the same process is granted at once and releases
// nothing when it goes, so an operation holding the lock may call others that take it too.
class TFileLock {
public:
    TFileLock() = default;
    ~TFileLock();
    TFileLock(TFileLock&&) noexcept;
    TFileLock& operator=(TFileLock&&) noexcept;
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // Takes the lock of lockFile (created when missing, never through a symbolic link), trying
    // again for waitSeconds on the clock seam while another process holds it. False when it stays
    // held or the file cannot be opened; reason says which.
    bool Acquire(const std::filesystem::path& lockFile, double waitSeconds, std::string& reason);
    bool Held() const { return entry_ != nullptr; }
    void Release();

    struct TEntry;

private:
    std::shared_ptr<TEntry> entry_;
};

// A name beside target that no other writer uses: target + ".~mvtmp-" + process id + "-" + a
// counter of the process.
std::filesystem::path UniqueTemporaryName(const std::filesystem::path& target);
// Whether name is a temporary of UniqueTemporaryName whose process no longer runs.
bool IsAbandonedTemporary(const std::filesystem::path& name);
// Removes the abandoned temporaries of folder (not its sub-folders); each is logged. The number
// removed.
int RemoveAbandonedTemporaries(const std::filesystem::path& folder);

// Copies from into a new file to: the bytes go to a temporary beside it and reach the disk, then
// take the name only when it is free. A name that exists already (a file, a folder or a symbolic
// link) is refused and left as it is. Raises EMarevoError naming the step that failed.
void CopyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Whether the bytes of two files are the same (false when one cannot be read).
bool SameFileBytes(const std::filesystem::path& a, const std::filesystem::path& b);

// Forces a folder's entries (a rename, a creation) to the disk; failures are ignored.
void SyncFolder(const std::filesystem::path& folder);

// Named moments of long operations. When the environment variable MAREVO_STOP_AT names the step
// ("import.copied"), or the step and which pass of it ("write.renamed#3"), the process ends there
// at once with StopPointExitCode, as a crash or a kill would. Without the variable: nothing.
constexpr int StopPointExitCode = 75;
void StopPoint(std::string_view step);

} // namespace marevo

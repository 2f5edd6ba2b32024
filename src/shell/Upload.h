#pragma once
// The memory upload as the program's shells run it: the uploaded cast stored as a stored raw
// cast is (read back, binned, shown, binary file written, cruise-file block updated), and the
// windows' side of the upload for hosts without windows.

#include "acquisition/UploadMemory.h"

#include <filesystem>

namespace marevo {

class TMainShell;

// The uploaded cast's raw file opened as File › Import › Raw opens one (read back, frames
// checked and decoded, binned, shown), then its binary file written and its block of the cruise
// file updated, as the batch's "Save As Bin" does. The header keeps the probe's scan rate and
// mode (memory); the times the replay measured stay. True when both were written.
bool SaveUploadedCast(TMainShell& shell, const std::filesystem::path& raw,
                      const TMemoryCast& memory);

// The upload's host without windows: the environments of the shell, the saving above; what the
// dialog would show is kept for the caller.
class TShellUploadHost : public IUploadHost {
public:
    explicit TShellUploadHost(TMainShell& shell) : shell_(shell) {}
    void SetUploadEnv() override;
    void SetNormalEnv() override;
    bool SaveBin(const std::filesystem::path& raw, const TMemoryCast& memory) override;

protected:
    TMainShell& shell_;
};

} // namespace marevo

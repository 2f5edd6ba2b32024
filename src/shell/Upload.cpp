#include "shell/Upload.h"

#include "foundation/Guard.h"
#include "processing/ParamCollection.h"
#include "shell/MainShell.h"

namespace marevo {

bool SaveUploadedCast(TMainShell& shell, const std::filesystem::path& raw,
                      const TMemoryCast& memory) {
    if (!shell.OpenAndDisplay(raw, FileTypeRaw))
        return false;
    KeepUploadedScanRate(shell.CruiseFile().CastInfoc.Cast, memory);
    TParamCollection& cast = shell.App().cast;
    // The cast's block is rewritten only over a binary file that was written.
    if (cast.BinSave(shell.CruiseFile().BinPath()) != ParaOk)
        return false;
    return shell.CruiseFile().UpdateLast();
}

void TShellUploadHost::SetUploadEnv() { shell_.SetAcquiEnv(); }

void TShellUploadHost::SetNormalEnv() { shell_.SetNormalEnv(); }

bool TShellUploadHost::SaveBin(const std::filesystem::path& raw, const TMemoryCast& memory) {
    return SaveUploadedCast(shell_, raw, memory);
}

} // namespace marevo

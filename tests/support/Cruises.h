#pragma once
// Casts as the shell and window tests need them: copies of the synthetic DF6 recording as a
// logger leaves them, and a cruise "CR" holding them as imported casts.

#include "records/CastInfo.h"
#include "shell/MainShell.h"
#include "support/AppEnv.h"

#include <filesystem>
#include <string>
#include <vector>

namespace marevo::test {

inline std::filesystem::path SyntheticRecording() {
    return std::filesystem::path(MAREVO_SOURCE_DIR) / "tests/data/replay/recordings/df6-synthetic.raw";
}

// n copies LOG1..LOGn of the recording (.raw, .xfr, .ext) in folder; their .raw files.
inline std::vector<std::filesystem::path> LoggerCopies(const std::filesystem::path& folder, int n) {
    std::filesystem::create_directories(folder);
    std::vector<std::filesystem::path> raws;
    for (int k = 1; k <= n; ++k) {
        const std::string base = "LOG" + std::to_string(k);
        for (const char* ext : {".raw", ".xfr", ".ext"})
            std::filesystem::copy_file(std::filesystem::path(SyntheticRecording()).replace_extension(ext),
                                       folder / (base + ext));
        raws.push_back(folder / (base + ".raw"));
    }
    return raws;
}

// Creates cruise CR, makes it current and imports n copies of the recording as its casts 1..n
// (the operator answers yes meanwhile, no afterwards). False when a step fails.
inline bool MakeImportedCruise(TMainShell& shell, TAppEnv& env, int n) {
    const bool created = shell.NewCruise([](TCastInfo& c) {
        c.InfoStr[1].Set("CR");
        c.InfoStr[2].Set("CR");
        return true;
    });
    if (!created)
        return false;
    env.config.GenCfg.CruiseName.Set("CR");
    env.op.SetDefaultAnswer(true);
    const bool imported = shell.ImportLoggerFiles(LoggerCopies(env.dir / "logger", n));
    env.op.SetDefaultAnswer(false);
    return imported;
}

} // namespace marevo::test

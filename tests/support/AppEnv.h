#pragma once
// TTestEnv plus the application's wiring (shell/Application.h) for the test's lifetime: an empty
// probe and cast collection, a configuration at its defaults (whose GenCfg and resolved
// values-window list are the ones in use) and an environment whose default data root is
// dir / "data" (nothing is created there until a test applies its defaults or starts the
// settings).

#include "records/GenConfig.h"
#include "shell/Application.h"
#include "support/TestEnv.h"

namespace marevo::test {

class TAppEnv : public TTestEnv, public TApplication {
public:
    TAppEnv() : TApplication(dir / "data") {}

    TGenConfig& genCfg = config.GenCfg;
    std::array<TParameter*, MaxParaListCount>& curParaPtr = config.CurParaPtr;
};

} // namespace marevo::test

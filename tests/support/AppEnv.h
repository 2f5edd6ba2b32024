#pragma once
// TTestEnv plus fresh application objects, installed for the test's lifetime: an empty probe and
// cast collection, a configuration at its defaults (whose GenCfg and resolved values-window list
// are the ones in use) and an environment whose default data root is dir / "data" (nothing is
// created there until a test applies its defaults).

#include "app/AppContext.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "records/GenConfig.h"
#include "support/TestEnv.h"

namespace marevo::test {

class TAppEnv : public TTestEnv {
public:
    TParamCollection probe;
    TParamCollection cast;
    TConfig config;
    TEnviron environ{dir / "data"};
    TGenConfig& genCfg = config.GenCfg;
    std::array<TParameter*, MaxParaListCount>& curParaPtr = config.CurParaPtr;

private:
    TAppScope appScope_{{&probe, &cast, &config.GenCfg, &config.CurParaPtr, &config, &environ}};
};

} // namespace marevo::test

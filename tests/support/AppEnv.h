#pragma once
// TTestEnv plus fresh application objects: an empty probe and cast collection, general settings
// at their defaults and the resolved values-window list, installed for the test's lifetime.

#include "processing/AppContext.h"
#include "processing/ParamCollection.h"
#include "storage/GenConfig.h"
#include "support/TestEnv.h"

namespace marevo::test {

class TAppEnv : public TTestEnv {
public:
    TAppEnv() { SetGenConfigDefaults(genCfg); }

    TParamCollection probe;
    TParamCollection cast;
    TGenConfig genCfg{};
    std::array<TParameter*, MaxParaListCount> curParaPtr{};

private:
    TAppScope appScope_{{&probe, &cast, &genCfg, &curParaPtr}};
};

} // namespace marevo::test

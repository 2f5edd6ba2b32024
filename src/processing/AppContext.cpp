#include "processing/AppContext.h"

#include "foundation/Guard.h"
#include "processing/ParamCollection.h"
#include "storage/GenConfig.h"

namespace marevo {

namespace {
TAppContext& Current() {
    static TParamCollection probe;
    static TParamCollection cast;
    static TGenConfig genCfg = [] {
        TGenConfig cfg{};
        SetGenConfigDefaults(cfg);
        return cfg;
    }();
    static std::array<TParameter*, MaxParaListCount> curParaPtr{};
    static TAppContext current{&probe, &cast, &genCfg, &curParaPtr};
    return current;
}
} // namespace

TParamCollection& ProbeParamCol() { return *Current().probeParamCol; }
TParamCollection& CastParamCol() { return *Current().castParamCol; }
TGenConfig& GenCfg() { return *Current().genCfg; }
std::array<TParameter*, MaxParaListCount>& CurParaPtr() { return *Current().curParaPtr; }

TConfig& Config() {
    if (!Current().config)
        Raise("no configuration installed");
    return *Current().config;
}

TEnviron& Environ() {
    if (!Current().environ)
        Raise("no environment installed");
    return *Current().environ;
}

TRawStream* CurrentRawStream() { return Current().rawStream; }

void SetCurrentRawStream(TRawStream* source) { Current().rawStream = source; }

TAppScope::TAppScope(const TAppContext& objects) : saved_(Current()) {
    TAppContext& now = Current();
    if (objects.probeParamCol) now.probeParamCol = objects.probeParamCol;
    if (objects.castParamCol) now.castParamCol = objects.castParamCol;
    if (objects.genCfg) now.genCfg = objects.genCfg;
    if (objects.curParaPtr) now.curParaPtr = objects.curParaPtr;
    if (objects.config) now.config = objects.config;
    if (objects.environ) now.environ = objects.environ;
}

TAppScope::~TAppScope() { Current() = saved_; }

} // namespace marevo

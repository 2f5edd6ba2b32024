#pragma once
// The application's process-wide objects in one place: the probe and cast collections, the
// settings in use and the current data source. Each layer keeps the accessors of what it knows
// (records/Settings.h, processing/Collections.h); TAppScope installs a whole set in every one of
// them for its lifetime. The program installs its objects at start-up (shell/Application.h);
// tests install fresh ones.

#include "parameters/ParaRecords.h"
#include "processing/Collections.h"
#include "records/Settings.h"

#include <array>

namespace marevo {

struct TAppContext {
    TParamCollection* probeParamCol = nullptr;
    TParamCollection* castParamCol = nullptr;
    TGenConfig* genCfg = nullptr;
    std::array<TParameter*, MaxParaListCount>* curParaPtr = nullptr;
    TConfig* config = nullptr;
    TEnviron* environ = nullptr;
};

// Installs the given objects (null members keep the current ones) for its lifetime.
class TAppScope {
public:
    explicit TAppScope(const TAppContext& objects)
        : collections_(objects.probeParamCol, objects.castParamCol),
          settings_({objects.genCfg, objects.curParaPtr, objects.config, objects.environ}) {}

private:
    TCollectionScope collections_;
    TSettingsScope settings_;
};

} // namespace marevo

#pragma once
// The application's process-wide objects in one place: the probe and cast collections, the
// settings in use and the current data source. Each layer keeps the accessors of what it knows
// (records/Settings.h, processing/Collections.h); TAppScope installs a whole set in every one of
// them for its lifetime. The program installs its objects at start-up (shell/Application.h);
// tests install fresh ones.

#include "parameters/ParaRecords.h"
#include "processing/ParamCollection.h"
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

// Installs the given objects (null members keep the current ones) for its lifetime, and hands
// the given collections the settings and the probe collection they work under.
class TAppScope {
public:
    explicit TAppScope(const TAppContext& objects);
    ~TAppScope();
    TAppScope(const TAppScope&) = delete;
    TAppScope& operator=(const TAppScope&) = delete;

private:
    TAppContext objects_;
    TCollectionScope collections_;
    TSettingsScope settings_;
};

inline TAppScope::TAppScope(const TAppContext& objects)
    : objects_(objects), collections_(objects.probeParamCol, objects.castParamCol),
      settings_({objects.genCfg, objects.curParaPtr, objects.config, objects.environ}) {
    for (TParamCollection* col : {objects.probeParamCol, objects.castParamCol})
        if (col)
            col->UseSettings(objects.config, objects.environ, objects.probeParamCol);
}

inline TAppScope::~TAppScope() {
    for (TParamCollection* col : {objects_.probeParamCol, objects_.castParamCol})
        if (col)
            col->UseSettings(nullptr, nullptr, nullptr);
}

} // namespace marevo

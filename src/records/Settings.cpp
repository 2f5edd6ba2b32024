#include "records/Settings.h"

#include "foundation/Guard.h"
#include "records/GenConfig.h"

namespace marevo {

namespace {
TSettingsContext& Current() {
    static TGenConfig genCfg = [] {
        TGenConfig cfg{};
        SetGenConfigDefaults(cfg);
        return cfg;
    }();
    static std::array<TParameter*, MaxParaListCount> curParaPtr{};
    static TSettingsContext current{&genCfg, &curParaPtr};
    return current;
}
} // namespace

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

TSettingsScope::TSettingsScope(const TSettingsContext& objects) : saved_(Current()) {
    TSettingsContext& now = Current();
    if (objects.genCfg) now.genCfg = objects.genCfg;
    if (objects.curParaPtr) now.curParaPtr = objects.curParaPtr;
    if (objects.config) now.config = objects.config;
    if (objects.environ) now.environ = objects.environ;
}

TSettingsScope::~TSettingsScope() { Current() = saved_; }

} // namespace marevo

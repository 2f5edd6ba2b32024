#pragma once
// The settings in use: the configuration, the environment, the general settings and the resolved
// values-window list. The program's wiring installs its objects with TSettingsScope (through
// TAppScope, app/AppContext.h); tests install fresh ones. Without an installed set, general
// settings at their defaults and an empty list exist, as for a tool that starts bare; there is no
// configuration or environment then.

#include "parameters/ParaRecords.h"

#include <array>

namespace marevo {

struct TGenConfig;
class TConfig;
class TEnviron;

struct TSettingsContext {
    TGenConfig* genCfg = nullptr;
    // Resolved parameters of the values-window list (GenCfg's CurParaList); a stored list holds
    // only numbers.
    std::array<TParameter*, MaxParaListCount>* curParaPtr = nullptr;
    // Whoever installs a configuration also installs its GenCfg and CurParaPtr as genCfg and
    // curParaPtr, so the configuration owns the records in use.
    TConfig* config = nullptr;
    TEnviron* environ = nullptr;
};

TGenConfig& GenCfg();
std::array<TParameter*, MaxParaListCount>& CurParaPtr();
// The installed configuration and environment; raise EMarevoError when none is installed (a bare
// tool has no settings files).
TConfig& Config();
TEnviron& Environ();

// Installs the given objects (null members keep the current ones) for its lifetime.
class TSettingsScope {
public:
    explicit TSettingsScope(const TSettingsContext& objects);
    ~TSettingsScope();
    TSettingsScope(const TSettingsScope&) = delete;
    TSettingsScope& operator=(const TSettingsScope&) = delete;

private:
    TSettingsContext saved_;
};

} // namespace marevo

#pragma once
// The application's process-wide objects of the processing layer: the probe collection, the cast
// collection and the general settings. The application owns them and installs them at start-up
// with TAppScope; tests install fresh ones. Without an installed set, a default set exists (a
// probe and a cast collection, settings at their defaults), as for a tool that starts bare.

#include "parameters/ParaRecords.h"

#include <array>

namespace marevo {

class TParamCollection;
struct TGenConfig;
class TConfig;
class TEnviron;
class TRawStream;

struct TAppContext {
    TParamCollection* probeParamCol = nullptr;
    TParamCollection* castParamCol = nullptr;
    TGenConfig* genCfg = nullptr;
    // Resolved parameters of the values-window list (GenCfg's CurParaList); a stored list holds
    // only numbers.
    std::array<TParameter*, MaxParaListCount>* curParaPtr = nullptr;
    // The settings objects. Whoever installs a configuration also installs its GenCfg and
    // CurParaPtr as genCfg and curParaPtr, so the configuration owns the records in use.
    TConfig* config = nullptr;
    TEnviron* environ = nullptr;
    // The single current data source (real-time cast, raw-file import or memory upload). Its
    // creator owns it and clears it here before freeing it; TAppScope does not install one.
    TRawStream* rawStream = nullptr;
};

TParamCollection& ProbeParamCol();
TParamCollection& CastParamCol();
TGenConfig& GenCfg();
std::array<TParameter*, MaxParaListCount>& CurParaPtr();
// The installed configuration and environment; raise EMarevoError when none is installed (a bare
// tool has no settings files).
TConfig& Config();
TEnviron& Environ();
// The current data source; null when none.
TRawStream* CurrentRawStream();
void SetCurrentRawStream(TRawStream* source);

// Installs the given objects (null members keep the current ones) for its lifetime.
class TAppScope {
public:
    explicit TAppScope(const TAppContext& objects);
    ~TAppScope();
    TAppScope(const TAppScope&) = delete;
    TAppScope& operator=(const TAppScope&) = delete;

private:
    TAppContext saved_;
};

} // namespace marevo

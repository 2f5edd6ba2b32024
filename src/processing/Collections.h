#pragma once
// The two collections that live for the whole run: ProbeParamCol, every parameter the probe can
// deliver, and CastParamCol, the parameters of the cast in hand. The program's wiring installs
// its own with TCollectionScope (through TAppScope, app/AppContext.h); tests install fresh ones.
// Without installed ones, a default pair exists.

#include "records/Config.h"

namespace marevo {

class TParamCollection;

TParamCollection& ProbeParamCol();
TParamCollection& CastParamCol();

// The configuration's view of a cast and a probe collection: list entries resolve in the cast
// collection first, then in the probe collection; the display block is the probe collection's.
class TConfigCollections final : public IConfigParameters {
public:
    TConfigCollections(TParamCollection& cast, TParamCollection& probe) : cast_(cast), probe_(probe) {}
    TParameter* FindListedPara(std::int32_t number) const override;
    bool WriteDisplayBlock(TStream& out) const override;
    bool ReadDisplayBlock(TStream& in) const override;

private:
    TParamCollection& cast_;
    TParamCollection& probe_;
};

// The installed CastParamCol and ProbeParamCol as the configuration sees them.
TConfigCollections InstalledCollections();

// Installs the given collections (null keeps the current one) for its lifetime.
class TCollectionScope {
public:
    TCollectionScope(TParamCollection* probe, TParamCollection* cast);
    ~TCollectionScope();
    TCollectionScope(const TCollectionScope&) = delete;
    TCollectionScope& operator=(const TCollectionScope&) = delete;

private:
    TParamCollection* savedProbe_;
    TParamCollection* savedCast_;
};

} // namespace marevo

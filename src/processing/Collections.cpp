#include "processing/Collections.h"

#include "processing/DerivedColumns.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Settings.h"

namespace marevo {

namespace {
struct TInstalled {
    TParamCollection* probe;
    TParamCollection* cast;
};

TInstalled& Current() {
    static TParamCollection probe;
    static TParamCollection cast;
    static TInstalled current{&probe, &cast};
    return current;
}
} // namespace

TParamCollection& ProbeParamCol() { return *Current().probe; }
TParamCollection& CastParamCol() { return *Current().cast; }

TConfig& TProbeCollection::Cfg() const { return config_ ? *config_ : Config(); }
TGenConfig& TProbeCollection::Gen() const { return config_ ? config_->GenCfg : GenCfg(); }
TEnviron& TProbeCollection::Env() const { return environ_ ? *environ_ : Environ(); }
TParamCollection& TProbeCollection::Probe() const { return probe_ ? *probe_ : ProbeParamCol(); }

TParameter* TConfigCollections::FindListedPara(std::int32_t number) const {
    if (TParameter* p = cast_.FindPara(number))
        return p;
    if (TParameter* p = probe_.FindPara(number))
        return p;
    // A derived column of the binned table: its definition holds the axis of a plot entry.
    return DerivedColumnDefinition(number);
}

bool TConfigCollections::WriteDisplayBlock(TStream& out) const {
    return probe_.ParaColToConfigStream(out);
}

bool TConfigCollections::ReadDisplayBlock(TStream& in) const {
    return probe_.ConfigStreamToParaCol(in);
}

TConfigCollections InstalledCollections() { return {CastParamCol(), ProbeParamCol()}; }

TCollectionScope::TCollectionScope(TParamCollection* probe, TParamCollection* cast)
    : savedProbe_(Current().probe), savedCast_(Current().cast) {
    if (probe) Current().probe = probe;
    if (cast) Current().cast = cast;
}

TCollectionScope::~TCollectionScope() {
    Current().probe = savedProbe_;
    Current().cast = savedCast_;
}

} // namespace marevo

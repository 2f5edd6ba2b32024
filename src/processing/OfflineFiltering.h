#pragma once
// The end-of-cast filters of the post-processed series: the pressure offset at the surface, the
// warm-up (soak) before the descent and the loops the ship's heave puts into a profile. They flag
// samples, never remove them. The end of a cast (TParamCollection::DoAcquiEnd) runs them over the
// cast collection, one pass each, before binning the cast again.

#include <cstdint>

namespace marevo {

class TParamCollection;

class TOfflineFiltering {
public:
    // Filters the series of col, which must outlive the filter.
    explicit TOfflineFiltering(TParamCollection& col) : col_(col) {}

    // The surface pressure offset found over samples 0..maxindex; 0 when there is none.
    long double InitPressureOffsetFilter(std::int32_t maxindex);
    // Subtracts x from the pressure of the sample at the collection's PostLBIndexO.
    void PressureOffsetFilter(float x);
    void InitWarmupFilter();
    // True once the start of the descent has been found and the warm-up before it flagged.
    bool WarmupFilter();
    void InitWaveFilter();
    // Processes the sample at PostLBIndexO.
    void WaveFilter();
    void EndWaveFilter();

private:
    TParamCollection& col_;
};

} // namespace marevo

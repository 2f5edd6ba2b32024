#pragma once
// The end-of-cast filters of the post-processed series: the pressure offset at the surface, the
// warm-up (soak) before the descent and the loops the ship's heave puts into a profile. They flag
// samples, never remove them, and count each pressure they flag in the collection's
// OfflineFilteringError. The end of a cast (TParamCollection::DoAcquiEnd) runs them over the
// cast collection, one pass each, before binning the cast again; the state detection of that
// pass supplies the direction of each sample.

#include "foundation/FlaggedValue.h"

#include <cstdint>
#include <map>
#include <vector>

namespace marevo {

class TParamCollection;

class TOfflineFiltering {
public:
    // Filters the series of col, which must outlive the filter.
    explicit TOfflineFiltering(TParamCollection& col) : col_(col) {}

    // The pressure of the first of samples 0..maxindex whose conductivity is valid and above the
    // configured threshold: the reading of the probe at the surface. 0 when there is none.
    long double InitPressureOffsetFilter(std::int32_t maxindex);
    // Subtracts x from the valid pressure of the sample at the collection's PostLBIndexO.
    void PressureOffsetFilter(float x);
    void InitWarmupFilter() {}
    // At the first descending sample deeper than the warm-up threshold: flags everything from the
    // start of the cast up to the last sample at or above the warm-up minimum pressure before it
    // and gives true.
    bool WarmupFilter();
    void InitWaveFilter();
    // Processes the sample at PostLBIndexO.
    void WaveFilter();
    void EndWaveFilter();

    // Wave filter state.
    float WaveFilterLastValidPressure = 0;  // pressure of the last accepted sample
    bool WaveFilterThresholdIsOver = false; // inside a loop: samples are being flagged
    std::int32_t LastValidIndex = 0;        // index of the last accepted sample
    bool IsDirectionDown = true, IsDirectionup = false; // direction at the previous call
    // Unfiltered elements of the samples the wave filter flagged, by sample index: the pressure,
    // and each other input parameter by list position (the pressure's own entry stays empty).
    std::map<std::int32_t, TFlaggedValue> FlaggedDataDictionary;
    std::vector<std::map<std::int32_t, TFlaggedValue>> FlaggedDataDictionaryArray;

private:
    // Flags sample k of every input, keeping the unfiltered elements first when keep is set.
    void FlagSample(std::int32_t k, bool keep);
    // Gives back the unfiltered elements of samples from..to that the wave filter flagged.
    void RestoreSamples(std::int32_t from, std::int32_t to);
    // The descent (down) or ascent rule for sample j.
    void Evaluate(std::int32_t j, bool down);
    float Threshold() const;

    TParamCollection& col_;
};

} // namespace marevo

// Not written yet: the end of a cast already calls every filter at its place, so that a cast
// runs end to end; until then no sample is flagged and no offset is found.

#include "processing/OfflineFiltering.h"

namespace marevo {

long double TOfflineFiltering::InitPressureOffsetFilter(std::int32_t) { return 0; }

void TOfflineFiltering::PressureOffsetFilter(float) {}

void TOfflineFiltering::InitWarmupFilter() {}

bool TOfflineFiltering::WarmupFilter() { return false; }

void TOfflineFiltering::InitWaveFilter() {}

void TOfflineFiltering::WaveFilter() {}

void TOfflineFiltering::EndWaveFilter() {}

} // namespace marevo

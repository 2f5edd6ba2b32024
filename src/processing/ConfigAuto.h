#pragma once
// Automatic ranges of the configuration's plot list from a cast's binned data.

namespace marevo {

class TConfig;
class TParamCollection;

// Entry 0 of config's plot list from its own values in cast when AutoY; the horizontal entries,
// when AutoX, from their values inside the vertical range the plot shows. Members of one family
// (temperatures, conductivities, oxygens, altimeters) share the range of the first one plotted.
// The ranges are kept in cast's parameters (ParaScale.AutoMin/AutoMax).
bool ScanForAuto(const TConfig& config, TParamCollection& cast, bool AutoY, bool AutoX);

} // namespace marevo

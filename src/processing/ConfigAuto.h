#pragma once
// Automatic ranges of the configuration's plot list from a cast's binned data.

namespace marevo {

class TConfig;
class TDerivedColumnCache;
class TParamCollection;

// Entry 0 of config's plot list from its own values in cast when AutoY; the horizontal entries,
// when AutoX, from their values inside the vertical range the plot shows. Members of one family
// (temperatures, conductivities, oxygens, altimeters) share the range of the first one plotted.
// The ranges are kept in cast's parameters (ParaScale.AutoMin/AutoMax), those of a derived column
// in its definition; derived: where the caller keeps the table's derived columns (the plot, whose
// refresh during a cast then computes them only when a row was binned), else computed here.
bool ScanForAuto(const TConfig& config, TParamCollection& cast, bool AutoY, bool AutoX,
                 TDerivedColumnCache* derived = nullptr);

} // namespace marevo

#pragma once
// The settings the derived-parameter formulas read, taken from the general settings of the
// configuration and the start latitude of the cast.

#include "parameters/DerivedFormulas.h"

namespace marevo {

struct TGenConfig;

// castLatitude: the first latitude of the current cast header, degrees north.
TFormulaSettings FormulaSettingsOf(const TGenConfig& cfg, long double castLatitude);

} // namespace marevo

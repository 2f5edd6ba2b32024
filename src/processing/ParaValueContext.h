#pragma once
// The collection's and the settings' part of the parameter value operations.

#include "parameters/ValueContext.h"

namespace marevo {

class TParamCollection;
struct TGenConfig;
struct TDataValidation;

// The context of one value pass over col's parameters: its sample indexes, ring slot, time base,
// speeds and inputs in use, the validation switch, the first filter and the formula settings of
// gen (castLatitude: the first latitude of the current cast header, degrees north).
TValueContext ValueContextOf(const TParamCollection& col, const TGenConfig& gen,
                             const TDataValidation& validation, long double castLatitude);

} // namespace marevo

#pragma once
// Display names of the parameter enumerations, spelled as the enumerators ("Pt_Raw",
// "ParaConvSingle", "ParacalibPoly5"). An ordinal outside the enumeration, as a damaged file may
// hold, gives "?".

#include "parameters/ParaRecords.h"

#include <string_view>

namespace marevo {

std::string_view ParaTypeName(TParaType type);
std::string_view ParaConvName(TParaConv conv);
std::string_view ParaCalibTypeName(TParaCalibType calib);

} // namespace marevo

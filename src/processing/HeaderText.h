#pragma once
// Cruise and cast header parameters (900..1050) as text and as numbers, for the text exports and
// the printouts.

#include "foundation/FlaggedValue.h"
#include "parameters/DerivedFormulas.h"

#include <cstdint>
#include <span>
#include <string>

namespace marevo {

class TCastInfo;
class TConfig;
class TParameter;
struct TTextFileCfg;

// Where the header texts come from. The cruise and cast headers are those of the current cast
// holder; a text that needs one that is missing is a failure.
struct THeaderSources {
    const TCastInfo* Cruise = nullptr;
    const TCastInfo* Cast = nullptr;
    const TConfig* Config = nullptr; // its DataTextCfg, HeaderTextCfg and BottleTextCfg
    std::string ProbeSN;             // serial number of the probe (UnitSN)
    // For the depth of the bottom pressures; its latitude is taken from the cast's start.
    TFormulaSettings Formula{};
};

// A position in decimal degrees (negative south or west) in the position format posFormat
// (TPosFormat: 0 degrees, 1 degrees and minutes, 2 degrees, minutes and seconds), untrimmed:
// 45.5125 gives " 45.51250", "  45°30.7500", "  45°30'45.000". A position between -1 and 0
// degrees shows its sign on the zero degrees ("  -0°30.0000"). Empty for a value that is no
// number; a format outside the enumeration counts as degrees.
std::string PositionText(long double x, std::uint8_t posFormat);

// The text settings of an export: DataType 0 data file, 1 header file, 2 bottle file.
const TTextFileCfg& TextCfgOf(const TConfig& config, int DataType);

// The text of header parameter para for an export of DataType; list: the export's resolved
// columns (924, 926), null entries skipped. Trimmed of blanks; empty for a number that is no
// header field. A failure is logged as "Error in Parameter.HeaderString" + message + name.
std::string HeaderString(const TParameter& para, int DataType,
                         std::span<TParameter* const> list, const THeaderSources& sources);

// The number of a cast header parameter (times in days, positions in degrees, bottom values,
// counters); (0.0, flag 0) for any other number. A failure is logged as
// "Error in Parameter.HeaderValue" + message + name and gives InvalidFV.
TFlaggedValue HeaderValue(const TParameter& para, const THeaderSources& sources);

} // namespace marevo

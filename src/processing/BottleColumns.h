#pragma once
// The columns of a bottle table: a fired bottle's number or status, or a parameter computed from
// the channel values stored with the bottle. The cruise's bottle text file, its printout and the
// bottles window show the same cells.

#include "parameters/ValueContext.h"

#include <string>

namespace marevo {

class TBottleInfo;
class TCastInfo;
class TParamCollection;
class TParameter;
struct TFlaggedValue;

// Fixed-point with `decimals` decimals after rounding to `precision` significant digits; in
// scientific notation when the whole part needs more than `precision` digits.
std::string FixedText(long double value, int precision, int decimals);
// The same, with "**" after a flagged value (it keeps its place in the table and is marked).
std::string FlaggedText(const TFlaggedValue& v, int precision, int decimals);

class TBottleColumns {
public:
    // probe: the cast's collection, whose parameter positions index the stored channel values;
    // cast: its header (start time and latitude).
    TBottleColumns(TParamCollection& probe, const TCastInfo& cast);

    // The bottle text file's cell.
    std::string FileText(TParameter& para, const TBottleInfo& bottle);
    // The printed table's cell.
    std::string PrintText(TParameter& para, const TBottleInfo& bottle);
    // The bottles window's cell: number and status, the computed value of an acquired or
    // computed parameter (raw, computed, water-sample, GPS, external) with the screen decimals;
    // empty for any other kind.
    std::string ScreenText(TParameter& para, const TBottleInfo& bottle);

private:
    std::string TimeText(const TBottleInfo& bottle, std::uint8_t u, double divisor);

    TParamCollection& probe_;
    const TCastInfo& cast_;
    TValueContext ctx_;
};

} // namespace marevo

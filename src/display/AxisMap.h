#pragma once
// Value <-> pixel along one axis, linear or logarithmic, shared by the scales (where the ticks
// go) and the plot area (where the curves, bottle marks and cursor go), so that a curve always
// meets the tick of its value.

#include <cstdint>

namespace marevo {

enum class TAxisFault : std::uint8_t {
    None,
    Length,    // shorter than one pixel
    Range,     // both ends equal
    NotFinite, // an end is infinite or not a number
};

// The text of a fault for the status line and the log.
const char* AxisFaultText(TAxisFault fault);

struct TAxisMap {
    bool log = false;
    // Ends in value space (linear) or decimal-logarithm space (log): at the origin, at the end.
    long double a0 = 0, a1 = 1;
    long double length = 0; // pixels from the origin to the far end
    // The ends actually used; a logarithmic axis with one end not positive uses a tenth of the
    // other end instead.
    long double v0 = 0, v1 = 1;
    // A logarithmic axis without any positive end is drawn linear.
    bool logRefused = false;

    // Pixels from the origin of value v; NaN for a value a logarithmic axis cannot show (<= 0).
    long double Pos(long double v) const;
    // The value at pixel pos from the origin.
    long double Value(long double pos) const;
    // Pixels per unit (linear) or per decade (log); negative when values fall along the axis.
    long double Factor() const { return length / (a1 - a0); }
};

// The map of an axis of `length` pixels showing atOrigin at its origin and atEnd at its far end.
TAxisFault MakeAxisMap(long double atOrigin, long double atEnd, bool log, long double length,
                       TAxisMap& map);

} // namespace marevo

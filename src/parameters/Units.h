#pragma once
// Conversions into the time and conductivity units of the settings. A unit setting is one byte
// holding the ordinal as stored: time 0 second, 1 minute, 2 hour, 3 day, 4..7 the clock-time
// formats (TTimeUnit, storage/Config.h); conductivity 0 uS/cm, 1 mS/cm, 2 S/m.

#include <cstdint>

namespace marevo {

// Divisor that turns seconds into the time unit: 1, 60, 3600, 86400, and 1 for the clock-time
// formats and any byte outside the enumeration.
constexpr long double TimeDivisor(std::uint8_t timeUnit) {
    switch (timeUnit) {
    case 1: return 60;
    case 2: return 3600;
    case 3: return 86400;
    default: return 1;
    }
}

// Divisor that turns mS/cm into the conductivity unit: 0.001 for uS/cm, 1 for mS/cm, 10 for
// S/m; a byte outside the enumeration counts as mS/cm.
constexpr long double CondDivisor(std::uint8_t condUnit) {
    switch (condUnit) {
    case 0: return 0.001L;
    case 2: return 10;
    default: return 1;
    }
}

// Numerator that turns a conductivity in that unit into a resistivity in ohm.cm: 1e6 for uS/cm,
// 1000 for mS/cm, 100 for S/m; a byte outside the enumeration counts as mS/cm.
constexpr long double ResistivityNumerator(std::uint8_t condUnit) {
    switch (condUnit) {
    case 0: return 1e6L;
    case 2: return 100;
    default: return 1000;
    }
}

} // namespace marevo

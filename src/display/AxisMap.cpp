#include "display/AxisMap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace marevo {

const char* AxisFaultText(TAxisFault fault) {
    switch (fault) {
    case TAxisFault::None: return "";
    case TAxisFault::Length: return "length<1!";
    case TAxisFault::Range: return "sext=0.0!";
    case TAxisFault::NotFinite: return "range not finite!";
    }
    return "";
}

long double TAxisMap::Pos(long double v) const {
    if (log) {
        if (!(v > 0))
            return std::numeric_limits<long double>::quiet_NaN();
        v = std::log10(v);
    }
    return (v - a0) * Factor();
}

long double TAxisMap::Value(long double pos) const {
    const long double a = a0 + pos / Factor();
    return log ? std::pow(10.0L, a) : a;
}

TAxisFault MakeAxisMap(long double atOrigin, long double atEnd, bool log, long double length,
                       TAxisMap& map) {
    if (!std::isfinite(atOrigin) || !std::isfinite(atEnd) || !std::isfinite(length))
        return TAxisFault::NotFinite;
    if (length < 1)
        return TAxisFault::Length;
    if (atOrigin == atEnd)
        return TAxisFault::Range;
    TAxisMap m;
    m.length = length;
    m.v0 = atOrigin;
    m.v1 = atEnd;
    if (log && atOrigin <= 0 && atEnd <= 0) {
        m.logRefused = true;
        log = false;
    }
    m.log = log;
    if (log) {
        // One end not positive: the axis shows the decade below the other end.
        const long double hi = std::max(atOrigin, atEnd);
        if (m.v0 <= 0)
            m.v0 = hi / 10;
        if (m.v1 <= 0)
            m.v1 = hi / 10;
        m.a0 = std::log10(m.v0);
        m.a1 = std::log10(m.v1);
    } else {
        m.a0 = atOrigin;
        m.a1 = atEnd;
    }
    // A range so small (or so large) that the factor is not a number is no drawable range.
    if (!std::isfinite(m.Factor()) || m.Factor() == 0)
        return TAxisFault::Range;
    map = m;
    return TAxisFault::None;
}

} // namespace marevo

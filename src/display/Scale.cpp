#include "display/Scale.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace marevo {

namespace {

// Relative tolerance of the comparisons between computed values and tick values.
constexpr long double Tol = 1e-9L;
// A logarithmic tick counts as inside the axis within this relative margin of its ends.
constexpr long double LogEndTol = 1e-8L;

// n x 10^e, exact for the integers and exponents of tick values (the division keeps 0.01 the
// nearest value to a hundredth, which 1 x 10^-2 as a product would not be).
long double Scaled(long double n, int e) {
    return e >= 0 ? n * std::pow(10.0L, e) : n / std::pow(10.0L, -e);
}

// A 1-2-5 value d x 10^k.
struct TNice {
    int d = 1;
    int k = 0;
    long double Value() const { return Scaled(d, k); }
    TNice Down() const { return d == 1 ? TNice{5, k - 1} : d == 2 ? TNice{1, k} : TNice{2, k}; }
    TNice Up() const { return d == 1 ? TNice{2, k} : d == 2 ? TNice{5, k} : TNice{1, k + 1}; }
};

int Decade(long double x) {
    int k = static_cast<int>(std::floor(std::log10(x)));
    // log10 of 1000 may come out a hair below 3.
    if (Scaled(1, k + 1) <= x * (1 + Tol))
        ++k;
    return k;
}

// The smallest 1-2-5 value not below x (within Tol).
TNice NiceNotBelow(long double x) {
    TNice n{1, Decade(x)};
    while (n.Value() < x * (1 - Tol))
        n = n.Up();
    return n;
}

// The 1-2-5 value strictly above x.
TNice NiceAbove(long double x) {
    TNice n{1, Decade(x) - 1};
    while (n.Value() <= x * (1 + Tol))
        n = n.Up();
    return n;
}

// The 1-2-5 value strictly below x.
TNice NiceBelow(long double x) {
    TNice n{1, Decade(x) + 1};
    while (n.Value() >= x * (1 - Tol))
        n = n.Down();
    return n;
}

// Decimal exponent of a step, for the number of decimals of its labels.
int StepExponent(long double S) {
    return S > 0 && std::isfinite(S) ? Decade(S) : 0;
}

// Label priority: decades first, then fives, then twos, then the rest.
int LabelRank(long double v) {
    v = std::fabs(v);
    if (v == 0)
        return 0;
    const int k = Decade(v);
    const long double m = v / Scaled(1, k);
    for (const auto& [digit, rank] : {std::pair{1, 0}, {5, 1}, {2, 2}, {10, 0}})
        if (std::fabs(m - digit) < 1e-6L)
            return rank;
    return 3;
}

std::string Scientific(long double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*Le", decimals, v);
    return buf;
}

// "1.250000e+15" -> "1.25E15": mantissa without trailing zeros (one decimal kept), plain exponent.
std::string ShortScientific(long double v, int decimals) {
    const std::string s = Scientific(v, decimals);
    const auto e = s.find('e');
    std::string mantissa = s.substr(0, e);
    while (mantissa.size() > 1 && mantissa.back() == '0' &&
           mantissa[mantissa.size() - 2] != '.')
        mantissa.pop_back();
    return mantissa + "E" + std::to_string(std::stoi(s.substr(e + 1)));
}

} // namespace

long double NextUp(long double x) { return NiceAbove(x).Value(); }
long double NextDown(long double x) { return NiceBelow(x).Value(); }
long double NextPowerOfTen(long double x) { return Scaled(1, Decade(x) + 1); }
long double NiceAtLeast(long double x) { return NiceNotBelow(x).Value(); }

long double DecadeAtLeast(long double x) {
    int k = Decade(x);
    if (Scaled(1, k) < x * (1 - Tol))
        ++k;
    return Scaled(1, k);
}

std::string ScaleLabel(long double v, long double S) {
    if (!std::isfinite(v))
        return {};
    const int stepExp = StepExponent(std::fabs(S));
    // A tick computed as a sum may miss zero by a rounding error: it is zero.
    if (std::fabs(v) < std::fabs(S) * 1e-6L)
        v = 0;
    if (v == 0 && std::abs(stepExp) >= 4)
        return "0";
    if (v != 0) {
        // d.ddd e: the short form when the second and third decimals are both zero.
        const std::string s = Scientific(v, 3);
        const auto e = s.find('e');
        const int exponent = std::stoi(s.substr(e + 1));
        const std::size_t point = s.find('.');
        if (std::abs(exponent) >= 4 && s[point + 2] == '0' && s[point + 3] == '0')
            return s.substr(0, point + 2) + "E" + std::to_string(exponent);
    }
    const int decimals = stepExp < 0 ? -stepExp : 0;
    std::string text = fmt::format("{:.{}f}", static_cast<double>(v), decimals);
    if (text.find_first_not_of("-0.") == std::string::npos && text.front() == '-')
        text.erase(0, 1); // no "-0.0"
    if (text.size() > 15)
        text = ShortScientific(v, std::clamp(Decade(std::fabs(v)) - stepExp, 1, 12));
    return text;
}

void SpaceLabels(std::vector<RTic>& tics, long double pdelta) {
    std::vector<RTic*> labelled;
    for (RTic& t : tics)
        if (!t.slab.empty())
            labelled.push_back(&t);
    std::stable_sort(labelled.begin(), labelled.end(), [](const RTic* a, const RTic* b) {
        const int ra = LabelRank(a->xp), rb = LabelRank(b->xp);
        return ra != rb ? ra < rb : a->ixp < b->ixp;
    });
    std::set<std::int32_t> kept;
    for (RTic* t : labelled) {
        const auto next = kept.lower_bound(t->ixp);
        const bool clearAbove = next == kept.end() || *next - t->ixp >= pdelta;
        const bool clearBelow = next == kept.begin() || t->ixp - *std::prev(next) >= pdelta;
        if (clearAbove && clearBelow)
            kept.insert(t->ixp);
        else
            t->slab.clear();
    }
}

bool TScale::SetScale(std::int32_t orgx, std::int32_t orgy, const std::string& title, bool log,
                      std::int32_t penWidth, std::int32_t color, long double valueAtEnd,
                      long double valueAtOrigin, ScalePos orientation, std::int32_t length) {
    return Guard({"Error in TScale.SetScale"}, [&] {
        TAxisMap map;
        const TAxisFault fault = MakeAxisMap(valueAtOrigin, valueAtEnd, log, length, map);
        if (fault != TAxisFault::None) {
            done_ = false;
            Refuse(AxisFaultText(fault));
            return;
        }
        if (map.logRefused)
            Refuse("log axis without a positive end, drawn linear");
        else
            lastRefusal_.clear();

        TScaleRec r;
        const bool horizontal = orientation == bas;
        r.XLength = horizontal ? length : 0;
        r.YLength = horizontal ? 0 : length;
        r.sinfo.TicLen = horizontal ? 5 : -5;
        r.sinfo.pdelta = 30;
        r.sinfo.LabInf = horizontal ? TTextInfo{textalign::Center, 0, 8, 0, 0, 0}
                                    : TTextInfo{textalign::Right, -6, 0, 0, 0, 0};
        r.sinfo.TitleInf = horizontal ? TTextInfo{textalign::Right, -20, 5, 15, 8, 0}
                                      : TTextInfo{textalign::Center, -60, r.YLength / 2, 14, 7, 900};
        r.ScLog = map.log;
        r.smin = valueAtOrigin;
        r.smax = valueAtEnd;
        r.sext = valueAtEnd - valueAtOrigin;
        r.position = orientation;
        r.color = color;
        r.POrg = {orgx, orgy};
        r.s2i = static_cast<long double>(length) / r.sext;
        r.title = title;
        r.PenWidth = penWidth;
        rec_ = r;
        map_ = map;
        done_ = true;
    });
}

void TScale::Refuse(const std::string& reason) {
    if (reason == lastRefusal_)
        return;
    lastRefusal_ = reason;
    StatusMessage("Scale.Set_Scale : " + reason);
}

std::vector<RTic> TScale::Prepare() {
    return GuardOr({"Error in TScale.Prepare"}, std::vector<RTic>{}, [&] {
        std::vector<RTic> tics;
        if (!done_)
            return tics;
        tics = map_.log ? LogTicks() : LinearTicks();
        SpaceLabels(tics, rec_.sinfo.pdelta);
        rec_.ntic = static_cast<std::int32_t>(tics.size());
        return tics;
    });
}

std::vector<RTic> TScale::LinearTicks() const {
    std::vector<RTic> tics;
    const long double lo = std::min(rec_.smin, rec_.smax), hi = std::max(rec_.smin, rec_.smax);
    const long double eps = 1e-10L * std::fabs(rec_.sext);
    // The smallest value distance that keeps labels pdelta pixels apart.
    const long double r = std::fabs(rec_.sinfo.pdelta / rec_.s2i);
    const TNice S = NiceAbove(r);
    const long double step = S.Value();
    const int period = S.d == 2 ? 4 : 5;     // minor ticks per step
    const long double m = step / period;     // minor step
    // Tick j sits at j x m; labelled ticks at the multiples of the step.
    long double j = (std::trunc(lo / step) - 1) * period;
    const int length = rec_.XLength + rec_.YLength;
    for (;; j += 1) {
        const long double v = j * m;
        if (v > hi + eps)
            break;
        if (tics.size() >= TickGuard) {
            WriteLog("Error in TScale.Prepare too many ticks on " + rec_.title);
            break;
        }
        if (v < lo - eps)
            continue;
        const long double jm = std::fmod(j, static_cast<long double>(period));
        RTic t;
        t.xp = v;
        t.ixp = static_cast<std::int32_t>(
            std::clamp<long double>(std::round(map_.Pos(v)), 0, length));
        if (jm == 0)
            t.slab = ScaleLabel(v, step);
        tics.push_back(std::move(t));
    }
    return tics;
}

std::vector<RTic> TScale::LogTicks() const {
    std::vector<RTic> tics;
    const long double lo = std::min(map_.v0, map_.v1), hi = std::max(map_.v0, map_.v1);
    const int length = rec_.XLength + rec_.YLength;
    const long double decades = std::fabs(map_.a1 - map_.a0);
    const long double ppd = length / decades;   // pixels per decade
    const long double A = rec_.sinfo.pdelta / ppd * decades;
    const auto inside = [&](long double v) {
        return v > lo * (1 - LogEndTol) && v <= hi * (1 + LogEndTol);
    };
    const auto add = [&](long double v, std::string label) {
        if (!inside(v))
            return;
        RTic t;
        t.xp = v;
        t.ixp = static_cast<std::int32_t>(
            std::clamp<long double>(std::round(map_.Pos(v)), 0, length));
        t.slab = std::move(label);
        tics.push_back(std::move(t));
    };
    const auto guard = [&] {
        if (tics.size() < TickGuard)
            return false;
        WriteLog("Error in TScale.PrepareLog too many ticks on " + rec_.title);
        return true;
    };

    if (A < 0.1L) {
        // Dense: labels as close as pdelta allows at each value. The value distance of pdelta
        // pixels below x is x - 10^(log10 x - pdelta / ppd).
        const long double delta = rec_.sinfo.pdelta / ppd;
        const auto needed = [&](long double x) { return x * (1 - std::pow(10.0L, -delta)); };
        TNice S = NiceNotBelow(needed(hi));
        long double v = (std::trunc(hi / S.Value()) + 1) * S.Value();
        while (v >= lo * (1 - LogEndTol) && !guard()) {
            add(v, ScaleLabel(v, S.Value()));
            // A finer step once it still keeps the labels apart here.
            while (S.Down().Value() >= needed(v))
                S = S.Down();
            // The largest multiple of the step below v.
            const long double q = v / S.Value();
            const long double nearest = std::round(q);
            const long double below =
                (std::fabs(q - nearest) < 1e-6L ? nearest : std::ceil(q)) - 1;
            v = Scaled(below * S.d, S.k);
        }
        return tics;
    }

    const bool decadeMode = A >= 0.3333333L;
    TNice S = decadeMode ? TNice{1, Decade(DecadeAtLeast(hi))} : NiceNotBelow(hi);
    while (!guard()) {
        const long double v = S.Value();
        if (v < lo * (1 - LogEndTol))
            break;
        add(v, ScaleLabel(v, v));
        if (decadeMode) {
            add(Scaled(5, S.k - 1), {});
            add(Scaled(3, S.k - 1), {});
            S = S.Down().Down().Down();
        } else {
            // Below 1: 0.9 .. 0.6; below 2: 1.8 .. 1.2; below 5: 4, 3.
            const int n = S.d == 5 ? 2 : 4;
            const int step = S.d == 5 ? 10 : 1 * S.d;
            for (int i = 1; i <= n; ++i)
                add(Scaled(10 * S.d - i * step, S.k - 1), {});
            S = S.Down();
        }
    }
    return tics;
}

} // namespace marevo

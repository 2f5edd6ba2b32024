#include "parameters/DerivedFormulas.h"

#include "foundation/Extended.h"
#include "parameters/Seawater.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace marevo {

TFormulaCoefs TFormulaCoefs::From(const TExtended (&calib)[CalibCoefCount]) {
    TFormulaCoefs coefs;
    for (int i = 0; i < CalibCoefCount; ++i)
        coefs.c[i] = calib[i].ToLongDouble();
    return coefs;
}

namespace {

namespace sw = seawater;
using LD = long double;

constexpr LD Inf = std::numeric_limits<LD>::infinity();
constexpr LD NaN = std::numeric_limits<LD>::quiet_NaN();
constexpr TLimits Any{-Inf, Inf};

// Input limits shared by the seawater rows (pressure dbar, temperature degC, salinity).
constexpr TLimits PresLimits{-50, 20000};
constexpr TLimits TempLimits{-20, 200};
constexpr TLimits SaliLimits{-10, 1000};
// Oxygen rows: saturation %, temperature degC, salinity.
constexpr TLimits OxySatLimits{-5, 500};
constexpr TLimits OxyTempLimits{-5, 100};
constexpr TLimits OxySaliLimits{-2, 1000};
constexpr TLimits OxyResult{-1, 500};
// Raw sensor signals in counts.
constexpr TLimits RawLimits{-1e8L, 1e8L};

// Milligrams of dioxygen in one millilitre of the gas at 0 degC and one atmosphere.
constexpr LD OxygenMgPerMl = 1.428L;

// Value of an auto-ranging channel (fluorometer, turbidimeter and the like): the sensor switches
// gain and adds D counts for each range above the first, so the raw value r falls in range k when
// r - k*D <= L. Coefficients: c[2k], c[2k+1] offset and slope of range k (k = 0..3), c8 the
// range limit L and c9 the range offset D, both in counts. A value beyond the fourth range is no
// reading of the sensor: NaN, so the result is invalid.
LD AutoRange(const LD* x, const TFormulaCoefs& k, const TFormulaSettings&) {
    const LD r = x[0], limit = k.c[8], step = k.c[9];
    for (int range = 0; range < 4; ++range) {
        const LD shifted = r - range * step;
        if (shifted <= limit)
            return k.c[2 * range] + k.c[2 * range + 1] * shifted;
    }
    return NaN;
}

// Specific conductance: conductivity in mS/cm turned back into the unit of the settings.
LD ToCondUnit(LD value, const TFormulaSettings& s) {
    return value / CondDivisor(s.CondUnit);
}

// ---- The formulas --------------------------------------------------------------------------
// x: the input values in link order; units P dbar, T degC (IPTS-68), C mS/cm, S practical
// salinity, sigma kg/m3, O% percent of saturation, r raw sensor counts.

using TCoefs = TFormulaCoefs;
using TSettings = TFormulaSettings;

// Copy of the input (conductivity, temperature, altimeter).
LD Copy(const LD* x, const TCoefs&, const TSettings&) {
    return x[0];
}

// Time counter, s, in the time unit of the settings.
LD TimeInUnit(const LD* x, const TCoefs&, const TSettings& s) {
    return x[0] / TimeDivisor(s.TimeUnit);
}

// ITS-90 temperature from IPTS-68, T90 = T68 / 1.00024, degC.
LD Its90(const LD* x, const TCoefs&, const TSettings&) {
    return x[0] * 0.999760058L;
}

// Depth, m, of P; the latitude (degrees) is checked only where it is used.
LD Depth(const LD* x, const TCoefs&, const TSettings& s) {
    if (!s.SeaWaterDepth)
        return x[0] * s.FreshWaterConversion;
    if (!(s.Latitude >= -90 && s.Latitude <= 90))
        return NaN;
    return sw::DepthSaundersFofonoff<LD>(x[0], s.Latitude);
}

// Practical salinity from P, T, C; a conductivity too small to measure means fresh water.
LD Salinity(const LD* x, const TCoefs&, const TSettings&) {
    return x[2] < 0.005L ? LD(0) : sw::SalinityPSS78<LD>(x[2], x[1], x[0]);
}

// pH from the electrode signal r with its temperature slope (r, P, T); a zero denominator
// (T = -273 degC) gives -9999.999, which the result limits reject.
LD Ph(const LD* x, const TCoefs& k, const TSettings&) {
    const LD den = 54.2L + 0.1984L * x[2];
    return den == 0 ? -9999.999L : k.c[4] + k.c[3] * (k.c[0] + x[0]) / den;
}

// Dissolved oxygen, mg/l, from the saturation O% and the Weiss solubility in ml/l (O%, T, S).
LD OxygenWeiss(const LD* x, const TCoefs&, const TSettings&) {
    return x[0] / 100 * OxygenMgPerMl * sw::OxygenSolubilityWeiss<LD>(x[1], x[2]);
}

// Dissolved oxygen, mg/kg, from the saturation O% and Benson-Krause (O%, T, S).
LD OxygenBensonKrause(const LD* x, const TCoefs&, const TSettings&) {
    return x[0] / 100 * sw::OxygenSolubilityBensonKrause<LD>(x[1], x[2]);
}

// Oxygen saturation, %, of a membrane sensor (r, P, T): signal less its zero c3, scaled by c1
// and c0, corrected for the membrane's temperature and pressure response.
LD OxygenMembrane(const LD* x, const TCoefs& k, const TSettings&) {
    return (x[0] - k.c[3]) * k.c[1] * k.c[0] * std::exp(-0.029L * x[2] + 0.000115L * x[1]);
}

// Logarithmic light sensor: c2 (10^(c1 r k) - 10^c0), k volts per count (c3, or 5 V over
// 65536 counts when c3 is 0).
LD LogLight(const LD* x, const TCoefs& k, const TSettings&) {
    const LD volts = k.c[3] != 0 ? k.c[3] : 5.0L / 65536;
    return k.c[2] * (Power10(k.c[1] * x[0] * volts) - Power10(k.c[0]));
}

// Total dissolved solids from conductivity (mS/cm) by the settings' factor.
LD TdsFromConductivity(const LD* x, const TCoefs&, const TSettings& s) {
    return x[0] * s.TotDisSolCoeff;
}

// Redox potential, mV, referred to the hydrogen electrode at 25 degC, from the electrode
// potential Eh (mV) and T.
LD Redox(const LD* x, const TCoefs&, const TSettings&) {
    return x[0] + 206 - 0.7L * (x[1] - 25);
}

// Hydrogen sulphide from the sensor signal r and a cubic in T (r, T).
LD HydrogenSulphide(const LD* x, const TCoefs& k, const TSettings&) {
    const LD t = x[1];
    return (x[0] * k.c[2] * k.c[3] - k.c[1]) * k.c[0] *
           (6.083726L + t * (-0.4787651L + t * (0.01383385L - t * 0.0001293977L)));
}

// Conductivity (mS/cm) in the unit of the settings.
LD CondInUnit(const LD* x, const TCoefs&, const TSettings& s) {
    return x[0] / CondDivisor(s.CondUnit);
}

// Potential temperature, degC, at the settings' reference pressure (P, T, S).
LD Theta(const LD* x, const TCoefs&, const TSettings& s) {
    return sw::PotentialTemperature<LD>(x[2], x[1], x[0], s.ThetaRefPress);
}

// Specific conductance at 20 degC, mS/cm (C, T).
LD Conductance20(const LD* x, const TCoefs&, const TSettings&) {
    const LD t = x[1];
    return x[0] * (1.721183L + t * (-0.05413696L + t * (0.0011484224L - t * 0.00001226563L)));
}

// Specific conductance at 25 degC, mS/cm (C, T).
LD Conductance25(const LD* x, const TCoefs&, const TSettings&) {
    const LD t = x[1];
    return x[0] / (0.5207634375L + t * (0.0172897L + t * 0.0000751905L));
}

// Speed of sound, m/s (P, T, S).
LD SoundSpeed(const LD* x, const TCoefs&, const TSettings&) {
    return sw::SoundSpeedChenMillero<LD>(x[2], x[1], x[0]);
}

// In-situ density anomaly, kg/m3 (P, T, S).
LD SigmaInSitu(const LD* x, const TCoefs&, const TSettings&) {
    return sw::SigmaEOS80<LD>(x[2], x[1], x[0]);
}

// "Alpha P" (P, T, S): the in-situ specific volume alpha(S, T, P) = 1/rho of EOS-80, in cm3/g
// (1e-3 m3/kg), about 0.93 to 1.0 in the ocean. A salinity of 0 is taken as 0.001, as the
// parameter always did. The historic expression multiplied alpha(S, T, 0) by (1 - p/K) and
// divided once more by the in-situ density, with malformed S^1.5 terms in K; the quantity it
// was built around, alpha = alpha(S, T, 0) (1 - p/K), is exactly 1/rho.
LD SpecificVolume(const LD* x, const TCoefs&, const TSettings&) {
    const LD S = x[2] > 0 ? x[2] : 0.001L;
    return 1000 / sw::DensityEOS80<LD>(S, x[1], x[0]);
}

// Density, kg/m3, from the density anomaly.
LD DensityFromSigma(const LD* x, const TCoefs&, const TSettings&) {
    return x[0] + 1000;
}

// Specific gravity (density over 1000 kg/m3) from the density anomaly.
LD SpecificGravity(const LD* x, const TCoefs&, const TSettings&) {
    return x[0] / 1000 + 1;
}

// Resistivity, ohm.cm, of the conductivity in the settings' unit. No conductivity has no finite
// resistivity: NaN, so the result is invalid.
LD Resistivity(const LD* x, const TCoefs&, const TSettings& s) {
    return x[0] == 0 ? NaN : ResistivityNumerator(s.CondUnit) / x[0];
}

// Density anomaly at the surface, kg/m3 (T, S).
LD SigmaSurface(const LD* x, const TCoefs&, const TSettings&) {
    return sw::SigmaEOS80<LD>(x[1], x[0], 0);
}

// Total dissolved solids from salinity and surface density anomaly (S, sigma).
LD TdsFromSalinity(const LD* x, const TCoefs&, const TSettings&) {
    return 1.00472L * x[0] * (x[1] + 1000) / 1000;
}

// Oxygen of an optical (phosphorescence lifetime) sensor from its signal r, P and T.
// Coefficients: c0..c5 A..F of the Stern-Volmer fit, c6 offset, c7 slope, c8 conversion of the
// signal, c9 membrane type (1: the alternative temperature model).
LD OxygenOptical(const LD* x, const TCoefs& k, const TSettings&) {
    const LD d = x[2] - 25;
    const LD n = k.c[8] * x[0];
    LD g, h;
    if (k.c[9] != 1) {
        g = 1 + k.c[3] * d + k.c[5] * d * d;
        h = n * g + k.c[2];
    } else {
        g = 1 + k.c[3] * d;
        h = g * (n - k.c[5]) + k.c[2] + k.c[5];
    }
    return (1 + k.c[4] * x[1] / 100) * (k.c[7] * (k.c[0] / g + k.c[1] / h) + k.c[6]);
}

// ---- The table, by ascending number -------------------------------------------------------

constexpr bool Pass = true; // pass-through row
constexpr bool Std = false; // common rules

// clang-format off
constexpr TFormulaEntry Formulas[] = {
    {399, 1, Pass, {}, Any, Copy, nullptr},                                       // CNMS
    {400, 1, Pass, {}, Any, TimeInUnit, nullptr},                                 // TIME
    {401, 1, Pass, {}, Any, Copy, nullptr},                                       // TEMP
    {402, 1, Pass, {}, Any, Its90, nullptr},                                      // TITS
    {403, 1, Std, {PresLimits}, {-50, 20000}, Depth, nullptr},                    // DEPT
    {404, 3, Std, {{{-4, 20000}, {-3, 100}, {-3, 500}}}, {-0.001L, 1000}, Salinity, nullptr},
    {405, 3, Std, {{RawLimits, {-100, 50000}, {-10, 100}}}, {0, 16}, Ph, nullptr},
    {406, 3, Std, {{OxySatLimits, OxyTempLimits, OxySaliLimits}}, OxyResult, OxygenWeiss, nullptr},
    {407, 3, Std, {{RawLimits, {-20, 50000}, OxyTempLimits}}, {-5, 500}, OxygenMembrane, nullptr},
    {408, 1, Std, {Any}, {-0.05L, 5000}, LogLight, nullptr},                      // QSP2
    {409, 1, Std, {Any}, Any, AutoRange, nullptr},                                // FLAS
    {410, 1, Std, {Any}, Any, AutoRange, nullptr},                                // TUAS
    {411, 3, Std, {{OxySatLimits, OxyTempLimits, OxySaliLimits}}, OxyResult, OxygenBensonKrause,
     nullptr},
    {412, 1, Std, {Any}, Any, AutoRange, nullptr},                                // RODS
    {440, 1, Pass, {}, Any, Copy, nullptr},                                       // ALTI
    {450, 1, Std, {Any}, {-0.001L, 1000}, TdsFromConductivity, nullptr},          // TDSF
    {460, 1, Std, {Any}, Any, AutoRange, nullptr},                                // FLCL
    {462, 2, Std, {Any, Any}, Any, Redox, nullptr},                               // REDX
    {464, 2, Std, {{{-65536, 1e8L}, {-20, 100}}}, {-5, 100}, HydrogenSulphide, nullptr},
    {599, 1, Pass, {}, Any, CondInUnit, nullptr},                                 // COND
    {600, 3, Std, {{PresLimits, TempLimits, SaliLimits}}, {-5, 200}, Theta, nullptr},
    // 601, 602: the result limits apply in mS/cm, before the unit conversion.
    {601, 2, Std, {{{-5, 1000}, {-5, 100}}}, {-5, 1000}, Conductance20, ToCondUnit},
    {602, 2, Std, {{{-5, 1000}, {-5, 100}}}, {-5, 1000}, Conductance25, ToCondUnit},
    {603, 3, Std, {{PresLimits, TempLimits, SaliLimits}}, {-10, 2000}, SoundSpeed, nullptr},
    {604, 3, Std, {{PresLimits, TempLimits, SaliLimits}}, {0, 200}, SigmaInSitu, nullptr},
    {605, 3, Std, {{{-5, 1000}, {-5, 100}, {0, 1000}}}, {-1, 1000}, SpecificVolume, nullptr},
    {606, 1, Pass, {}, Any, DensityFromSigma, nullptr},                           // DENS
    {607, 1, Pass, {}, Any, SpecificGravity, nullptr},                            // SSG
    {608, 1, Std, {Any}, {-0.001L, 1000}, Resistivity, nullptr},                  // REST
    {609, 2, Std, {{TempLimits, SaliLimits}}, {0, 200}, SigmaSurface, nullptr},   // SigT
    {610, 2, Std, {Any, Any}, {-0.001L, 1000}, TdsFromSalinity, nullptr},         // TDSS
    {740, 3, Std, {Any, Any, Any}, {-5, 500}, OxygenOptical, nullptr},            // DO2%
};
// clang-format on

constexpr bool SortedByNumber() {
    for (std::size_t i = 1; i < std::size(Formulas); ++i)
        if (Formulas[i - 1].ParaNb >= Formulas[i].ParaNb)
            return false;
    return true;
}
static_assert(SortedByNumber(), "FindFormula searches the table by bisection");

bool Within(LD v, const TLimits& limits) {
    return v >= limits.min && v <= limits.max;
}

const TFormulaCoefs NoCoefs{};

} // namespace

const TFormulaEntry* FindFormula(std::int32_t paraNb) {
    const auto* it = std::lower_bound(
        std::begin(Formulas), std::end(Formulas), paraNb,
        [](const TFormulaEntry& e, std::int32_t number) { return e.ParaNb < number; });
    return it != std::end(Formulas) && it->ParaNb == paraNb ? it : nullptr;
}

TFlaggedValue EvaluateFormula(const TFormulaEntry& entry, const TFlaggedValue* inputs,
                              const TFormulaCoefs& coefs, const TFormulaSettings& settings) {
    LD x[3];
    for (int i = 0; i < entry.InputCount; ++i)
        x[i] = inputs[i].value;

    if (entry.PassFlag)
        return {static_cast<float>(entry.Formula(x, coefs, settings)), inputs[0].flag};

    for (int i = 0; i < entry.InputCount; ++i)
        if (!inputs[i].Valid() || !Within(x[i], entry.InputLimits[i]))
            return InvalidFV;
    LD result = entry.Formula(x, coefs, settings);
    if (!std::isfinite(result))
        return InvalidFV;
    const float rounded = static_cast<float>(result);
    if (!std::isfinite(rounded) || !Within(rounded, entry.ResultLimits))
        return InvalidFV;
    if (entry.AfterLimits) {
        result = entry.AfterLimits(result, settings);
        if (!std::isfinite(static_cast<float>(result)))
            return InvalidFV;
        return {static_cast<float>(result), 0};
    }
    return {rounded, 0};
}

TFlaggedValue ComputeDerived(std::int32_t paraNb, const TFlaggedValue* inputs,
                             const TFormulaCoefs* coefs, const TFormulaSettings& settings) {
    const TFormulaEntry* entry = FindFormula(paraNb);
    if (!entry)
        return NoFormulaFV;
    return EvaluateFormula(*entry, inputs, coefs ? *coefs : NoCoefs, settings);
}

} // namespace marevo

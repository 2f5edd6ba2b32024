#pragma once
// The formulas of the computed parameters: one table row per parameter number, holding the
// number of inputs, their limits, the limits of the result and the formula itself. A parameter
// finds its row by its number alone; FunctionType and FuncIndex select nothing.
//
// Common rules: the result starts as InvalidFV; any flagged input or any input outside its
// closed limits leaves it invalid; the formula is evaluated in long double; a result that is no
// finite number (an arithmetic failure: division by zero, root or logarithm of a negative
// number, overflow) is InvalidFV; the result is rounded to single and must lie within the result
// limits. The few pass-through rows (copies and unit conversions) compute their value whatever
// the flag and carry the input's flag.

#include "foundation/Extended.h"
#include "foundation/FlaggedValue.h"
#include "parameters/ParaRecords.h"
#include "parameters/Units.h"

#include <array>
#include <cstdint>

namespace marevo {

// The settings the formulas read: taken from the general settings (GenCfg) and, for the depth,
// from the start latitude of the cast header. The defaults are those of a new configuration.
struct TFormulaSettings {
    std::uint8_t TimeUnit = 0;                    // second (Units.h)
    std::uint8_t CondUnit = 1;                    // mS/cm
    bool SeaWaterDepth = true;                    // salt_freshWaterFlag = 1: UNESCO depth formula
    long double FreshWaterConversion = 1.019716L; // m per dbar when SeaWaterDepth is off
    long double TotDisSolCoeff = 0.65L; // total dissolved solids per mS/cm of conductivity
    long double ThetaRefPress = 0;      // reference pressure of the potential temperature, dbar
    long double Latitude = 0;           // start latitude of the cast, degrees (north positive)
};

// The calibration coefficients c0..c19 of the parameter named by CalibLink, converted once from
// their stored form so that a whole series is computed without converting them again.
struct TFormulaCoefs {
    std::array<long double, CalibCoefCount> c{};

    static TFormulaCoefs From(const TExtended (&calib)[CalibCoefCount]);
};

// Closed interval of an input or a result.
struct TLimits {
    long double min, max;
};

// One row of the formula table.
struct TFormulaEntry {
    std::int32_t ParaNb;
    int InputCount;
    // Pass-through rows: value computed whatever the flag, flag of the first input, no limits.
    bool PassFlag;
    std::array<TLimits, 3> InputLimits; // for inputs 0..InputCount-1
    TLimits ResultLimits;
    // The formula: x the input values in link order, c the coefficients (all zero when the
    // parameter has none). A result that is no finite number marks a failure.
    long double (*Formula)(const long double* x, const TFormulaCoefs& c, const TFormulaSettings& s);
    // Applied after the result limits were checked (unit conversion of 601 and 602); null: none.
    long double (*AfterLimits)(long double value, const TFormulaSettings& s);
};

// The row of a parameter number; null for a number without formula.
const TFormulaEntry* FindFormula(std::int32_t paraNb);

// Evaluates a row over its inputs (at least InputCount values, in link order). Never throws.
TFlaggedValue EvaluateFormula(const TFormulaEntry& entry, const TFlaggedValue* inputs,
                              const TFormulaCoefs& coefs, const TFormulaSettings& settings);

// The value of computed parameter paraNb from its inputs: (1.0, flag 1) for a number without
// formula. coefs may be null when the parameter uses none.
TFlaggedValue ComputeDerived(std::int32_t paraNb, const TFlaggedValue* inputs,
                             const TFormulaCoefs* coefs, const TFormulaSettings& settings);

// The value returned for a computed parameter whose number has no formula.
inline constexpr TFlaggedValue NoFormulaFV{1.0f, 1};

} // namespace marevo

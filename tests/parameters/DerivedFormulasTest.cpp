#include "parameters/Parameter.h"

#include "parameters/Seawater.h"
#include "processing/FormulaSettings.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace marevo {
namespace {

using test::TAppEnv;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

TFlaggedValue V(float v) {
    return {v, 0};
}
TFlaggedValue Flagged(float v) {
    return {v, 1};
}

// Settings as a new configuration has them, changed by the case.
using TSettingsEdit = void (*)(TGenConfig&);
void Defaults(TGenConfig&) {}
void FreshWater(TGenConfig& g) {
    g.salt_freshWaterFlag = 0;
    g.FreshWaterConversion = TExtended::FromLongDouble(1.0197L);
}
void MicroSiemens(TGenConfig& g) {
    g.CondUnit = 0;
}
void SiemensPerMetre(TGenConfig& g) {
    g.CondUnit = 2;
}
void Minutes(TGenConfig& g) {
    g.TimeUnit = 1;
}

struct TCase {
    const char* what;
    int number;
    std::vector<TFlaggedValue> inputs;
    std::vector<std::pair<int, long double>> coefs; // index, value; the rest 0
    TSettingsEdit settings;
    long double latitude;
    TFlaggedValue expected;
};

// Expected value within a millionth of its magnitude (single precision keeps about seven
// digits); the flag exactly.
void Check(const TCase& c, const TFlaggedValue& got) {
    const double tolerance = 1e-6 * std::max(1.0, std::fabs(double(c.expected.value)));
    EXPECT_EQ(got.flag, c.expected.flag) << c.what;
    EXPECT_NEAR(got.value, c.expected.value, tolerance) << c.what;
}

TFlaggedValue Evaluate(TAppEnv& env, const TCase& c) {
    TParameter para;
    para.SetDefPara(c.number);
    TAFV16 inputs{};
    std::copy(c.inputs.begin(), c.inputs.end(), inputs.begin());
    TFormulaCoefs coefs;
    for (const auto& [i, v] : c.coefs)
        coefs.c[i] = v;
    c.settings(env.genCfg);
    const TFormulaSettings settings = FormulaSettingsOf(env.genCfg, c.latitude);
    return para.MainFunc1(inputs, c.coefs.empty() ? nullptr : &coefs, settings);
}

const float C40 = float(1.888091L * 42.914L); // mS/cm of R = 1.888091

TEST(DerivedFormulas, ValuesLimitsFlagsAndUnits) {
    const float sigma35 = float(seawater::SigmaEOS80<long double>(35, 0, 0));
    const TCase cases[] = {
        // Salinity (P, T, C).
        {"no measurable conductivity is fresh water",
         404,
         {V(10), V(10), V(0.004f)},
         {},
         Defaults,
         0,
         {0.0f, 0}},
        {"negative conductivity within its limits too",
         404,
         {V(10), V(10), V(-2)},
         {},
         Defaults,
         0,
         {0.0f, 0}},
        {"temperature above 100 degC", 404, {V(10), V(101), V(40)}, {}, Defaults, 0, InvalidFV},
        {"conductivity above 500 mS/cm",
         404,
         {V(10), V(10), V(500.5f)},
         {},
         Defaults,
         0,
         InvalidFV},
        {"pressure check value", 404, {V(10000), V(40), V(C40)}, {}, Defaults, 0, {40.0f, 0}},
        {"flagged temperature", 404, {V(10000), Flagged(40), V(C40)}, {}, Defaults, 0, InvalidFV},
        {"NaN conductivity", 404, {V(0), V(10), V(NaN)}, {}, Defaults, 0, InvalidFV},
        // Density and what derives from it.
        {"surface sigma", 609, {V(0), V(35)}, {}, Defaults, 0, {28.10633f, 0}},
        {"density", 606, {V(sigma35)}, {}, Defaults, 0, {1028.10633f, 0}},
        {"specific gravity", 607, {V(sigma35)}, {}, Defaults, 0, {1.02810633f, 0}},
        {"density keeps the anomaly's flag", 606, {Flagged(0)}, {}, Defaults, 0, {1000.0f, 1}},
        {"in-situ sigma", 604, {V(10000), V(40), V(40)}, {}, Defaults, 0, {59.82037f, 0}},
        {"sigma below its result limits (hot fresh water)",
         604,
         {V(0), V(40), V(0)},
         {},
         Defaults,
         0,
         InvalidFV},
        {"negative salinity has no root", 609, {V(10), V(-1)}, {}, Defaults, 0, InvalidFV},
        {"theta", 600, {V(10000), V(40), V(40)}, {}, Defaults, 0, {36.89073f, 0}},
        {"sound speed", 603, {V(10000), V(40), V(40)}, {}, Defaults, 0, {1731.995f, 0}},
        {"sound speed of negative salinity drops the S^1.5 term",
         603,
         {V(0), V(10), V(-1)},
         {},
         Defaults,
         0,
         {float(seawater::SoundSpeedChenMillero<long double>(-1, 10, 0)), 0}},
        {"specific volume",
         605,
         {V(0), V(0), V(35)},
         {},
         Defaults,
         0,
         {float(1000 / (1000 + seawater::SigmaEOS80<long double>(35, 0, 0))), 0}},
        {"specific volume of salinity 0 takes 0.001",
         605,
         {V(500), V(10), V(0)},
         {},
         Defaults,
         0,
         {float(1000 / seawater::DensityEOS80<long double>(0.001L, 10, 500)), 0}},
        {"TDS from salinity needs a valid sigma",
         610,
         {V(35), Flagged(0)},
         {},
         Defaults,
         0,
         InvalidFV},
        // Depth.
        {"UNESCO depth", 403, {V(10000)}, {}, Defaults, 30, {9712.653f, 0}},
        {"depth at a latitude outside -90..90", 403, {V(100)}, {}, Defaults, 91, InvalidFV},
        {"fresh-water depth whatever the latitude",
         403,
         {V(100)},
         {},
         FreshWater,
         91,
         {101.97f, 0}},
        {"depth of a pressure above 20000 dbar", 403, {V(20000.5f)}, {}, Defaults, 0, InvalidFV},
        // Units.
        {"conductivity in uS/cm", 599, {V(42.914f)}, {}, MicroSiemens, 0, {42914.0f, 0}},
        {"resistivity in ohm.cm from uS/cm",
         608,
         {V(42914)},
         {},
         MicroSiemens,
         0,
         {float(1e6L / 42914), 0}},
        {"no conductivity has no resistivity", 608, {V(0)}, {}, Defaults, 0, InvalidFV},
        {"time in minutes", 400, {V(90)}, {}, Minutes, 0, {1.5f, 0}},
        {"time keeps the counter's flag", 400, {Flagged(90)}, {}, Minutes, 0, {1.5f, 1}},
        {"conductance at 25 degC in S/m",
         602,
         {V(50), V(25)},
         {},
         SiemensPerMetre,
         0,
         {float(50 / (0.5207634375L + 25 * 0.0172897L + 625 * 0.0000751905L) / 10), 0}},
        {"conductance limits apply before the unit",
         601,
         {V(900), V(5)},
         {},
         SiemensPerMetre,
         0,
         InvalidFV},
        // Oxygen and other sensors.
        {"saturation above 500 %", 406, {V(600), V(10), V(35)}, {}, Defaults, 0, InvalidFV},
        {"optical oxygen needs a valid temperature",
         740,
         {V(20), V(0), Flagged(0)},
         {{0, 1}, {7, 1}},
         Defaults,
         0,
         InvalidFV},
        {"auto-range second range",
         409,
         {V(105)},
         {{2, 1}, {3, 2}, {8, 10}, {9, 100}},
         Defaults,
         0,
         {11.0f, 0}},
        {"auto-range first range",
         409,
         {V(5)},
         {{0, 1}, {1, 3}, {8, 10}, {9, 100}},
         Defaults,
         0,
         {16.0f, 0}},
        {"auto-range beyond the fourth range",
         460,
         {V(400)},
         {{8, 10}, {9, 100}},
         Defaults,
         0,
         InvalidFV},
        {"light sensor overflow",
         408,
         {V(1e4f)},
         {{1, 1e30L}, {2, 1}, {3, 1}},
         Defaults,
         0,
         InvalidFV},
        {"pH at -10 degC",
         405,
         {V(10), V(0), V(-10)},
         {{3, 1}, {4, 7}},
         Defaults,
         0,
         {float(7 + 10 / (54.2L - 1.984L)), 0}},
        {"pH above 16", 405, {V(1000), V(0), V(10)}, {{3, 1}, {4, 7}}, Defaults, 0, InvalidFV},
        {"redox has no limits", 462, {V(-5000), V(1000)}, {}, Defaults, 0, {-5476.5f, 0}},
        // A number without formula.
        {"426 has no formula", 426, {V(1), V(2), V(3)}, {}, Defaults, 0, {1.0f, 1}},
    };
    for (const TCase& c : cases) {
        TAppEnv env;
        Check(c, Evaluate(env, c));
        EXPECT_TRUE(env.LogMessages().empty()) << c.what;
    }
}

// The series form reads element index of each input series; a missing or short series, or an
// index outside 0..MaxFVIndex, leaves the value invalid, the last with a log line.
TEST(DerivedFormulas, SeriesFormReadsElementIndexOfEachInput) {
    TAppEnv env;
    TParameter salinity;
    salinity.SetDefPara(404);
    TLinearArray pres, temp, cond;
    for (int k = 0; k < 3; ++k) {
        pres.Add(10.0f * k, 0);
        temp.Add(15.0f, 0);
        cond.Add(42.914f, 0);
    }
    cond.SetFVAt(InvalidFV, 1);
    const TFormulaSettings settings;
    TPFVA series{&pres, &temp, &cond};

    struct Case {
        int index;
        bool shortTemp; // temperature series missing
        TFlaggedValue expected;
    };
    const TAFV16 at2{V(20), V(15), V(42.914f)};
    const Case cases[] = {
        {0, false, {35.0f, 0}},
        {1, false, InvalidFV},
        {2, false, salinity.MainFunc1(at2, nullptr, settings)},
        {3, false, InvalidFV},
        {2, true, InvalidFV},
        {MaxFVIndex + 1, false, InvalidFV},
        {-1, false, InvalidFV},
    };
    for (const Case& c : cases) {
        series[1] = c.shortTemp ? nullptr : &temp;
        const TFlaggedValue got = salinity.MainFunc(c.index, series, nullptr, settings);
        EXPECT_EQ(got.flag, c.expected.flag) << c.index;
        EXPECT_NEAR(got.value, c.expected.value, 1e-5) << c.index;
    }
    EXPECT_EQ(env.LogMessages(),
              (std::vector<std::string>{
                  "Error in Parameter.MainFuncindex 10000001 outside 0..10000000Salinity / 404",
                  "Error in Parameter.MainFuncindex -1 outside 0..10000000Salinity / 404"}));
}

} // namespace
} // namespace marevo
